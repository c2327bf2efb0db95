// Program entry: AUTOSAVE (ended by Ctrl-Z), AUTO (ended by Ctrl-C) and AUTOSAVE "name" (ended
// by ESC [11~ to save, or ESC [12~ to save and run). Ctrl-C abandons either AUTOSAVE, as real
// interpreters do: nothing is saved and the program in memory stays the old one. AUTO keeps
// its lines as they come, so Ctrl-C only ends it. Every line is echoed by the console's line
// editing and kept as the interpreter keeps text: TABs become spaces, blanks at a line's end
// go. A line longer than the interpreter's limit ends program entry with an error, as real
// interpreters do: the lines after it then land at the prompt and run as commands.
#include "board/console.h"
#include "board/drive.h"
#include "board/noise.h"
#include "board/store.h"
#include "board/wire.h"

namespace {

constexpr uint8_t kCtrlC = 0x03, kCtrlZ = 0x1A;

// A line as the interpreter keeps it: each TAB turned into spaces up to the next column that
// is a multiple of 8, and the blanks at its end dropped.
std::string AsStored(const std::string& line) {
    std::string out;
    for (char ch : line) {
        if (ch == '\t')
            out.append(8 - out.size() % 8, ' ');
        else
            out += ch;
    }
    out.erase(out.find_last_not_of(' ') + 1);
    return out;
}

void FinishEntry(Board& board, bool run) {
    BoardConsole& con = board.Console;
    if (!con.Line.empty()) con.EntryLines.push_back(con.Line);  // a last line without CR
    con.Line.clear();
    for (std::string& line : con.EntryLines)
        line = AsStored(line);
    size_t altered = static_cast<size_t>(board.Options.AlterStoredLine);
    if (altered > 0 && altered <= con.EntryLines.size() && !con.EntryLines[altered - 1].empty())
        con.EntryLines[altered - 1].pop_back();
    std::string bytes;
    for (const std::string& line : con.EntryLines)
        bytes += line + "\n";
    std::string file = con.Entry == EntryKind::Named ? con.EntryName : "program.bas";
    WriteStoreFile(board, file, bytes);
    LogStatus("saved " + std::to_string(con.EntryLines.size()) + " lines as " + file);
    NoteEntryEnd(board, true);
    con.Program = std::move(con.EntryLines);
    con.EntryLines.clear();
    con.Mode = ConsoleMode::Prompt;
    con.LineEchoLost = false;
    std::string saved = "Saved " + std::to_string(bytes.size()) + " bytes\r\n";
    if (board.Options.Kind == Personality::Plain) saved = "\r\n" + saved;
    // Writing the flash takes its time: the console answers, and reads, only after it.
    double saveMs = board.Options.SaveMsPerKb * static_cast<double>(bytes.size()) / 1024;
    if (saveMs > 0) {
        con.BusyUntilUs = NowUs() + static_cast<int64_t>(saveMs * 1000);
        LogStatus("saving takes " + std::to_string(static_cast<long>(saveMs)) + " ms");
    }
    SendToClient(board, saved, saveMs);
    if (run)
        RunStoredProgram(board);
    else
        SendToClient(board, ModesBefore(board) + Prompt(board));
}

void AbandonEntry(Board& board, const std::string& message = "") {
    BoardConsole& con = board.Console;
    LogStatus("program entry abandoned after " + std::to_string(con.EntryLines.size()) + " lines");
    NoteEntryEnd(board, false);
    con.EntryLines.clear();
    con.Line.clear();
    con.Mode = ConsoleMode::Prompt;
    con.LineEchoLost = false;
    SendToClient(board, ModesBefore(board) + "\r\n" + message + Prompt(board));
}

}  // namespace

void RefuseLongLine(Board& board) {
    LogStatus("program line longer than " + std::to_string(kEntryLineLimit) + " characters");
    AbandonEntry(board, "Error: Line length\r\n");
}

void StartEntry(Board& board, EntryKind kind, const std::string& name) {
    BoardConsole& con = board.Console;
    con.Mode = ConsoleMode::Entry;
    con.Entry = kind;
    con.EntryName = name;
    con.EntryLines.clear();
    board.Noise.EntryDamaged = false;
    LogStatus("program entry started" + (name.empty() ? std::string() : " for " + name));
}

bool EntryControlByte(Board& board, uint8_t byte) {
    EntryKind kind = board.Console.Entry;
    if (byte == kCtrlZ) {
        if (kind == EntryKind::Autosave) FinishEntry(board, false);
        return true;  // never part of a line
    }
    if (byte != kCtrlC) return false;
    if (kind == EntryKind::Auto)
        FinishEntry(board, false);
    else
        AbandonEntry(board);
    return true;
}

void EntrySequence(Board& board, const std::string& sequence) {
    if (board.Console.Entry != EntryKind::Named) return;
    if (sequence == "\x1b[11~")
        FinishEntry(board, false);
    else if (sequence == "\x1b[12~")
        FinishEntry(board, true);
}

void EntryLine(Board& board, const std::string& line) {
    BoardConsole& con = board.Console;
    ++con.ProgramLines;
    con.EntryLines.push_back(line);
    long limit = board.Options.VanishAfterLines;
    if (limit > 0 && con.ProgramLines >= limit) VanishFromLine(board);
}

void TakeProgramText(Board& board, const std::string& bytes) {
    size_t end = bytes.find_last_not_of(std::string("\0\x1a", 2));
    std::string text = end == std::string::npos ? std::string() : bytes.substr(0, end + 1);
    std::vector<std::string> lines;
    std::string stored;
    for (size_t at = 0; at < text.size();) {
        size_t lf = text.find('\n', at);
        std::string line = text.substr(at, lf == std::string::npos ? std::string::npos : lf - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        line = AsStored(line);
        lines.push_back(line);
        stored += line + "\n";
        at = lf == std::string::npos ? text.size() : lf + 1;
    }
    WriteStoreFile(board, "program.bas", stored);
    board.Console.Program = std::move(lines);
    NoteProgramReplaced(board);
}

void BeginLine(Board& board) {
    BoardConsole& con = board.Console;
    int every = board.Options.LoseEcho;
    con.LineEchoLost =
        con.Mode == ConsoleMode::Entry && every > 0 && (con.ProgramLines + 1) % every == 0;
}
