#include "frontends/cli/many_boards.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "frontends/cli/exit_codes.h"
#include "frontends/cli/terminal.h"
#include "frontends/cli/window_cli.h"
#include "settings/ports.h"
#include "source/files.h"
#include "source/text.h"

namespace {

// A board's line of the progress block is redrawn no more often than this.
constexpr long long kProgressRedrawMs = 100;

}  // namespace

BoardPrinter::BoardPrinter(std::FILE* out, std::FILE* progress, std::vector<std::string> labels)
    : out_(out), progress_(progress) {
    for (std::string& label : labels)
        boards_.push_back({std::move(label), std::string(), -1});
}

void BoardPrinter::LogLine(size_t board, const std::string& text) {
    std::lock_guard<std::mutex> hold(lock_);
    ClearBlock();  // the block stays below the log: cleared, the line printed, drawn again
    // Every line of a piece that holds several (a command and the board's reply) is named.
    std::string lines;
    for (size_t start = 0; start <= text.size();) {
        size_t end = std::min(text.find('\n', start), text.size());
        size_t cut = end > start && text[end - 1] == '\r' ? end - 1 : end;
        lines += boards_[board].Label + ": " + text.substr(start, cut - start) + "\n";
        start = end + 1;
    }
    std::fwrite(lines.data(), 1, lines.size(), out_);
    std::fflush(out_);
    DrawBlock();
}

void BoardPrinter::Event(const std::string& line) {
    std::lock_guard<std::mutex> hold(lock_);
    std::fprintf(out_, "%s\n", line.c_str());
    std::fflush(out_);
}

void BoardPrinter::Progress(size_t board, long done, long total, long long elapsedMs) {
    if (!progress_) return;
    std::lock_guard<std::mutex> hold(lock_);
    BoardLine& b = boards_[board];
    bool due = done <= 1 || done >= total || b.DrawnMs < 0 || elapsedMs < b.DrawnMs ||
               elapsedMs - b.DrawnMs >= kProgressRedrawMs;
    if (!due || ended_) return;
    b.DrawnMs = elapsedMs;
    int columns = TerminalColumns(progress_) - static_cast<int>(b.Label.size()) - 1;
    b.Shown = ProgressLine(done, total, elapsedMs, columns);
    ClearBlock();
    DrawBlock();
}

void BoardPrinter::EndProgress() {
    std::lock_guard<std::mutex> hold(lock_);
    ClearBlock();
    ended_ = true;
}

// The cursor stays at the end of the block's last line; the block is cleared from its
// first line down.
void BoardPrinter::ClearBlock() {
    if (!blockDrawn_) return;
    if (boards_.size() > 1) std::fprintf(progress_, "\033[%zuA", boards_.size() - 1);
    std::fputs("\r\033[J", progress_);
    std::fflush(progress_);
    blockDrawn_ = false;
}

void BoardPrinter::DrawBlock() {
    if (!progress_ || ended_) return;
    // No block until a board has a count to show.
    if (std::all_of(boards_.begin(), boards_.end(),
                    [](const BoardLine& b) { return b.Shown.empty(); }))
        return;
    std::string block;
    for (const BoardLine& b : boards_)
        block += (block.empty() ? "" : "\n") + b.Label + " " + b.Shown;
    std::fputs(block.c_str(), progress_);
    std::fflush(progress_);
    blockDrawn_ = true;
}

std::vector<std::string> BoardLabels(const std::vector<std::string>& ports) {
    std::vector<std::string> names;
    for (const std::string& port : ports)
        names.push_back(Utf8FromText(FileNameOfPath(TextFromUtf8(port))));
    std::vector<std::string> labels;
    for (size_t i = 0; i < ports.size(); ++i) {
        bool shared = std::count(names.begin(), names.end(), names[i]) > 1;
        labels.push_back(shared || names[i].empty() ? ports[i] : names[i]);
    }
    return labels;
}

std::vector<std::string> LikelyBoardPorts() {
    std::vector<std::string> ports;
    for (const PortIdentity& port : ListSerialPortIdentities())
        if (LooksLikeBoard(port)) ports.push_back(Utf8FromText(port.Path));
    return ports;
}

std::vector<BoardResult> RunBoardsAtOnce(size_t count, const std::function<int(size_t)>& runBoard) {
    std::vector<BoardResult> results(count);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < count; ++i) {
        threads.emplace_back([&runBoard, &result = results[i], i] {
            auto start = std::chrono::steady_clock::now();
            result.Exit = runBoard(i);
            result.Seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        });
    }
    for (std::thread& t : threads)
        t.join();
    return results;
}

int WorstExit(const std::vector<BoardResult>& results) {
    int worst = kExitCompleted;
    for (const BoardResult& r : results)
        worst = std::max(worst, r.Exit);
    return worst;
}

void PrintBoardSummary(std::FILE* out, const std::vector<std::string>& ports,
                       const std::vector<BoardResult>& results, bool json) {
    if (json) {
        for (size_t i = 0; i < ports.size(); ++i)
            std::fprintf(out,
                         "{\"event\":\"outcome\",\"port\":%s,\"outcome\":\"%s\",\"exit\":%d,"
                         "\"seconds\":%.1f}\n",
                         JsonString(ports[i]).c_str(), ExitName(results[i].Exit), results[i].Exit,
                         results[i].Seconds);
        std::fflush(out);
        return;
    }
    size_t portWidth = 4, outcomeWidth = 7;
    for (size_t i = 0; i < ports.size(); ++i) {
        portWidth = std::max(portWidth, ports[i].size());
        outcomeWidth = std::max(outcomeWidth, std::string(ExitName(results[i].Exit)).size());
    }
    int pw = static_cast<int>(portWidth), ow = static_cast<int>(outcomeWidth);
    bool terminal = StreamIsTerminal(out);
    std::fprintf(out, "%-*s  %-*s  Time\n", pw, "Port", ow, "Outcome");
    for (size_t i = 0; i < ports.size(); ++i)
        std::fprintf(out, "%-*s  %-*s  %.1f s\n", pw,
                     (terminal ? VisibleControls(ports[i]) : ports[i]).c_str(), ow,
                     ExitName(results[i].Exit), results[i].Seconds);
    std::fflush(out);
}
