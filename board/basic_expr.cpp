// Expression evaluation by recursive descent, lowest precedence first:
// OR, AND, NOT, comparisons, + -, * / MOD, unary sign, ^, then numbers, strings, (...),
// functions and variables.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "board/basic_parse.h"

namespace {

bool IsNameChar(char ch) {
    return std::isalnum(static_cast<unsigned char>(ch)) || ch == '_' || ch == '.';
}

BasicValue Num(double n) {
    BasicValue v;
    v.Number = n;
    return v;
}

BasicValue Str(std::string s) {
    BasicValue v;
    v.IsString = true;
    v.Text = std::move(s);
    return v;
}

bool NeedNumbers(BasicCursor& c, const BasicValue& a, const BasicValue& b) {
    if (a.IsString || b.IsString) Fail(c, "Type mismatch");
    return c.Error.empty();
}

BasicValue Or(BasicContext& ctx, BasicCursor& c);

BasicValue Primary(BasicContext& ctx, BasicCursor& c);

BasicValue Power(BasicContext& ctx, BasicCursor& c) {
    BasicValue base = Primary(ctx, c);
    if (c.Error.empty() && TakeChar(c, '^')) {
        BasicValue exponent = Power(ctx, c);
        if (NeedNumbers(c, base, exponent)) return Num(std::pow(base.Number, exponent.Number));
    }
    return base;
}

BasicValue Unary(BasicContext& ctx, BasicCursor& c) {
    if (TakeChar(c, '-')) {
        BasicValue v = Unary(ctx, c);
        if (v.IsString) Fail(c, "Type mismatch");
        return Num(-v.Number);
    }
    if (TakeChar(c, '+')) return Unary(ctx, c);
    return Power(ctx, c);
}

BasicValue Product(BasicContext& ctx, BasicCursor& c) {
    BasicValue left = Unary(ctx, c);
    while (c.Error.empty()) {
        char op = 0;
        if (TakeChar(c, '*'))
            op = '*';
        else if (TakeChar(c, '/'))
            op = '/';
        else if (TakeChar(c, '\\'))
            op = '\\';
        else if (TakeWord(c, "MOD"))
            op = '%';
        else
            break;
        BasicValue right = Unary(ctx, c);
        if (!NeedNumbers(c, left, right)) break;
        if (op == '*') {
            left.Number *= right.Number;
            continue;
        }
        if ((op == '/' && right.Number == 0) || (op != '/' && std::trunc(right.Number) == 0)) {
            Fail(c, "Division by zero");
            break;
        }
        if (op == '/')
            left.Number /= right.Number;
        else if (op == '\\')
            left.Number = std::trunc(left.Number / std::trunc(right.Number));
        else
            left.Number = std::fmod(std::trunc(left.Number), std::trunc(right.Number));
    }
    return left;
}

BasicValue Sum(BasicContext& ctx, BasicCursor& c) {
    BasicValue left = Product(ctx, c);
    while (c.Error.empty()) {
        bool plus = TakeChar(c, '+');
        if (!plus && !TakeChar(c, '-')) break;
        BasicValue right = Product(ctx, c);
        if (plus && left.IsString && right.IsString) {
            left.Text += right.Text;
            if (left.Text.size() > 255) Fail(c, "String too long");
        } else if (NeedNumbers(c, left, right)) {
            left.Number = plus ? left.Number + right.Number : left.Number - right.Number;
        }
    }
    return left;
}

// Comparison operators give 1 for true and 0 for false.
BasicValue Comparison(BasicContext& ctx, BasicCursor& c) {
    BasicValue left = Sum(ctx, c);
    SkipBlanks(c);
    const char* ops[] = {"<>", "<=", ">=", "=", "<", ">"};
    for (const char* op : ops) {
        size_t n = std::char_traits<char>::length(op);
        if (c.Text.compare(c.Pos, n, op) != 0) continue;
        c.Pos += n;
        BasicValue right = Sum(ctx, c);
        if (left.IsString != right.IsString) {
            Fail(c, "Type mismatch");
            return left;
        }
        int order = left.IsString ? left.Text.compare(right.Text)
                                  : (left.Number < right.Number ? -1 : left.Number > right.Number);
        std::string o = op;
        bool result = o == "<>"   ? order != 0
                      : o == "<=" ? order <= 0
                      : o == ">=" ? order >= 0
                      : o == "="  ? order == 0
                      : o == "<"  ? order < 0
                                  : order > 0;
        return Num(result ? 1 : 0);
    }
    return left;
}

BasicValue Not(BasicContext& ctx, BasicCursor& c) {
    if (TakeWord(c, "NOT")) {
        BasicValue v = Not(ctx, c);
        if (v.IsString) Fail(c, "Type mismatch");
        return Num(v.Number == 0 ? 1 : 0);
    }
    return Comparison(ctx, c);
}

BasicValue And(BasicContext& ctx, BasicCursor& c) {
    BasicValue left = Not(ctx, c);
    while (c.Error.empty() && TakeWord(c, "AND")) {
        BasicValue right = Not(ctx, c);
        if (NeedNumbers(c, left, right)) left = Num(left.Number != 0 && right.Number != 0);
    }
    return left;
}

BasicValue Or(BasicContext& ctx, BasicCursor& c) {
    BasicValue left = And(ctx, c);
    while (c.Error.empty() && TakeWord(c, "OR")) {
        BasicValue right = And(ctx, c);
        if (NeedNumbers(c, left, right)) left = Num(left.Number != 0 || right.Number != 0);
    }
    return left;
}

BasicValue NumberLiteral(BasicCursor& c) {
    const char* start = c.Text.c_str() + c.Pos;
    char* end = nullptr;
    double n = std::strtod(start, &end);
    c.Pos += static_cast<size_t>(end - start);
    return Num(n);
}

BasicValue StringLiteral(BasicCursor& c) {
    size_t close = c.Text.find('"', c.Pos + 1);
    if (close == std::string::npos) {
        Fail(c, "Missing closing quote");
        return Str("");
    }
    BasicValue v = Str(c.Text.substr(c.Pos + 1, close - c.Pos - 1));
    c.Pos = close + 1;
    return v;
}

// The few functions that small programs use; `name` includes its suffix.
BasicValue Function(BasicContext& ctx, BasicCursor& c, const std::string& name) {
    BasicValue a = Or(ctx, c);
    BasicValue b = Num(0);
    bool two = TakeChar(c, ',');
    if (two) b = Or(ctx, c);
    if (!TakeChar(c, ')')) Fail(c, "Expected )");
    if (!c.Error.empty()) return a;
    bool wantsString = name == "LEN" || name == "LEFT$" || name == "RIGHT$";
    if (a.IsString != wantsString || b.IsString || two != (name == "LEFT$" || name == "RIGHT$")) {
        Fail(c, "Type mismatch");
        return a;
    }
    if (name == "LEN") return Num(static_cast<double>(a.Text.size()));
    if (name == "STR$") return Str(FormatNumber(a.Number));
    if (name == "CHR$") return Str(std::string(1, static_cast<char>(int(a.Number) & 0xFF)));
    if (name == "INT") return Num(std::floor(a.Number));
    if (name == "ABS") return Num(std::fabs(a.Number));
    size_t n = b.Number < 0 ? 0 : std::min(a.Text.size(), static_cast<size_t>(b.Number));
    if (name == "LEFT$") return Str(a.Text.substr(0, n));
    return Str(a.Text.substr(a.Text.size() - n));
}

BasicValue Variable(BasicContext& ctx, const std::string& name) {
    if (name == "DATE$") return Str(ctx.Date);
    if (name == "TIME$") return Str(ctx.Time);
    auto it = ctx.Vars.find(name);
    if (it != ctx.Vars.end()) return it->second;
    if (name.back() == '$') return Str("");
    return Num(0);
}

BasicValue Primary(BasicContext& ctx, BasicCursor& c) {
    SkipBlanks(c);
    if (!c.Error.empty() || AtEnd(c)) {
        Fail(c, "Syntax error");
        return Num(0);
    }
    char ch = c.Text[c.Pos];
    if (std::isdigit(static_cast<unsigned char>(ch)) || ch == '.') return NumberLiteral(c);
    if (ch == '"') return StringLiteral(c);
    if (TakeChar(c, '(')) {
        BasicValue v = Or(ctx, c);
        if (!TakeChar(c, ')')) Fail(c, "Expected )");
        return v;
    }
    std::string name = TakeName(c);
    if (name.empty()) {
        Fail(c, "Syntax error");
        return Num(0);
    }
    const char* functions[] = {"LEN", "STR$", "CHR$", "INT", "ABS", "LEFT$", "RIGHT$"};
    for (const char* f : functions)
        if (name == f && TakeChar(c, '(')) return Function(ctx, c, name);
    return Variable(ctx, name);
}

}  // namespace

