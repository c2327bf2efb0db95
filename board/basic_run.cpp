// Statement execution. A program is flattened into a list of statements (split at ":" outside
// strings) so that FOR/NEXT can jump by index; an IF statement keeps the rest of its line and
// runs its branch as a statement list of its own.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "board/basic_parse.h"

namespace {

struct Statement {
    size_t Line;  // index of the program line it came from
    std::string Text;
};

struct Loop {
    std::string Var;
    double Limit;
    double Step;
    size_t Body;  // index of the statement after the FOR
};

struct Runner {
    BasicContext& Ctx;
    std::vector<Statement> Statements;
    size_t Next = 0;  // index of the statement to run next
    std::vector<Loop> Loops;
    long Steps = 0;
    bool Ended = false;
    std::string Error;
    std::string InputVar;  // set by INPUT: the run stops until the answer comes
};

// Splits one line at ":" outside strings; a comment or an IF takes the rest of the line.
void SplitLine(const std::string& line, size_t index, std::vector<Statement>& out) {
    size_t start = 0;
    bool quoted = false;
    auto startsWord = [&](const char* word) {
        BasicCursor c{line, start, {}};
        return TakeWord(c, word);
    };
    for (size_t i = 0; i <= line.size(); ++i) {
        if (i == start && (startsWord("IF") || startsWord("REM"))) i = line.size();
        if (i < line.size() && line[i] == '"') quoted = !quoted;
        if (i < line.size() && (quoted || (line[i] != ':' && line[i] != '\''))) continue;
        out.push_back({index, line.substr(start, i - start)});
        if (i < line.size() && line[i] == '\'') break;
        start = i + 1;
    }
}

// Skips a leading line number: programs may carry them, nothing refers to them here.
std::string WithoutLineNumber(const std::string& line) {
    size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    size_t digits = i;
    while (digits < line.size() && std::isdigit(static_cast<unsigned char>(line[digits])))
        ++digits;
    return digits > i ? line.substr(digits) : line;
}

void Print(Runner& r, BasicCursor& c) {
    BasicContext& ctx = r.Ctx;
    bool newline = true;
    while (c.Error.empty() && !AtEnd(c)) {
        newline = true;
        if (TakeChar(c, ';')) {
            newline = false;
            continue;
        }
        if (TakeChar(c, ',')) {
            int pad = 8 - ctx.Column % 8;
            ctx.Output.append(static_cast<size_t>(pad), ' ');
            ctx.Column += pad;
            newline = false;
            continue;
        }
        BasicValue v = EvaluateExpression(ctx, c);
        if (!c.Error.empty()) return;
        std::string text = v.IsString ? v.Text : FormatNumber(v.Number);
        ctx.Output += text;
        ctx.Column += static_cast<int>(text.size());
    }
    if (newline && c.Error.empty()) {
        ctx.Output += "\r\n";
        ctx.Column = 0;
    }
}

bool ValidClock(const std::string& s, char sep, int a, int b, int c) {
    int x = 0, y = 0, z = 0;
    char s1 = 0, s2 = 0, extra = 0;
    if (s.size() != 8u + (sep == '/' ? 2u : 0u)) return false;
    if (std::sscanf(s.c_str(), "%d%c%d%c%d%c", &x, &s1, &y, &s2, &z, &extra) != 5) return false;
    return s1 == sep && s2 == sep && x >= a && y >= 0 && y <= b && z >= 0 && z <= c;
}

void Assign(Runner& r, BasicCursor& c, const std::string& name) {
    if (!TakeChar(c, '=')) return Fail(c, "Unknown command");
    BasicValue v = EvaluateExpression(r.Ctx, c);
    if (!c.Error.empty()) return;
    bool isString = name.back() == '$';
    if (v.IsString != isString) return Fail(c, "Type mismatch");
    if (name == "DATE$") {
        int d = 0, m = 0;
        if (!ValidClock(v.Text, '/', 1, 12, 9999) ||
            std::sscanf(v.Text.c_str(), "%d/%d", &d, &m) != 2 || d > 31 || m < 1)
            return Fail(c, "Invalid date");
        r.Ctx.Date = v.Text;
        r.Ctx.ClockEvents.push_back("DATE " + v.Text);
        return;
    }
    if (name == "TIME$") {
        if (!ValidClock(v.Text, ':', 0, 59, 59) || std::stoi(v.Text) > 23)
            return Fail(c, "Invalid time");
        r.Ctx.Time = v.Text;
        r.Ctx.ClockEvents.push_back("TIME " + v.Text);
        return;
    }
    if (name.back() == '%') v.Number = std::trunc(v.Number);
    r.Ctx.Vars[name] = v;
}

// RTC SETTIME year, month, day, hour, minute, second
void RtcSetTime(Runner& r, BasicCursor& c) {
    if (!TakeWord(c, "SETTIME")) return Fail(c, "Unknown RTC command");
    const int low[] = {2000, 1, 1, 0, 0, 0}, high[] = {2099, 12, 31, 23, 59, 59};
    std::string event = "RTC";
    for (int i = 0; i < 6 && c.Error.empty(); ++i) {
        if (i > 0 && !TakeChar(c, ',')) return Fail(c, "Syntax error");
        BasicValue v = EvaluateExpression(r.Ctx, c);
        if (!c.Error.empty()) return;
        if (v.IsString || v.Number != std::trunc(v.Number) || v.Number < low[i] ||
            v.Number > high[i])
            return Fail(c, "Invalid date or time");
        char part[8];
        std::snprintf(part, sizeof part, i == 0 ? " %04d" : " %02d", static_cast<int>(v.Number));
        event += part;
    }
    if (!AtEnd(c)) return Fail(c, "Syntax error");
    r.Ctx.ClockEvents.push_back(event);
}

// Index of the NEXT that closes the FOR at `index`, or the statement count when none does.
size_t MatchingNext(const Runner& r, size_t index) {
    int depth = 0;
    for (size_t i = index + 1; i < r.Statements.size(); ++i) {
        BasicCursor c{r.Statements[i].Text, 0, {}};
        if (TakeWord(c, "FOR"))
            ++depth;
        else if (TakeWord(c, "NEXT") && depth-- == 0)
            return i;
    }
    return r.Statements.size();
}

void For(Runner& r, BasicCursor& c, bool insideIf) {
    if (insideIf) return Fail(c, "FOR inside IF is not supported");
    std::string name = TakeName(c);
    if (name.empty() || name.back() == '$') return Fail(c, "Syntax error");
    if (!TakeChar(c, '=')) return Fail(c, "Syntax error");
    BasicValue from = EvaluateExpression(r.Ctx, c);
    if (!TakeWord(c, "TO")) return Fail(c, "Expected TO");
    BasicValue to = EvaluateExpression(r.Ctx, c);
    BasicValue step;
    step.Number = 1;
    if (TakeWord(c, "STEP")) step = EvaluateExpression(r.Ctx, c);
    if (!c.Error.empty()) return;
    if (from.IsString || to.IsString || step.IsString) return Fail(c, "Type mismatch");
    if (step.Number == 0) return Fail(c, "STEP 0 never ends");
    r.Ctx.Vars[name] = from;
    size_t self = r.Next - 1;
    if (step.Number > 0 ? from.Number > to.Number : from.Number < to.Number) {
        r.Next = MatchingNext(r, self) + 1;  // the body runs zero times
        return;
    }
    r.Loops.push_back({name, to.Number, step.Number, r.Next});
}

void Next(Runner& r, BasicCursor& c, bool insideIf) {
    if (insideIf) return Fail(c, "NEXT inside IF is not supported");
    std::string name = TakeName(c);
    while (!name.empty() && !r.Loops.empty() && r.Loops.back().Var != name)
        r.Loops.pop_back();
    if (r.Loops.empty()) return Fail(c, "NEXT without FOR");
    Loop& loop = r.Loops.back();
    double& value = r.Ctx.Vars[loop.Var].Number;
    value += loop.Step;
    if (loop.Step > 0 ? value <= loop.Limit : value >= loop.Limit)
        r.Next = loop.Body;
    else
        r.Loops.pop_back();
}

void ExecuteText(Runner& r, const std::string& text, bool insideIf);

// INPUT ["prompt";] var: prints the prompt and "? ", then the run waits for a line.
void Input(Runner& r, BasicCursor& c, bool insideIf) {
    if (insideIf) return Fail(c, "INPUT inside IF is not supported");
    SkipBlanks(c);
    if (c.Pos < c.Text.size() && c.Text[c.Pos] == '"') {
        BasicValue prompt = EvaluateExpression(r.Ctx, c);
        if (!c.Error.empty()) return;
        if (!TakeChar(c, ';') && !TakeChar(c, ',')) return Fail(c, "Syntax error");
        r.Ctx.Output += prompt.Text;
        r.Ctx.Column += static_cast<int>(prompt.Text.size());
    }
    std::string name = TakeName(c);
    if (name.empty()) return Fail(c, "Syntax error");
    r.Ctx.Output += "? ";
    r.Ctx.Column += 2;
    r.InputVar = name;
}

void If(Runner& r, BasicCursor& c) {
    BasicValue condition = EvaluateExpression(r.Ctx, c);
    if (!TakeWord(c, "THEN")) return Fail(c, "Expected THEN");
    if (!c.Error.empty()) return;
    if (condition.IsString) return Fail(c, "Type mismatch");
    // The ELSE that belongs to this IF: the first one outside strings.
    std::string rest = c.Text.substr(c.Pos);
    size_t elsePos = std::string::npos;
    bool quoted = false;
    for (size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '"') quoted = !quoted;
        BasicCursor probe{rest, i, {}};
        if (!quoted && (i == 0 || rest[i - 1] == ' ') && TakeWord(probe, "ELSE") &&
            probe.Pos == i + 4) {
            elsePos = i;
            break;
        }
    }
    std::string branch = condition.Number != 0          ? rest.substr(0, elsePos)
                         : elsePos == std::string::npos ? std::string()
                                                        : rest.substr(elsePos + 4);
    c.Pos = c.Text.size();
    ExecuteText(r, branch, true);
}

