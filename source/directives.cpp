// The recognisers of the directive lines. Each works on a copy and compares the lowercased
// (for the editor marker, uppercased) text exactly, so that every caller recognises a
// directive the same way.
#include "source/program.h"

namespace {

// The lowercased first `count` characters (fewer when the text is shorter). Case mapping
// goes character by character, so mapping the prefix equals taking the prefix of the
// mapped whole, without copying a long line.
Text LowerPrefix(TextView text, size_t count) {
    return LowerText(text.substr(0, count));
}

}  // namespace

bool StartsWithEncodedMagic(TextView text) {
    return StartsWith(text, u"QZHEX");
}

// Works through the text by index so that many marker lines cost one pass, not one copy of
// the rest of the text per line.
Text StripEditorMarkers(TextView text) {
    size_t start = 0;
    for (;;) {
        size_t lf = text.find(u'\n', start);
        if (lf == TextView::npos) break;
        Text line = TrimBlanks(UpperText(text.substr(start, lf + 1 - start)));
        if (!StartsWith(line, u"'KELDAN!!!")) break;
        start = lf + 1;
    }
    return Text(text.substr(start));
}

bool IsEncodeRequest(TextView text) {
    return StartsWith(LowerText(TrimBlanks(FirstLine(text))), u"'encode");
}

bool IsOptionsFirstLine(TextView text) {
    return IsOnloadLine(TrimBlanks(ReplaceChar(FirstLine(text), u'\t', u' ')));
}

bool IsEchoLine(TextView trimmedLine) {
    return LowerPrefix(trimmedLine, 5) == u"'echo";
}

Text EchoLineText(TextView trimmedLine) {
    return trimmedLine.size() > 6 ? Text(trimmedLine.substr(6)) : Text();
}

bool IsTightOnloadLine(TextView trimmedLine) {
    return LowerPrefix(trimmedLine, 7) == u"'onload";
}

bool IsOnloadLine(TextView trimmedLine) {
    return IsTightOnloadLine(trimmedLine) || LowerPrefix(trimmedLine, 8) == u"' onload";
}

bool HasCrunchThis(TextView text) {
    Text head = LowerPrefix(text, 20);
    return Contains(head, u"'crunch this") || Contains(head, u"' crunch this");
}
