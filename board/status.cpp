// The board's clock and its status lines.
#include <chrono>
#include <cstdio>

#include "board/board.h"

int64_t NowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void LogStatus(const std::string& line) {
    std::fprintf(stderr, "qz-board: %s\n", line.c_str());
}
