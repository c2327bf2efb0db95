#include "board/console.h"

#include <cctype>

#include "board/drive.h"
#include "board/noise.h"
#include "board/store.h"
#include "board/wire.h"
#include "board/xmodem.h"
#include "board/xmodem_send.h"

namespace {

constexpr uint8_t kCtrlC = 0x03, kEsc = 0x1B, kBackspace = 0x08, kDelete = 0x7F;
constexpr size_t kLineLimit = 4096;  // longer lines are cut; no board line is anywhere near

std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

std::string Upper(std::string s) {
    for (char& ch : s)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return s;
}

// Takes `word` at the start of `line` (any letter case) as a whole word, leaving the rest.
bool TakeCommand(std::string& line, const char* word) {
    std::string w = word;
    if (Upper(line.substr(0, w.size())) != w) return false;
    if (line.size() > w.size() &&
        (std::isalnum(static_cast<unsigned char>(line[w.size()])) || line[w.size()] == '$'))
        return false;
    line = Trim(line.substr(w.size()));
    return true;
}

// A quoted file name and nothing after it; false when the text is anything else.
bool QuotedName(const std::string& text, std::string& name) {
    if (text.size() < 2 || text.front() != '"' || text.back() != '"') return false;
    name = text.substr(1, text.size() - 2);
    return name.find('"') == std::string::npos;
}

void PinLine(Board& board, const std::string& pin) {
    BoardOptions& o = board.Options;
    if (o.PinSilent) {
        board.Console.Mode = ConsoleMode::Mute;
        LogStatus("PIN received; staying silent from now on");
        return;
    }
    if (pin == "0") {
        LogStatus("restart asked at the PIN prompt");
        SendToClient(board, std::string("\r\nQZ board restarted\r\n") + kPinPrompt);
        return;
    }
    if (pin == o.Pin && !o.WrongPin) {
        LogStatus("PIN accepted");
        board.Console.Mode = ConsoleMode::Prompt;
        SendToClient(board, "\r\n" + Prompt(board));
        return;
    }
    LogStatus("PIN rejected");
    SendToClient(board, std::string("\r\n") + kPinPrompt);
}

void PinByte(Board& board, uint8_t byte) {
    BoardConsole& con = board.Console;
    bool lineFeedOfCr = byte == '\n' && con.LastWasCr;
    con.LastWasCr = byte == '\r';
    if (lineFeedOfCr) return;
    if (byte == kCtrlC) {
        con.Line.clear();
        SendToClient(board, std::string("\r\n") + kPinPrompt);
    } else if (byte == '\r' || byte == '\n') {
        std::string pin = Trim(con.Line);
        con.Line.clear();
        PinLine(board, pin);
    } else if (byte >= 0x20 && con.Line.size() < kLineLimit) {
        con.Line += static_cast<char>(byte);  // not echoed
    }
}

// Escape sequences are gathered whole; only program entry gives any of them a meaning.
void EscapeByte(Board& board, uint8_t byte) {
    BoardConsole& con = board.Console;
    con.Escape += static_cast<char>(byte);
    bool csi = con.Escape.size() >= 2 && con.Escape[1] == '[';
    bool done = con.Escape.size() >= 2 && (!csi || (con.Escape.size() > 2 && byte >= 0x40));
    if (!done && con.Escape.size() < 16) return;
    std::string sequence = con.Escape;
    con.Escape.clear();
    if (con.Mode == ConsoleMode::Entry) EntrySequence(board, sequence);
}

void LineEnd(Board& board) {
    BoardConsole& con = board.Console;
    std::string line = con.Line;
    con.Line.clear();
    if (!con.LineEchoLost) SendToClient(board, "\r\n", board.Options.EchoDelayMs);
    if (con.Mode == ConsoleMode::Entry) {
        EntryLine(board, line);
    } else if (con.Basic.Paused) {
        con.Basic.Column = 0;
        con.RunOutput += line + "\r\n";
        return EndOfRunPiece(board, ResumeProgram(con.Basic, line));
    } else {
        ExecuteCommand(board, line);
    }
    if (board.Phase == BoardPhase::Serial) BeginLine(board);
}

void EditByte(Board& board, uint8_t byte) {
    BoardConsole& con = board.Console;
    // The picomite personality takes CR and LF as two line ends at its prompt.
    bool pairs = board.Options.Kind == Personality::Plain || con.Mode == ConsoleMode::Entry ||
                 con.Basic.Paused;
    bool lineFeedOfCr = byte == '\n' && con.LastWasCr && pairs;
    con.LastWasCr = byte == '\r';
    if (lineFeedOfCr) return;
    if (!con.Escape.empty() || byte == kEsc) return EscapeByte(board, byte);
    if (con.Mode == ConsoleMode::Entry && EntryControlByte(board, byte)) return;
    if (byte == '\r' || byte == '\n') return LineEnd(board);
    if (byte == kCtrlC) {
        con.Line.clear();
        if (con.Basic.Paused) LogStatus("RUN: stopped by Ctrl-C at INPUT");
        con.Basic.Paused.reset();
        SendToClient(board, ModesBefore(board) + "\r\n" + Prompt(board));
        return;
    }
    if (byte == kBackspace || byte == kDelete) {
        if (con.Line.empty()) return;
        con.Line.pop_back();
        if (!con.LineEchoLost) SendToClient(board, "\b \b");
        return;
    }
    if ((byte < 0x20 && byte != '\t') || con.Line.size() >= kLineLimit) return;
    con.Line += static_cast<char>(byte);
    if (!con.LineEchoLost) SendToClient(board, std::string(1, static_cast<char>(byte)));
    if (con.Mode == ConsoleMode::Entry && con.Line.size() > kEntryLineLimit) RefuseLongLine(board);
}

}  // namespace

