// Crunching makes a program shorter without changing what it does: comments, blank lines and
// runs of blanks outside string literals go; every line that keeps content stays a line of
// its own. Each pass below is a single walk over its input, so a megabyte-long line costs no
// more than a megabyte of short ones.
#include "source/crunch.h"

#include "source/program.h"

namespace {

// Lines the line streaming still acts on must reach it unchanged.
bool IsKeptDirective(TextView trimmed) {
    return IsEchoLine(trimmed) || IsTightOnloadLine(trimmed);
}

// The position of the apostrophe that starts the comment: the first one with an even number
// of double quotes up to it (an odd count means it lies inside a literal). There is no
// escape inside literals, so quote parity alone decides. npos when there is no comment.
size_t CommentStart(TextView line) {
    bool insideLiteral = false;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == u'"')
            insideLiteral = !insideLiteral;
        else if (line[i] == u'\'' && !insideLiteral)
            return i;
    }
    return TextView::npos;
}

}  // namespace

Text CrunchLine(TextView line) {
    Text trimmed = TrimBlanks(line);
    if (IsKeptDirective(trimmed)) return trimmed;
    if (!trimmed.empty() && trimmed[0] == u'\'') return Text();
    size_t comment = CommentStart(trimmed);
    Text result =
        comment == TextView::npos ? trimmed : TrimBlanks(TextView(trimmed).substr(0, comment));
    if (Contains(result, u"  ")) result = CollapseBlanks(result);
    return result;
}

Text CollapseBlanks(TextView line) {
    Text out;
    out.reserve(line.size());
    bool insideLiteral = false;
    char16_t previous = 0;
    for (char16_t c : line) {
        if (c == u'"') insideLiteral = !insideLiteral;
        if (insideLiteral || c != u' ' || previous != u' ') out.push_back(c);
        previous = c;
    }
    return out;
}

Text Crunch(TextView text) {
    Text normalised = NormaliseLineEnds(text);
    TextView all(normalised);
    Text out;
    out.reserve(normalised.size() + normalised.size() / 8);
    size_t start = 0;
    for (size_t lf = all.find(u'\n'); lf != TextView::npos; lf = all.find(u'\n', start)) {
        Text line = CrunchLine(all.substr(start, lf - start));
        if (!line.empty()) {
            out += line;
            out += u"\r\n";
        }
        start = lf + 1;
    }
    return out;
}
