#include "source/program.h"

#include "app/pump.h"
#include "app/state.h"
#include "source/files.h"
#include "ui/log.h"

// The file is opened for reading only: a read-only program file uploads like any other, a
// file that another program holds open for reading still reads, and a mistyped path never
// leaves an empty file behind.
Text ReadProgramFile(TextView path) {
    App.TextFromPaste = false;
    if (path.empty()) return Text();
    std::optional<std::string> bytes = ReadWholeFile(path);
    if (!bytes) {
        AppendLog(u"File read failed!!");
        PumpEvents();
        return Text();
    }
    return TextFromAnsi(*bytes);
}

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
