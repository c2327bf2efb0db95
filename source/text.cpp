#include "source/text.h"

#include <limits>

Text TextFromUtf8(std::string_view s) {
    Text out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        char32_t cp = 0xFFFD;
        size_t len = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0 && i + 1 < s.size()) {
            cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(s[i + 1]) & 0x3Fu);
            len = 2;
        } else if ((c & 0xF0) == 0xE0 && i + 2 < s.size()) {
            cp = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(s[i + 1]) & 0x3Fu) << 6) |
                 (static_cast<unsigned char>(s[i + 2]) & 0x3Fu);
            len = 3;
        } else if ((c & 0xF8) == 0xF0 && i + 3 < s.size()) {
            cp = ((c & 0x07u) << 18) | ((static_cast<unsigned char>(s[i + 1]) & 0x3Fu) << 12) |
                 ((static_cast<unsigned char>(s[i + 2]) & 0x3Fu) << 6) |
                 (static_cast<unsigned char>(s[i + 3]) & 0x3Fu);
            len = 4;
        }
        // Continuation bytes must really be continuation bytes; otherwise take one byte as
        // a replacement character and resynchronise on the next.
        for (size_t k = 1; k < len; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) {
                cp = 0xFFFD;
                len = 1;
                break;
            }
        }
        if (cp > 0x10FFFF) cp = 0xFFFD;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}

std::string Utf8FromText(TextView t) {
    std::string out;
    out.reserve(t.size());
    for (size_t i = 0; i < t.size(); ++i) {
        char32_t cp = t[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < t.size() && t[i + 1] >= 0xDC00 &&
            t[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (t[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp < 0xE000) {
            cp = 0xFFFD;  // a lone surrogate has no UTF-8 form
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

Text TextFromAscii(std::string_view ascii) {
    return Text(ascii.begin(), ascii.end());
}

Text TrimBlanks(TextView t) {
    size_t b = 0, e = t.size();
    while (b < e && t[b] == u' ')
        ++b;
    while (e > b && t[e - 1] == u' ')
        --e;
    return Text(t.substr(b, e - b));
}

bool StartsWith(TextView t, TextView p) {
    return t.substr(0, p.size()) == p;
}

bool Contains(TextView t, TextView p) {
    return t.find(p) != TextView::npos;
}

Text DecimalText(long long v) {
    return TextFromAscii(std::to_string(v));
}

long long LeadingNumber(TextView t) {
    size_t i = 0;
    while (i < t.size() && (t[i] == u' ' || t[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) negative = t[i++] == u'-';
    long long v = 0;
    const long long limit = std::numeric_limits<long long>::max() / 10 - 1;
    for (; i < t.size() && t[i] >= u'0' && t[i] <= u'9'; ++i) {
        if (v > limit)
            return negative ? std::numeric_limits<long long>::min()
                            : std::numeric_limits<long long>::max();
        v = v * 10 + (t[i] - u'0');
    }
    return negative ? -v : v;
}

Text ReplaceChar(TextView t, char16_t what, char16_t with) {
    Text out;
    out.reserve(t.size());
    for (char16_t c : t) {
        if (c != what)
            out.push_back(c);
        else if (with != 0)
            out.push_back(with);
    }
    return out;
}

std::string VisibleControls(std::string_view s) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(s.size());
    auto escapeByte = [&](unsigned char c) {
        out += "\\x";
        out += hex[c >> 4];
        out += hex[c & 15];
    };
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            if ((c < 0x20 && c != '\r' && c != '\n' && c != '\t') || c == 0x7F)
                escapeByte(c);
            else
                out += static_cast<char>(c);
            ++i;
            continue;
        }
        // C0 and C1 lead only overlong forms (C0 9B would spell ESC); F5 and up lead nothing.
        size_t len = c < 0xC2 ? 0 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : c < 0xF5 ? 4 : 0;
        bool whole = len > 0 && i + len <= s.size();
        for (size_t k = 1; whole && k < len; ++k)
            whole = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
        if (!whole) {
            escapeByte(c);
            ++i;
            continue;
        }
        // The C1 controls U+0080..U+009F are C2 80..C2 9F in UTF-8.
        unsigned char next = static_cast<unsigned char>(s[i + 1]);
        if (c == 0xC2 && next < 0xA0) {
            out += "\\u00";
            out += hex[next >> 4];
            out += hex[next & 15];
        } else {
            out.append(s.substr(i, len));
        }
        i += len;
    }
    return out;
}
