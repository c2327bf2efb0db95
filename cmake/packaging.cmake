# What `cmake --install` puts where, and the packages CPack makes of it: a .deb on Linux
# (the programs, the manual page, the desktop entry and the icon), a zip on Windows (the
# two programs and a README). scripts/package.sh builds both. The window's own files are
# installed by frontends/qt and frontends/win32; the manual page by frontends/cli.

# Installing needs only the programs installed, not every target (tests, benchmarks).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_PACKAGE_NAME qz-uploader)
set(CPACK_PACKAGE_VENDOR "QZ Program Uploader")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Uploads BASIC programs to single-board computers over a serial port")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "QZ Program Uploader maintainers <maintainers@qz-uploader.invalid>")
set(CPACK_STRIP_FILES ON)

if(QZ_PLATFORM STREQUAL "win32")
  install(TARGETS qz-upload RUNTIME DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/windows-readme.txt DESTINATION . RENAME README.txt)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_PACKAGE_FILE_NAME qz-uploader-${PROJECT_VERSION}-windows-x64)
else()
  install(TARGETS qz-upload RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/qz-uploader)
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
  # The Qt 6 libraries and the C++ runtime, as dpkg-shlibdeps finds them in the programs.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The summary above is the first line; CPack indents these and marks the empty line.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "qz-uploader is a desktop window, qz-upload its headless counterpart. They
stream program text line by line, answer the board's PIN prompt, send other
files by XMODEM and install .uf2 firmware after a 1200-baud reset.

Serial ports belong to the group 'dialout'. To use one, join that group
(sudo adduser YOUR-LOGIN dialout) and log in again.")
endif()
include(CPack)
