#include "board/noise.h"

#include <fstream>

#include "board/store.h"

namespace {

void Record(Board& board, const std::string& line) {
    LogStatus("noise: " + line);
    if (board.Options.Store.empty()) return;
    std::ofstream out(board.Options.Store + "/noise.log", std::ios::binary | std::ios::app);
    out << line << "\n";
}

std::string Shown(uint8_t byte) {
    if (byte >= 0x20 && byte < 0x7F) return std::string("'") + static_cast<char>(byte) + "'";
    static const char kHex[] = "0123456789abcdef";
    return std::string("0x") + kHex[byte >> 4] + kHex[byte & 15];
}

// A byte other than `byte`: printable for a printable one in program entry, any otherwise.
uint8_t OtherByte(Board& board, uint8_t byte, bool printable) {
    int low = printable ? 0x20 : 0, count = printable ? 0x7F - 0x20 : 256;
    std::uniform_int_distribution<int> pick(1, count - 1);
    return static_cast<uint8_t>(low + (byte - low + pick(board.Noise.Rng)) % count);
}

}  // namespace

bool PassNoise(Board& board, uint8_t& byte) {
    double rate = board.Options.NoiseRate;
    if (rate <= 0) return true;
    ConsoleMode mode = board.Console.Mode;
    bool entry = mode == ConsoleMode::Entry;
    if (!(entry && byte >= 0x20 && byte < 0x7F) && mode != ConsoleMode::Xmodem) return true;
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    if (chance(board.Noise.Rng) >= rate) return true;
    std::string where =
        entry ? "program line " + std::to_string(board.Console.EntryLines.size() + 1) + ": "
              : "xmodem: ";
    if (entry) board.Noise.EntryDamaged = true;
    if (chance(board.Noise.Rng) < 0.5) {
        Record(board, where + "lost " + Shown(byte));
        return false;
    }
    uint8_t changed = OtherByte(board, byte, entry);
    Record(board, where + "changed " + Shown(byte) + " to " + Shown(changed));
    byte = changed;
    return true;
}

void NoteEntryEnd(Board& board, bool saved) {
    bool damaged = board.Noise.EntryDamaged;
    board.Noise.EntryDamaged = false;
    if (saved) board.Noise.ProgramDamaged = damaged;
    if (damaged) Record(board, saved ? "saved a damaged program" : "abandoned a damaged program");
}

void NoteProgramReplaced(Board& board) {
    board.Noise.ProgramDamaged = false;
}

void NoteRun(Board& board) {
    if (board.Noise.ProgramDamaged) Record(board, "ran a damaged program");
}
