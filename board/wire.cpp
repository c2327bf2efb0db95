#include "board/wire.h"

#include "board/pty.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <string>
#include <vector>

namespace {

// With --chunk: the pause between two writes, so that the client reads them apart.
constexpr int64_t kChunkGapUs = 100;

int64_t ByteTimeUs(const Board& board) {
    if (!board.Options.LineSpeed || board.Port.Baud <= 0) return 0;
    return 10 * 1000000LL / board.Port.Baud;
}

}  // namespace

void QueueReceived(Board& board, const uint8_t* bytes, int count) {
    int64_t now = NowUs();
    // A console busy saving reads nothing: its buffer holds so much, the rest is lost.
    if (board.Console.BusyUntilUs > now) {
        int room = std::max<int>(0, kBusyConsoleBuffer - static_cast<int>(board.Wire.In.size()));
        if (count > room) LogStatus(std::to_string(count - room) + " bytes lost while busy");
        count = std::min(count, room);
    }
    for (int i = 0; i < count; ++i) {
        int64_t due = std::max(now, board.Wire.InFreeUs) + ByteTimeUs(board);
        board.Wire.InFreeUs = due;
        board.Wire.In.push_back({bytes[i], due});
    }
}

bool TakeDueByte(Board& board, uint8_t& byte) {
    int64_t now = NowUs();
    if (board.Wire.In.empty() || board.Wire.In.front().DueUs > now) return false;
    if (board.Console.BusyUntilUs > now) return false;
    byte = board.Wire.In.front().Value;
    board.Wire.In.pop_front();
    return true;
}

void SendToClient(Board& board, const std::string& bytes, double holdMs) {
    if (board.Options.Silent || board.Console.Mode == ConsoleMode::Mute) return;
    int64_t start = NowUs() + static_cast<int64_t>(holdMs * 1000);
    for (char ch : bytes) {
        int64_t due = std::max(start, board.Wire.OutFreeUs) + ByteTimeUs(board);
        board.Wire.OutFreeUs = due;
        board.Wire.Out.push_back({static_cast<uint8_t>(ch), due});
    }
}

void WriteDueBytes(Board& board, bool all) {
    if (board.Port.Master < 0) return;
    int64_t now = NowUs();
    if (!ClientPresent(board)) {
        // Nobody listens: what is due now is lost, as on a wire with no one at the far end.
        while (!board.Wire.Out.empty() && (all || board.Wire.Out.front().DueUs <= now))
            board.Wire.Out.pop_front();
        return;
    }
    if (!all && OutputDueUs(board) > now) return;
    const size_t most = board.Options.ChunkBytes > 0 && !all
                            ? static_cast<size_t>(board.Options.ChunkBytes)
                            : board.Wire.Out.size();
    std::vector<uint8_t> chunk;
    for (const WireByte& b : board.Wire.Out) {
        if ((!all && b.DueUs > now) || chunk.size() == most) break;
        chunk.push_back(b.Value);
    }
    if (board.Options.ChunkBytes > 0) board.Wire.NextChunkUs = now + kChunkGapUs;
    size_t done = 0;
    while (done < chunk.size()) {
        ssize_t n = write(board.Port.Master, chunk.data() + done, chunk.size() - done);
        if (n > 0)
            done += static_cast<size_t>(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            break;  // the client's queue is full (EAGAIN): the rest goes next time
    }
    board.Wire.Out.erase(board.Wire.Out.begin(), board.Wire.Out.begin() + long(done));
}

int64_t OutputDueUs(const Board& board) {
    if (board.Wire.Out.empty()) return INT64_MAX;
    return std::max(board.Wire.Out.front().DueUs, board.Wire.NextChunkUs);
}

int64_t NextWireDue(const Board& board) {
    int64_t due = OutputDueUs(board);
    if (!board.Wire.In.empty() && board.Console.BusyUntilUs <= NowUs())
        due = std::min(due, board.Wire.In.front().DueUs);
    else if (!board.Wire.In.empty())
        due = std::min(due, board.Console.BusyUntilUs);
    return due;
}

void DropQueuedOutput(Board& board) {
    board.Wire.Out.clear();
    board.Wire.OutFreeUs = 0;
}