void Fail(BasicCursor& c, const std::string& message) {
    if (c.Error.empty()) c.Error = message;
}

void SkipBlanks(BasicCursor& c) {
    while (c.Pos < c.Text.size() && (c.Text[c.Pos] == ' ' || c.Text[c.Pos] == '\t'))
        ++c.Pos;
}

bool AtEnd(BasicCursor& c) {
    SkipBlanks(c);
    return c.Pos >= c.Text.size();
}

bool TakeChar(BasicCursor& c, char ch) {
    SkipBlanks(c);
    if (c.Pos < c.Text.size() && c.Text[c.Pos] == ch) {
        ++c.Pos;
        return true;
    }
    return false;
}

bool TakeWord(BasicCursor& c, const char* word) {
    SkipBlanks(c);
    size_t n = std::char_traits<char>::length(word);
    if (c.Pos + n > c.Text.size()) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::toupper(static_cast<unsigned char>(c.Text[c.Pos + i])) != word[i]) return false;
    if (c.Pos + n < c.Text.size() && IsNameChar(c.Text[c.Pos + n])) return false;
    c.Pos += n;
    return true;
}

std::string TakeName(BasicCursor& c) {
    SkipBlanks(c);
    std::string name;
    if (c.Pos >= c.Text.size() || !std::isalpha(static_cast<unsigned char>(c.Text[c.Pos])))
        return name;
    while (c.Pos < c.Text.size() && IsNameChar(c.Text[c.Pos]))
        name += static_cast<char>(std::toupper(static_cast<unsigned char>(c.Text[c.Pos++])));
    if (c.Pos < c.Text.size() &&
        (c.Text[c.Pos] == '$' || c.Text[c.Pos] == '%' || c.Text[c.Pos] == '!'))
        name += c.Text[c.Pos++];
    return name;
}

BasicValue EvaluateExpression(BasicContext& context, BasicCursor& c) {
    return Or(context, c);
}

std::string FormatNumber(double value) {
    char text[40];
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15)
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(value));
    else
        std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}