std::string Prompt(const Board& board) {
    return board.Options.Kind == Personality::Picomite ? std::string(kPrompt) + "\x1b[?7h"
                                                       : std::string(kPrompt);
}

std::string ModesBefore(const Board& board) {
    return board.Options.Kind == Personality::Picomite ? "\x1b[?25h\x1b[97;40m" : "";
}

void StartConsole(Board& board) {
    BoardConsole& con = board.Console;
    con.Mode = board.Options.Pin.empty() ? ConsoleMode::Prompt : ConsoleMode::Locked;
    con.Line.clear();
    con.Escape.clear();
    con.LastWasCr = false;
    con.LineEchoLost = false;
}

void ConsoleByte(Board& board, uint8_t byte) {
    BoardConsole& con = board.Console;
    switch (con.Mode) {
        case ConsoleMode::Mute:
            return;
        case ConsoleMode::Xmodem:
            return XmodemByte(board, byte);
        case ConsoleMode::XmodemSend:
            return XmodemSendByte(board, byte);
        case ConsoleMode::Locked:
            // Any byte wakes a locked board; a printable one already counts towards the PIN.
            con.Mode = ConsoleMode::Pin;
            SendToClient(board, std::string("\r\n") + kPinPrompt);
            if (byte >= 0x20) con.Line = std::string(1, static_cast<char>(byte));
            con.LastWasCr = byte == '\r';
            return;
        case ConsoleMode::Pin:
            return PinByte(board, byte);
        case ConsoleMode::Prompt:
        case ConsoleMode::Entry:
            return EditByte(board, byte);
    }
}

void DeliverBasicOutput(Board& board, const std::string& error) {
    BasicContext& basic = board.Console.Basic;
    std::string out = basic.Output;
    if (!error.empty()) {
        if (basic.Column != 0) out += "\r\n";
        out += error + "\r\n";
        basic.Column = 0;
    }
    if (basic.Column != 0) out += "\r\n";  // the prompt starts on a line of its own
    basic.Column = 0;
    basic.Output.clear();
    SendToClient(board, out);
    for (const std::string& line : basic.ClockEvents)
        AppendClockLine(board, line);
    basic.ClockEvents.clear();
}

