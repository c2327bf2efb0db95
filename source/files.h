// Whole-file reading and writing, and the parts of a path. Paths are texts; they reach the
// file system through std::filesystem, which converts them to the platform's native form.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "source/text.h"

// Size limits for whole-file reads: far above any real program, XMODEM file or settings
// file, low enough that a wrong path (a disk image, /dev/zero) cannot exhaust memory.
inline constexpr std::uintmax_t kProgramFileLimit = 64u << 20;
inline constexpr std::uintmax_t kSettingsFileLimit = 4u << 20;

// The whole content of an existing regular file of at most `limit` bytes, opened for reading
// only (a read-only file reads fine, a missing file is not created). nullopt when it cannot
// be opened or read in full, or when ReadRefusal refuses it.
std::optional<std::string> ReadWholeFile(TextView path, std::uintmax_t limit = kProgramFileLimit);
// Why a whole-file read of `path` is refused, as a log line: it is not a regular file (a
// FIFO would block, a device never end) or it is larger than `limit`. Empty when it is not
// refused (a missing file is not refused here; reading it fails).
Text ReadRefusal(TextView path, std::uintmax_t limit = kProgramFileLimit);
// Creates or replaces the file with exactly these bytes. False when it cannot be written.
bool WriteWholeFile(TextView path, std::string_view bytes);
// Platform (files_posix.cpp, files_win32.cpp): writes a new file beside the old one, created
// exclusively under a fresh name (never through a planted link), flushes it to the disk and
// renames it over the old one, so that a failure part-way or a crash leaves the old file
// whole. A link at `path` is replaced, not followed. A file the user made read-only is left
// as it is. False when the new content was not put in place.
bool ReplaceFileAtomically(TextView path, std::string_view bytes);
bool FileExists(TextView path);
// True when `path` is something other than a file or folder: a device (/dev/stdout), a
// FIFO or a socket. Such a name is written to as it is, never replaced.
bool NamesDevice(TextView path);
// Platform: true when users other than the owner may read the file (POSIX mode bits;
// always false on Windows, where the file's access list decides).
bool ReadableByOthers(TextView path);

// The folder part of a path, including its last separator ("/" or "\"); empty when the
// path has no separator.
Text FolderOfPath(TextView path);
// The file-name part of a path: the text after its last "/" or "\".
Text FileNameOfPath(TextView path);
// The text after the last "." of a path, lowercased; empty when there is no ".".
Text LowerExtension(TextView path);
