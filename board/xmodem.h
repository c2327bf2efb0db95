// The XMODEM receiver behind XMODEM RECEIVE "name".
//
// It asks for CRC mode ("C") or checksum mode (NAK), as --xmodem says, once a second until
// the first block comes (30 tries); the picomite personality asks at once, again for every
// stray byte, then every 5 s, and gives up after a minute. It takes 128-byte SOH blocks and
// 1024-byte STX blocks, checks block number, complement and check value, ACKs good blocks, NAKs bad
// or incomplete ones (1 s without a byte), ACKs a repeated block without keeping it again, and
// cancels on a block out of sequence. EOT is answered with ACK and the prompt; the file is stored
// with the data of every block as received, the last block's padding included.
#pragma once

#include <cstdint>
#include <string>

#include "board/board.h"

void StartXmodemReceive(Board& board, const std::string& name);
void XmodemByte(Board& board, uint8_t byte);
// Timers: the start requests, incomplete blocks and giving up on a silent sender.
void XmodemTick(Board& board);
// CRC-16/XMODEM: polynomial 0x1021, initial 0, no reflection.
uint16_t Crc16Xmodem(const uint8_t* bytes, size_t count);
