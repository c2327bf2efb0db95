# Writes the version header (OUT) from its template (IN): PROJECT_VERSION as given, and the
# commit of the checkout at SOURCE_DIR, "unknown" where it is not a git checkout. Run at
# every build, so the commit is that of the build; the header is rewritten only when it
# changed, so nothing recompiles needlessly.
execute_process(COMMAND git -C "${SOURCE_DIR}" rev-parse --short=12 HEAD
                OUTPUT_VARIABLE QZ_COMMIT OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE failed ERROR_QUIET)
if(failed OR QZ_COMMIT STREQUAL "")
  set(QZ_COMMIT unknown)
endif()
# The four numbers of the Windows version resource.
string(REPLACE "." "," QZ_VERSION_NUMBERS "${PROJECT_VERSION}")
string(REGEX MATCHALL "," commas "${QZ_VERSION_NUMBERS}")
list(LENGTH commas n)
while(n LESS 3)
  string(APPEND QZ_VERSION_NUMBERS ",0")
  math(EXPR n "${n} + 1")
endwhile()
configure_file("${IN}" "${OUT}" @ONLY)
