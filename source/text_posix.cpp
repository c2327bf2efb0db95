// The ANSI code page on POSIX: Windows-1252, the code page that boards' program files are
// written in on the PCs this tool came from. Its five undefined bytes (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) map to the C1 controls of the same value so that every byte of a file or of
// the serial line survives a round trip through text unchanged.
#include "source/text.h"

namespace {

const char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                            0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t CharFromByte(unsigned char b) {
    if (b >= 0x80 && b < 0xA0) return kHigh[b - 0x80];
    return b;
}

// -1 when the code page has no byte for the character.
int ByteFromChar(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == c) return 0x80 + i;
    return -1;
}

}  // namespace

Text TextFromAnsi(std::string_view bytes) {
    Text out(bytes.size(), u'\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        out[i] = CharFromByte(static_cast<unsigned char>(bytes[i]));
    return out;
}

std::string AnsiFromText(TextView text) {
    std::string out(text.size(), '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        int b = ByteFromChar(text[i]);
        out[i] = static_cast<char>(b < 0 ? '?' : b);
    }
    return out;
}

// Case mapping that is right for ASCII, Latin-1 and the Windows-1252 extras; other
// characters are left as they are, which is what the directive tests need (they compare
// with ASCII words only).
namespace {

char16_t Lower(char16_t c) {
    if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;
    switch (c) {
        case 0x0160:
            return 0x0161;
        case 0x0152:
            return 0x0153;
        case 0x017D:
            return 0x017E;
        case 0x0178:
            return 0x00FF;
        default:
            return c;
    }
}

char16_t Upper(char16_t c) {
    if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 32;
    switch (c) {
        case 0x0161:
            return 0x0160;
        case 0x0153:
            return 0x0152;
        case 0x017E:
            return 0x017D;
        case 0x00FF:
            return 0x0178;
        default:
            return c;
    }
}

}  // namespace

Text LowerText(TextView text) {
    Text out(text);
    for (auto& c : out)
        c = Lower(c);
    return out;
}

Text UpperText(TextView text) {
    Text out(text);
    for (auto& c : out)
        c = Upper(c);
    return out;
}
