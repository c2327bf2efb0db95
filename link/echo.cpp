#include "link/echo.h"

namespace {

constexpr char16_t kEsc = 0x1B, kBel = 0x07;

// Escape sequences are skipped whole: CSI (ESC [ ... final byte), OSC (ESC ] ... BEL or
// ESC \) and the two-character ones.
enum EscapeState { kNoEscape, kAfterEsc, kInCsi, kInOsc, kOscAfterEsc };

// The form in which echoes are compared: printable ASCII only, a TAB as a space.
Text Comparable(TextView text) {
    Text out;
    for (char16_t ch : text) {
        if (ch == u'\t') ch = u' ';
        if (ch >= 0x20 && ch < 0x7F) out += ch;
    }
    return out;
}

bool LooksLikePrompt(const EchoCheck& check, const Text& line) {
    return StartsWith(line, u"> ") && !StartsWith(check.Expected, u">");
}

void AddWords(EchoCheck& check, const Text& line) {
    if (!check.Words.empty()) check.Words += u"\r\n";
    check.Words += line;
    // Words that come before any echo of the line in flight are about the line before:
    // a board answers a line only after it has echoed it.
    bool aboutThisLine = check.EchoSeen || check.PreviousLine == 0;
    check.WordsLine = aboutThisLine ? check.Line : check.PreviousLine;
}

// A whole received line: the echo, a cut-off echo, a late echo of the line before, or the
// board's own words.
EchoVerdict TakeLine(EchoCheck& check) {
    Text line = check.Received;
    check.Received.clear();
    Text got = Comparable(line);
    if (!check.Complete) {
        if (got == check.Expected) {
            check.Complete = check.EchoSeen = true;
            return EchoVerdict::Echoed;
        }
        if (!got.empty() && !check.CutOff && StartsWith(check.Expected, got)) {
            check.EchoSeen = check.CutOff = true;  // cut off: the board's reason follows
            check.Garbled = line;
            return EchoVerdict::Waiting;
        }
        if (check.PreviousUnechoed && got == check.Previous) {
            check.PreviousUnechoed = false;
            if (--check.Unechoed == 0) check.FirstUnechoed = 0;
            return EchoVerdict::Waiting;
        }
    }
    if (got.empty()) return EchoVerdict::Waiting;
    AddWords(check, line);
    if (StartsWith(got, u"Error")) return EchoVerdict::Error;
    if (LooksLikePrompt(check, got)) return EchoVerdict::Prompt;
    // Neither the echo nor the board's refusal: the line in flight came back changed.
    if (!check.Complete) {
        if (!check.CutOff) check.Garbled = line;
        return EchoVerdict::Garbled;
    }
    return EchoVerdict::Waiting;
}

// After a cut-off echo only the board's reason may follow: "Error ..." or its prompt. Text
// that cannot begin either is the next line's echo: the cut was the wire's.
bool CannotBeAReason(const Text& partial) {
    Text got = Comparable(partial);
    if (got.empty()) return false;
    auto begins = [&](TextView word) { return StartsWith(got, word) || StartsWith(word, got); };
    return !begins(u"Error") && !begins(u"> ");
}

// True when `ch` belongs to an escape sequence and is to be skipped.
bool SkipEscape(EchoCheck& check, char16_t ch) {
    switch (check.EscapeState) {
        case kNoEscape:
            if (ch != kEsc) return false;
            check.EscapeState = kAfterEsc;
            return true;
        case kAfterEsc:
            check.EscapeState = ch == u'[' ? kInCsi : ch == u']' ? kInOsc : kNoEscape;
            return true;
        case kInCsi:
            if (ch >= 0x40 && ch <= 0x7E) check.EscapeState = kNoEscape;
            return true;
        case kInOsc:
            if (ch == kBel) check.EscapeState = kNoEscape;
            if (ch == kEsc) check.EscapeState = kOscAfterEsc;
            return true;
        default:  // the character after an ESC inside an OSC ends it
            check.EscapeState = kNoEscape;
            return true;
    }
}

}  // namespace

void ExpectEcho(EchoCheck& check, TextView line, long number) {
    check.Previous = check.Expected;
    check.PreviousLine = check.Line;
    check.PreviousUnechoed = check.Line != 0 && !check.Complete;
    check.Expected = Comparable(line);
    check.Line = number;
    check.EchoSeen = check.Complete = check.CutOff = false;
    check.Garbled.clear();
}

EchoVerdict FeedEcho(EchoCheck& check, TextView received) {
    EchoVerdict verdict = check.Complete ? EchoVerdict::Echoed : EchoVerdict::Waiting;
    for (char16_t ch : received) {
        if (SkipEscape(check, ch) || ch == u'\r') continue;
        if (ch != u'\n') {
            check.Received += ch;
            continue;
        }
        EchoVerdict v = TakeLine(check);
        if (v != EchoVerdict::Waiting && v != EchoVerdict::Echoed) return v;
        if (v == EchoVerdict::Echoed) verdict = v;
    }
    // The prompt has no line end after it.
    if (LooksLikePrompt(check, Comparable(check.Received))) {
        AddWords(check, check.Received);
        check.Received.clear();
        return EchoVerdict::Prompt;
    }
    if (check.CutOff && !check.Complete && CannotBeAReason(check.Received))
        return EchoVerdict::Garbled;
    return verdict;
}

EchoVerdict EndEchoWait(EchoCheck& check) {
    if (check.CutOff && !check.Complete) return EchoVerdict::Garbled;
    if (!check.Complete && ++check.Unechoed == 1) check.FirstUnechoed = check.Line;
    return EchoVerdict::Waiting;
}
