// A test fixture that owns one running board and one client on its port.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "board_process.h"

class BoardTest : public ::testing::Test {
public:
    // Starts the board and opens its port as a client.
    void Start(const std::vector<std::string>& args = {}) {
        ASSERT_TRUE(StartBoard(board, args)) << BoardLog(board);
        client = OpenClient(board.SlavePath);
        ASSERT_GE(client, 0);
    }
    // Sends `bytes` and returns what came back up to and including `until`.
    std::string Say(const std::string& bytes, const std::string& until = "> ") {
        Send(client, bytes);
        return ReadUntil(client, until);
    }
    std::string Stored(const std::string& name) { return FileText(board.Store / name); }

    void TearDown() override {
        if (client >= 0) close(client);
        StopBoard(board);
        if (!HasFailure())
            std::filesystem::remove_all(board.Dir);
        else
            std::cerr << "board log:\n" << BoardLog(board);
    }

    BoardProcess board;
    int client = -1;
};
