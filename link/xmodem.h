// The XMODEM sender: 128-byte blocks, checksum or CRC-16 as the receiver asks.
#pragma once

#include <cstdint>
#include <string>

#include "link/hooks.h"
#include "link/link.h"
#include "source/text.h"

// Cancelled: the hooks asked for a stop; five CAN bytes told the receiver.
enum class XmodemOutcome { Completed, Failed, FailedToStart, Unreadable, Cancelled };

// Tells the board to receive `name` (waiting `lineDelay` ms after the command) and sends the
// file at `path`. The serial channel must be open; it stays open. The outcome is also the
// last line logged through `link.Hooks`, which also show the block count and get every wait.
// `fast` acts on each of the receiver's bytes as it arrives instead of after the fixed waits.
XmodemOutcome SendFileByXmodem(Link& link, TextView path, TextView name, int lineDelay,
                               bool fast = false);
// The same for bytes in memory: `command` (with its line end) tells the board to receive
// them, and `label` names them in the "Sending: " log line.
XmodemOutcome SendBytesByXmodem(Link& link, const std::string& content, TextView command,
                                TextView label, int lineDelay, bool fast = false);

// CRC-16/XMODEM (polynomial 0x1021, initial 0, no reflection, no final XOR) of `count`
// bytes; "123456789" gives 0x31C3.
uint16_t XmodemCrc(const uint8_t* data, int count);