void ExecuteStatement(Runner& r, const std::string& text, bool insideIf) {
    BasicCursor c{text, 0, {}};
    if (AtEnd(c) || TakeWord(c, "REM")) return;
    if (++r.Steps > kBasicStepLimit) {
        r.Error = "Step limit reached";
        return;
    }
    if (TakeWord(c, "PRINT") || TakeChar(c, '?'))
        Print(r, c);
    else if (TakeWord(c, "FOR"))
        For(r, c, insideIf);
    else if (TakeWord(c, "NEXT"))
        Next(r, c, insideIf);
    else if (TakeWord(c, "IF"))
        If(r, c);
    else if (TakeWord(c, "END"))
        r.Ended = true;
    else if (TakeWord(c, "INPUT"))
        Input(r, c, insideIf);
    else if (TakeWord(c, "RTC"))
        RtcSetTime(r, c);
    else {
        TakeWord(c, "LET");
        std::string name = TakeName(c);
        if (name.empty())
            Fail(c, "Unknown command");
        else
            Assign(r, c, name);
    }
    if (c.Error.empty() && !r.Ended && r.InputVar.empty() && !AtEnd(c)) Fail(c, "Syntax error");
    if (!c.Error.empty() && r.Error.empty()) r.Error = c.Error;
    if (r.Ctx.Output.size() > kBasicOutputLimit && r.Error.empty()) r.Error = "Output limit";
}

