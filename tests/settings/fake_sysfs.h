// A small sysfs tree for port discovery tests, shaped like the kernel's: class/tty entries
// are links into devices/, real ports have a `device` link, serial-core ports a `type` file.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "tests/settings/scratch_folder.h"

class FakeSysfs {
public:
    FakeSysfs() {
        std::filesystem::create_directories(Root.Path / "class" / "tty");
        std::filesystem::create_directories(Root.Path / "devices" / "hw");
    }
    // Adds class/tty/NAME; `withDevice` gives it a device link, `type` (when not empty)
    // a serial-core type file.
    void Add(const std::string& name, bool withDevice, const std::string& type = "") {
        std::filesystem::path node = Root.Path / "devices" / "tty" / name;
        std::filesystem::create_directories(node);
        if (withDevice) std::filesystem::create_directory_symlink("../../hw", node / "device");
        if (!type.empty()) WriteBytes(node / "type", type + "\n");
        std::filesystem::create_directory_symlink("../../devices/tty/" + name,
                                                  Root.Path / "class" / "tty" / name);
    }
    void Remove(const std::string& name) {
        std::filesystem::remove(Root.Path / "class" / "tty" / name);
        std::filesystem::remove_all(Root.Path / "devices" / "tty" / name);
    }
    // Points ListSerialPorts at this tree for as long as it lives.
    void Install() { setenv("QZ_SYSFS_ROOT", Root.Path.c_str(), 1); }
    ~FakeSysfs() { unsetenv("QZ_SYSFS_ROOT"); }

    ScratchFolder Root;
};
