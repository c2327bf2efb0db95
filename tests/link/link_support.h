// What the pseudo-terminal link tests share: a pseudo-terminal whose master side plays the
// board, and a link over the system's port to its slave side on the system's clock, whose
// log lines and progress text the test keeps.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "link/clock.h"
#include "link/link.h"
#include "link/serial.h"
#include "tests/link/pty_line.h"

// The line delay a fresh start-up uses.
inline constexpr int kTestLineDelay = 120;

class PtyLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        board = OpenPtyEnd();
        link.Hooks.Log = [this](TextView line) { log.emplace_back(line); };
        link.Hooks.Progress = [this](TextView text, long, long) { progress = Text(text); };
    }
    void TearDown() override {
        port->Close();
        ClosePtyEnd(board);
    }
    Text PortName() const { return TextFromUtf8(board.path); }

    PtyEnd board;
    std::string got;  // what a board thread heard
    SystemClock clock;
    std::unique_ptr<SerialPort> port = MakeSystemSerialPort();
    Link link{*port, clock};
    std::vector<Text> log;  // the lines the link logged
    Text progress;          // the last progress text
};