void ExecuteText(Runner& r, const std::string& text, bool insideIf) {
    std::vector<Statement> parts;
    SplitLine(text, 0, parts);
    for (const Statement& s : parts) {
        if (!r.Error.empty() || r.Ended || !r.InputVar.empty()) return;
        ExecuteStatement(r, s.Text, insideIf);
    }
}

void Run(Runner& r) {
    while (r.Next < r.Statements.size() && r.Error.empty() && !r.Ended && r.InputVar.empty()) {
        const Statement& s = r.Statements[r.Next++];
        ExecuteStatement(r, s.Text, false);
    }
}

}  // namespace

struct BasicPausedRun {
    std::vector<Statement> Statements;
    size_t Next;
    std::vector<Loop> Loops;
    long Steps;
    std::string InputVar;
};

namespace {

// Runs until the end, an error or an INPUT; an INPUT keeps the run in the context.
std::string RunOn(Runner& r) {
    Run(r);
    if (!r.InputVar.empty() && r.Error.empty()) {
        r.Ctx.Paused = std::make_shared<BasicPausedRun>(BasicPausedRun{
            std::move(r.Statements), r.Next, std::move(r.Loops), r.Steps, r.InputVar});
        return {};
    }
    if (r.Error.empty()) return {};
    size_t line = r.Statements[r.Next - 1].Line + 1;
    return "Error in line " + std::to_string(line) + ": " + r.Error;
}

}  // namespace

std::string RunProgram(BasicContext& context, const std::vector<std::string>& lines) {
    context.Vars.clear();
    context.Paused.reset();
    Runner r{context, {}, 0, {}, 0, false, {}, {}};
    for (size_t i = 0; i < lines.size(); ++i)
        SplitLine(WithoutLineNumber(lines[i]), i, r.Statements);
    return RunOn(r);
}

std::string ResumeProgram(BasicContext& context, const std::string& answer) {
    if (!context.Paused) return {};
    std::shared_ptr<BasicPausedRun> p = std::move(context.Paused);
    BasicValue value;
    value.IsString = p->InputVar.back() == '$';
    if (value.IsString)
        value.Text = answer;
    else
        value.Number = std::strtod(answer.c_str(), nullptr);
    if (p->InputVar.back() == '%') value.Number = std::trunc(value.Number);
    context.Vars[p->InputVar] = value;
    Runner r{context, std::move(p->Statements), p->Next, std::move(p->Loops), p->Steps, false, {},
             {}};
    return RunOn(r);
}

std::string ExecuteImmediate(BasicContext& context, const std::string& line) {
    Runner r{context, {}, 0, {}, 0, false, {}, {}};
    SplitLine(line, 0, r.Statements);
    Run(r);
    return r.Error.empty() ? std::string() : "Error: " + r.Error;
}
