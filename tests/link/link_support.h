// What the link tests share: a fresh application state and log, a pseudo-terminal whose
// master side plays the board, and the log as a list of lines.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/pump.h"
#include "app/state.h"
#include "frontends/cli/window_cli.h"
#include "link/serial.h"
#include "tests/link/pty_line.h"
#include "tests/support/fresh_core.h"
#include "ui/controls.h"
#include "ui/log.h"

inline std::vector<Text> LogLines() {
    std::vector<Text> lines;
    const Text& all = LogText();
    if (all.empty()) return lines;
    size_t start = 0;
    for (size_t at; (at = all.find(u"\r\n", start)) != Text::npos; start = at + 2)
        lines.push_back(all.substr(start, at - start));
    lines.push_back(all.substr(start));
    return lines;
}

class PtyLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        StartFreshCore();
        board = OpenPtyEnd();
    }
    void TearDown() override {
        ClosePort();
        ClosePtyEnd(board);
    }
    Text PortName() const { return TextFromUtf8(board.path); }

    PtyEnd board;
    std::string got;  // what a board thread heard
};