// After a run or a resumed run: a program waiting at INPUT shows its prompt and keeps the
// console; otherwise the output (and the whole run's in run-output.txt) and the prompt.
void EndOfRunPiece(Board& board, const std::string& error) {
    BoardConsole& con = board.Console;
    BasicContext& basic = con.Basic;
    con.RunOutput += basic.Output + (error.empty() ? "" : error + "\r\n");
    if (basic.Paused) {
        SendToClient(board, basic.Output);
        basic.Output.clear();
        return;
    }
    std::string lf;
    for (char ch : con.RunOutput)
        if (ch != '\r') lf += ch;
    con.RunOutput.clear();
    WriteStoreFile(board, "run-output.txt", lf);
    LogStatus("RUN: " + std::to_string(con.Program.size()) + " lines" +
              (error.empty() ? "" : ", " + error));
    DeliverBasicOutput(board, error);
    SendToClient(board, ModesBefore(board) + Prompt(board));
}

void RunStoredProgram(Board& board) {
    NoteRun(board);
    BasicContext& basic = board.Console.Basic;
    basic.Output.clear();
    basic.Column = 0;
    board.Console.RunOutput.clear();
    EndOfRunPiece(board, RunProgram(basic, board.Console.Program));
}

void ExecuteCommand(Board& board, const std::string& typed) {
    BoardConsole& con = board.Console;
    std::string line = Trim(typed), name, rest;
    auto is = [&](const char* word) {
        rest = line;
        return TakeCommand(rest, word);
    };
    if (line.empty()) {
    } else if (is("NEW") && rest.empty()) {
        con.Program.clear();
        con.Basic.Vars.clear();
        RemoveStoreFile(board, "program.bas");
        NoteProgramReplaced(board);
        LogStatus("NEW");
    } else if (is("RUN") && rest.empty()) {
        return RunStoredProgram(board);
    } else if (is("LIST") && rest.empty()) {
        for (const std::string& l : con.Program)
            SendToClient(board, l + "\r\n");
    } else if (is("AUTOSAVE")) {
        if (rest.empty()) return StartEntry(board, EntryKind::Autosave, "");
        if (QuotedName(rest, name) && IsSafeFileName(name))
            return StartEntry(board, EntryKind::Named, name);
        SendToClient(board, "Error: Invalid file name\r\n");
    } else if (is("AUTO") && rest.empty()) {
        return StartEntry(board, EntryKind::Auto, "");
    } else if (is("XMODEM")) {
        bool receive = TakeCommand(rest, "RECEIVE") || TakeCommand(rest, "R");
        if (receive && rest.empty()) return StartXmodemReceive(board, "");  // program memory
        if (receive && QuotedName(rest, name) && IsSafeFileName(name))
            return StartXmodemReceive(board, name);
        if (TakeCommand(rest, "SEND") || TakeCommand(rest, "S")) {
            // Without a name: the program in memory.
            bool named = QuotedName(rest, name) && IsSafeFileName(name);
            if (rest.empty() || named) {
                if (StartXmodemSend(board, rest.empty() ? "" : name)) return;
                SendToClient(board, "Error: File not found\r\n");
                return SendToClient(board, kPrompt);
            }
        }
        SendToClient(board, "Error: XMODEM RECEIVE \"name\" or SEND [\"name\"] expected\r\n");
    } else if (is("LOAD")) {
        std::string bytes;
        if (!QuotedName(rest, name) || !IsSafeFileName(name))
            SendToClient(board, "Error: LOAD \"name\" expected\r\n");
        else if (!ReadStoreFile(board, name, bytes))
            SendToClient(board, "Error: Cannot find " + name + "\r\n");
        else {
            TakeProgramText(board, bytes);
            LogStatus("LOAD " + name + ": " + std::to_string(con.Program.size()) + " lines");
        }
    } else {
        DeliverBasicOutput(board, ExecuteImmediate(con.Basic, line));
    }
    SendToClient(board, Prompt(board));
}
