// A small BASIC interpreter: enough of the language to run the programs that uploads and
// tests put on the board. PRINT, LET and plain assignment, FOR/NEXT with STEP, single-line
// IF/THEN/ELSE, END, REM and comments, ":" between statements, date$/time$, RTC SETTIME and
// INPUT, which pauses the run until the console delivers the answer.
// Every run has a step limit and an output limit, so no program can hang or flood the board.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

struct BasicValue {
    bool IsString = false;
    double Number = 0;
    std::string Text;
};

struct BasicPausedRun;  // a program stopped at INPUT (basic_run.cpp)

struct BasicContext {
    std::map<std::string, BasicValue> Vars;  // keyed by the upper-case name with its suffix
    std::string Output;                      // what PRINT wrote, lines ending CR LF
    int Column = 0;                          // output column, for the "," tab stops
    std::string Date = "01/01/2000";         // date$, dd/mm/yyyy
    std::string Time = "00:00:00";           // time$, hh:mm:ss
    std::vector<std::string> ClockEvents;    // "DATE ...", "TIME ...", "RTC ..." as they happen
    std::shared_ptr<BasicPausedRun> Paused;  // set while a program waits at INPUT
};

inline constexpr long kBasicStepLimit = 200000;
inline constexpr size_t kBasicOutputLimit = 256 * 1024;

// Runs a stored program from its first line with fresh variables. Returns the error message
// (e.g. "Error in line 3: Division by zero") or empty when it ran to its end.
std::string RunProgram(BasicContext& context, const std::vector<std::string>& lines);
// Gives the program waiting at INPUT its answer and runs it on, to its end or the next INPUT.
// Returns the error or empty, as RunProgram does.
std::string ResumeProgram(BasicContext& context, const std::string& answer);
// Executes one line typed at the prompt, keeping the variables. Returns the error or empty.
std::string ExecuteImmediate(BasicContext& context, const std::string& line);
// How PRINT shows a number: integers without a point, others with 6 significant digits.
std::string FormatNumber(double value);
