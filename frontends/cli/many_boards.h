// Several boards at once: the same job on each board, in a session and a thread of its own,
// what they print shared out whole line by whole line, and a table of how each ended.
#pragma once

#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// What the boards of one run print, shared by their front ends. Each log line is printed
// whole, after its board's label; on a terminal a block of one progress line per board
// stays below the log and is redrawn as the counts move. Safe to call from every board's
// thread.
class BoardPrinter {
public:
    // `labels` name the boards in the order given. The progress block is drawn on
    // `progress` (nullptr: none is drawn).
    BoardPrinter(std::FILE* out, std::FILE* progress, std::vector<std::string> labels);
    BoardPrinter(const BoardPrinter&) = delete;
    BoardPrinter& operator=(const BoardPrinter&) = delete;

    // A log line of board `board`: "label: text".
    void LogLine(size_t board, const std::string& text);
    // A line printed as it is (a JSON event).
    void Event(const std::string& line);
    // Board `board` has sent `done` of `total` lines `elapsedMs` after it began: its line of
    // the block is redrawn, at most every 100 ms but for its first and last count.
    void Progress(size_t board, long done, long total, long long elapsedMs);
    // Clears the progress block for good, so that what ends the run starts a line.
    void EndProgress();

private:
    struct BoardLine {
        std::string Label;
        std::string Shown;  // what the block shows for this board
        long long DrawnMs = -1;
    };
    void ClearBlock();
    void DrawBlock();

    std::mutex lock_;
    std::FILE* out_;
    std::FILE* progress_;
    std::vector<BoardLine> boards_;
    bool blockDrawn_ = false;
    bool ended_ = false;
};

// How one board's job ended.
struct BoardResult {
    int Exit = 0;
    double Seconds = 0;
};

// The labels of the boards' log lines: each port's file name ("ttyACM0"), or the port as
// given where two ports share a file name.
std::vector<std::string> BoardLabels(const std::vector<std::string>& ports);
// The ports present that --list-ports marks as likely boards, in its order.
std::vector<std::string> LikelyBoardPorts();
// Runs `runBoard(i)` for every port at once, each in a thread of its own, and waits for
// all of them. A board that fails does not stop the others.
std::vector<BoardResult> RunBoardsAtOnce(size_t count, const std::function<int(size_t)>& runBoard);
// The exit status of the whole run: 0 when every board completed, else the largest code.
int WorstExit(const std::vector<BoardResult>& results);
// How the run ended, printed on `out`: a table of port, outcome and seconds, or with `json`
// one outcome event per board (carrying its port and seconds).
void PrintBoardSummary(std::FILE* out, const std::vector<std::string>& ports,
                       const std::vector<BoardResult>& results, bool json);
