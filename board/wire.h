// The bytes between the client and the board, each with the time it is due.
//
// Normally bytes are due at once. --line-speed paces both directions at the baud rate the
// client set, 10 bits per byte, as a real wire would: a byte is due one byte time after the
// line became free for it, so a burst takes as long as it would on the wire. --echo-delay
// holds back line ends, as a board's interpreter takes a moment to act on a line. --chunk
// writes the output in pieces of at most N bytes, as a USB console does.
#pragma once

#include <cstdint>
#include <string>

#include "board/board.h"

// What the console holds of the input while it is busy (a save); more is lost.
inline constexpr int kBusyConsoleBuffer = 256;

// Queues bytes read from the client.
void QueueReceived(Board& board, const uint8_t* bytes, int count);
// Takes the next received byte whose time has come; false when none is due.
bool TakeDueByte(Board& board, uint8_t& byte);
// Queues bytes for the client; `holdMs` (fractions of a ms too) delays them and, to keep the
// order, all that follow. Nothing is queued while the board is silent (--silent, or mute
// after a PIN).
void SendToClient(Board& board, const std::string& bytes, double holdMs = 0);
// Writes the queued bytes whose time has come; `all` writes every queued byte now.
void WriteDueBytes(Board& board, bool all = false);
// When the next queued byte for the client may go; INT64_MAX when none waits.
int64_t OutputDueUs(const Board& board);
// When the next queued byte, in or out, is due; INT64_MAX when nothing waits.
int64_t NextWireDue(const Board& board);
// Forgets everything queued for the client (a new client must not get the old one's bytes).
void DropQueuedOutput(Board& board);
