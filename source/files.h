// Whole-file reading and writing, and the parts of a path. Paths are texts; they reach the
// file system through std::filesystem, which converts them to the platform's native form.
#pragma once

#include <optional>
#include <string>

#include "source/text.h"

// The whole content of an existing file, opened for reading only (a read-only file reads
// fine, a missing file is not created). nullopt when it cannot be opened or read in full.
std::optional<std::string> ReadWholeFile(TextView path);
// Creates or replaces the file with exactly these bytes. False when it cannot be written.
bool WriteWholeFile(TextView path, std::string_view bytes);
// Writes beside the file first and then renames over it, so that a failure part-way
// leaves the old file whole. False when the new content could not be put in place.
bool ReplaceFileAtomically(TextView path, std::string_view bytes);
bool FileExists(TextView path);

// The folder part of a path, including its last separator ("/" or "\"); empty when the
// path has no separator.
Text FolderOfPath(TextView path);
// The file-name part of a path: the text after its last "/" or "\".
Text FileNameOfPath(TextView path);
// The text after the last "." of a path, lowercased; empty when there is no ".".
Text LowerExtension(TextView path);
