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
    // Adds a USB serial port as the kernel shows one: the USB device `usb` (such as "1-1")
    // holds the identity files; an ACM port hangs off its interface, an adapter's port
    // (`adapter`) one level further down. Also adds the port's link in dev/serial/by-id.
    void AddUsb(const std::string& name, const std::string& usb, bool adapter,
                const std::string& vendor, const std::string& product, const std::string& maker,
                const std::string& productName, const std::string& serial) {
        std::filesystem::path device = Root.Path / "devices" / "usb1" / usb;
        std::filesystem::path parent = device / (usb + ":1.0");
        if (adapter) parent /= name;
        std::filesystem::create_directories(parent / "tty" / name);
        std::filesystem::create_directory_symlink(
            adapter ? "../../../" + name : "../../../" + usb + ":1.0",
            parent / "tty" / name / "device");
        WriteBytes(device / "idVendor", vendor + "\n");
        WriteBytes(device / "idProduct", product + "\n");
        WriteBytes(device / "manufacturer", maker + "\n");
        WriteBytes(device / "product", productName + "\n");
        WriteBytes(device / "serial", serial + "\n");
        std::filesystem::create_directory_symlink(
            std::filesystem::relative(parent / "tty" / name, Root.Path / "class" / "tty"),
            Root.Path / "class" / "tty" / name);
        std::filesystem::path byId = Root.Path / "dev" / "serial" / "by-id";
        std::filesystem::create_directories(byId);
        std::filesystem::create_symlink("../../" + name,
                                        byId / ("usb-" + maker + "_" + serial + "-if00"));
    }
    void Remove(const std::string& name) {
        std::error_code ec;
        for (const auto& link :
             std::filesystem::directory_iterator(Root.Path / "dev" / "serial" / "by-id", ec))
            if (std::filesystem::read_symlink(link.path(), ec).filename() == name)
                std::filesystem::remove(link.path(), ec);
        std::filesystem::remove(Root.Path / "class" / "tty" / name);
        std::filesystem::remove_all(Root.Path / "devices" / "tty" / name);
    }
    // Points ListSerialPorts at this tree for as long as it lives.
    void Install() { setenv("QZ_SYSFS_ROOT", Root.Path.c_str(), 1); }
    // Also looks for device nodes in DevRoot() (dev/ in the tree) instead of /dev.
    void InstallDevRoot() {
        Install();
        setenv("QZ_DEV_ROOT", DevRoot().c_str(), 1);
    }
    std::string DevRoot() const { return (Root.Path / "dev").string(); }
    ~FakeSysfs() {
        unsetenv("QZ_SYSFS_ROOT");
        unsetenv("QZ_DEV_ROOT");
    }

    ScratchFolder Root;
};
