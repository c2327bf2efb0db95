#include "source/program.h"

Text FirstLine(TextView text) {
    size_t lf = text.find(u'\n');
    return lf == TextView::npos ? Text() : Text(text.substr(0, lf));
}

Text DropFirstLine(TextView text) {
    size_t lf = text.find(u'\n');
    return lf == TextView::npos ? Text(text) : Text(text.substr(lf + 1));
}

Text NormaliseLineEnds(TextView text) {
    Text out = ReplaceChar(text, u'\r', 0);
    if (out.empty() || out.back() != u'\n') out.push_back(u'\n');
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
