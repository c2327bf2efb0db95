#include "link/open_failure.h"

std::string ExplainOpenFailure(OpenFailure failure, const std::string& port, const std::string&,
                               const std::string& detail) {
    if (port.empty()) return "no serial port is chosen.";
    switch (failure) {
        case OpenFailure::NoSuchDevice:
            return "cannot open " + port + ": no such port. Is the board plugged in? " +
                   "'qz-upload --list-ports' lists the serial ports present; the Device " +
                   "Manager shows which COM number the adapter got.";
        case OpenFailure::Busy:  // the system's "access denied": a COM port has one holder
            return "cannot open " + port +
                   ": the port is in use. Only one program at a time can hold a COM port; "
                   "close the terminal or uploader that has it open and try again.";
        case OpenFailure::BadSettings:
            return "cannot open " + port +
                   ": the port refused the line settings (check the baud rate).";
        default:
            return "cannot open " + port + (detail.empty() ? std::string(".") : ": " + detail);
    }
}
