// Why the last open of a system port failed, kept for LastOpenFailure and its words: the
// bookkeeping every platform's port shares (open_failure.cpp), and the words a user can act
// on, which are the platform's (open_failure_posix.cpp, open_failure_win32.cpp).
#pragma once

#include <string>

#include "link/serial.h"

// A system port's base: it keeps the last open's failure and answers the three questions
// about it. A platform's Open calls Fail when it gives up and Succeeded when it opened.
class RecordedOpenFailures : public SerialPort {
public:
    OpenFailure LastOpenFailure() const override { return failure_; }
    Text LastOpenFailureDetail() const override { return detail_; }
    Text LastOpenFailureReason() const override { return reason_; }

protected:
    // Keeps `kind` with the system's words `why` about `device`, the path tried for the
    // port the user named `name`; false, for Open to return.
    bool Fail(OpenFailure kind, TextView name, TextView device, TextView why);
    void Succeeded();

private:
    OpenFailure failure_ = OpenFailure::None;
    Text detail_;
    Text reason_;
};

// `port` is the name as the user gave it, `device` the path that was opened, `detail` the
// system's words or, for a port that is not a serial port, what it is instead.
std::string ExplainOpenFailure(OpenFailure failure, const std::string& port,
                               const std::string& device, const std::string& detail);
// Linux: the other processes that hold `device` open, as "name (pid N)" joined by ", ",
// found through /proc; empty when there are none that this user may see. For a
// pseudo-terminal, a process that holds its master side is its far end (a simulated board),
// not a rival, and is left out.
std::string PortHolders(const std::string& device);
