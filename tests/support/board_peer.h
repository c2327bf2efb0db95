// Runs the simulated board as a separate process on a pseudo-terminal, for tests that
// drive the tool against it.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

struct BoardPeer {
    pid_t Pid = -1;
    std::string Tty;              // the serial end the tool opens
    std::filesystem::path Store;  // where the board keeps what it received
};

// Starts qz-board with these extra options and --store in a fresh folder. Fails the test
// (and returns a peer with Pid -1) when the board does not report its serial end in time.
BoardPeer StartBoard(const std::vector<std::string>& options = {});
void StopBoard(BoardPeer& board);
// A file the board stored, or empty when it has none of that name.
std::string StoredFile(const BoardPeer& board, const std::string& name);
// A fresh empty folder under the system's temporary folder.
std::filesystem::path FreshFolder(const std::string& stem);
