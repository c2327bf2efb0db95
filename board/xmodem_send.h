// The XMODEM sender behind XMODEM SEND "name" (a stored file) and XMODEM SEND (the program
// in memory, its lines ended CR LF as the board lists them).
//
// It starts on the receiver's NAK (checksum) or, unless --xmodem checksum is given, its "C"
// (CRC-16), sends 128-byte blocks with the last one padded with zero bytes, sends a block
// again on NAK (ten at most), ends with EOT until acknowledged and then shows its prompt.
// Two CAN bytes from the receiver cancel it; a receiver silent for ten seconds ends it.
// --corrupt-send-block N damages one byte of block N the first time it goes out.
#pragma once

#include <cstdint>
#include <string>

#include "board/board.h"

// False when there is no such file to send (nothing has changed then).
bool StartXmodemSend(Board& board, const std::string& name);
void XmodemSendByte(Board& board, uint8_t byte);
void XmodemSendTick(Board& board);
