// The board's serial port: a pseudo-terminal whose master side the board keeps.
//
// The board also holds the slave side open itself: otherwise the last client closing would
// hang up the master and reset the slave's settings. Clients opening and closing the slave
// are seen through inotify on the slave's device node, which reports every open and close.
#pragma once

#include <cstdint>

#include "board/board.h"

// Opens a new pseudo-terminal in raw mode, makes --link point at it and prints the slave's
// path on stdout as a line of its own. False (with a status line) on failure.
bool OpenSerialPort(Board& board);
// Closes both sides and removes --link: to a client the port is gone.
void CloseSerialPort(Board& board);
// Reads the client open/close notices. A client that opens gets a clean line: what the board
// wrote for an earlier client and nobody read is dropped.
void WatchClients(Board& board);
// True while a client holds the port open.
bool ClientPresent(const Board& board);
// Reads what the client sent, at most `capacity` bytes; 0 when nothing waits.
int ReadFromClient(Board& board, uint8_t* buffer, int capacity);
// The baud rate the client last set on the slave (tcgetattr on the master shows it).
long ClientBaud(const Board& board);
