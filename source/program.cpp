#include "source/program.h"

Text FirstLine(TextView text) {
    size_t lf = text.find(u'\n');
    return lf == TextView::npos ? Text() : Text(text.substr(0, lf));
}

Text DropFirstLine(TextView text) {
    size_t lf = text.find(u'\n');
    return lf == TextView::npos ? Text(text) : Text(text.substr(lf + 1));
}

namespace {

// True when the CR at `at` is one of a run of CRs that an LF follows (CR LF, or the CR CR LF
// of a file converted twice): together they end one line.
bool CrBeforeLf(TextView text, size_t at) {
    size_t end = text.find_first_not_of(u'\r', at);
    return end != TextView::npos && text[end] == u'\n';
}

}  // namespace

Text NormaliseLineEnds(TextView text) {
    Text out;
    out.reserve(text.size() + 1);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'\r')
            out.push_back(text[i]);
        else if (!CrBeforeLf(text, i))
            out.push_back(u'\n');
    }
    if (out.empty() || out.back() != u'\n') out.push_back(u'\n');
    return out;
}

Text LoneCrsAsLineEnds(TextView text) {
    Text out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        out.push_back(text[i]);
        if (text[i] == u'\r' && !CrBeforeLf(text, i)) out.push_back(u'\n');
    }
    return out;
}

std::vector<Text> WalkLines(TextView text) {
    Text normalised = NormaliseLineEnds(text);
    std::vector<Text> lines;
    size_t start = 0;
    for (size_t lf = normalised.find(u'\n'); lf != Text::npos; lf = normalised.find(u'\n', start)) {
        lines.emplace_back(normalised, start, lf - start);
        start = lf + 1;
    }
    return lines;
}
