#include <grp.h>
#include <sys/stat.h>

#include "link/open_failure.h"

namespace {

std::string GroupOf(const std::string& device) {
    struct stat st {};
    if (stat(device.c_str(), &st) != 0) return std::string();
    group* g = getgrgid(st.st_gid);
    return g ? std::string(g->gr_name) : std::to_string(st.st_gid);
}

}  // namespace

std::string ExplainOpenFailure(OpenFailure failure, const std::string& port,
                               const std::string& device, const std::string& detail) {
    if (port.empty()) return "no serial port is chosen.";
    switch (failure) {
        case OpenFailure::NoSuchDevice:
            return "cannot open " + port + ": no such device. Is the board plugged in? " +
                   "'qz-upload --list-ports' lists the serial ports present.";
        case OpenFailure::PermissionDenied: {
            std::string group = GroupOf(device);
            std::string text = "cannot open " + port + ": permission denied.";
            if (!group.empty() && group != "root")
                text += " The device belongs to the group '" + group +
                        "'; join it with 'sudo usermod -aG " + group +
                        " $USER', then log out and in again.";
            return text;
        }
        case OpenFailure::Busy: {
            std::string holders = PortHolders(device);
            return "cannot open " + port + ": the port is busy" +
                   (holders.empty() ? std::string(" (another program holds it).")
                                    : ", held by " + holders + ".") +
                   " Close that program and try again.";
        }
        case OpenFailure::BadSettings:
            return "cannot open " + port +
                   ": the port refused the line settings (check the baud rate).";
        case OpenFailure::NotASerialPort:
            return "cannot open " + port + ": not a serial port (" + detail + ").";
        default:
            return "cannot open " + port + (detail.empty() ? std::string(".") : ": " + detail);
    }
}
