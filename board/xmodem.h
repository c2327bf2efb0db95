// The XMODEM receiver behind XMODEM RECEIVE "name".
//
// It asks for CRC mode ("C") or checksum mode (NAK), as --xmodem says, once a second until
// the first block comes (30 tries); the picomite personality asks at once, again for every
// stray byte, then every 5 s, and gives up after a minute. It takes 128-byte SOH blocks and
// 1024-byte STX blocks, checks block number, complement and check value, ACKs good blocks, NAKs
// bad or incomplete ones (1 s without a byte), ACKs a repeated block without keeping it again,
// and cancels on a block out of sequence. A damaged block is NAKed once the line has gone
// quiet, so that its rest is not taken for a block. EOT, once the line stays quiet after it,
// is answered with ACK and the prompt; the file is stored with the data of every block as
// received, the last block's padding included. XMODEM RECEIVE without a name receives program
// text into the program memory instead (as LOAD does; program.bas).
#pragma once

#include <cstdint>
#include <string>

#include "board/board.h"

// `name` empty: into the program memory.
void StartXmodemReceive(Board& board, const std::string& name);
void XmodemByte(Board& board, uint8_t byte);
// Timers: the start requests, incomplete blocks and giving up on a silent sender.
void XmodemTick(Board& board);
// CRC-16/XMODEM: polynomial 0x1021, initial 0, no reflection.
uint16_t Crc16Xmodem(const uint8_t* bytes, size_t count);
