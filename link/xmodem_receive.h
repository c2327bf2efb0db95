// The XMODEM receiver: the board's interpreter is told to send a file (or the program in its
// memory) and the tool takes it in 128-byte blocks (1024-byte ones too), asking for the
// CRC-16 first and falling back to the 8-bit checksum for senders that start only on NAK.
#pragma once

#include <string>

#include "link/hooks.h"
#include "link/link.h"
#include "source/text.h"

enum class ReceiveOutcome {
    Completed,
    Refused,    // the board answered the command with its own words instead of sending
    Failed,     // the transfer started but did not complete (the log says why)
    NoStart,    // the board never sent a first block
    Cancelled,  // the caller asked for a stop; five CAN bytes told the board
};

struct ReceivedFile {
    ReceiveOutcome Outcome = ReceiveOutcome::Failed;
    // What came, without the last block's padding: the board fills it with zero bytes, so
    // the zero bytes at the end of the last block are dropped (a file that really ends in
    // zero bytes loses them; text never does). Empty unless completed.
    std::string Bytes;
    Text BoardWords;  // what the board said when it refused
};

// Sends XMODEM SEND "name" (without a name when `name` is empty: the program in memory) and
// receives what the board sends. The serial channel must be open; it stays open. Logs
// "Receiving: ..." first and one result line last; shows the blocks received as progress.
// Waits for bytes through `link.Hooks` (waking as they arrive) and gives up on a stop.
ReceivedFile ReceiveFileByXmodem(Link& link, TextView name);
