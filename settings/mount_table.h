// The system's mount table as a set of mount points: the one reader for every program that
// watches drives come and go.
#pragma once

#include <set>
#include <string>

// The system's mount table: every reader of the mounted drives reads this file (or a
// stand-in a test names instead).
inline constexpr char kSystemMountTable[] = "/proc/self/mountinfo";

// The mount points (octal escapes such as \040 decoded) of the file systems on a device
// ("/dev/..."), read from `table`: a mountinfo file (kSystemMountTable: fields up to a "-",
// then the type and the source) or a mounts file (source, mount point, ...). Pseudo and network
// file systems have a source that is not a device path, so they are left out. Empty when the file
// cannot be read.
std::set<std::string> ReadMountPoints(const std::string& table);
