// Program text of any bytes through the line model, the directive recognisers and the
// crunch. Besides not crashing, the crunch must keep its promises: CR LF after every line,
// no empty line, no blank at either end of a line, and a crunched text crunches to itself.
#include <cstdint>
#include <cstdlib>

#include "source/crunch.h"
#include "source/program.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

void CheckCrunched(const Text& crunched) {
    size_t start = 0;
    while (start < crunched.size()) {
        size_t lf = crunched.find(u'\n', start);
        Require(lf != Text::npos && lf > start + 1 && crunched[lf - 1] == u'\r');
        TextView line(crunched.data() + start, lf - 1 - start);
        Require(line.find(u'\r') == TextView::npos);
        Require(line.front() != u' ' && line.back() != u' ');
        start = lf + 1;
    }
    Require(Crunch(crunched) == crunched);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Text text = TextFromAnsi(std::string_view(reinterpret_cast<const char*>(data), size));

    std::vector<Text> lines = WalkLines(text);
    Text normalised = NormaliseLineEnds(text);
    size_t lineFeeds = 0;
    for (char16_t c : normalised)
        lineFeeds += c == u'\n';
    Require(lines.size() == lineFeeds);
    Require(FirstLine(text).size() + DropFirstLine(text).size() + 1 == text.size() ||
            FirstLine(text).empty());

    Text stripped = StripEditorMarkers(text);
    Require(stripped.size() <= text.size());
    (void)IsEncodeRequest(text);
    (void)IsOptionsFirstLine(text);
    (void)HasCrunchThis(text);
    for (const Text& line : lines) {
        Text trimmed = TrimBlanks(line);
        if (IsEchoLine(trimmed)) (void)EchoLineText(trimmed);
        (void)IsOnloadLine(trimmed);
    }

    CheckCrunched(Crunch(text));
    return 0;
}
