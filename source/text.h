// Text as the program holds it: 16-bit Unicode strings, and the conversions to and from
// the bytes of files and of the serial line.
//
// The code-page conversion and the case mapping are the platform's (text_posix.cpp,
// text_win32.cpp); everything else here is portable.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

using Text = std::u16string;
using TextView = std::u16string_view;

// ---- Platform: the system's ANSI code page and locale-aware case mapping ----

// Bytes in the ANSI code page to text, one character per byte in single-byte code pages.
// On POSIX the code page is Windows-1252 with its five undefined bytes mapped to the
// matching C1 controls, so every byte round-trips unchanged.
Text TextFromAnsi(std::string_view bytes);
// Text to bytes in the ANSI code page; characters the code page lacks become its
// replacement character ('?').
std::string AnsiFromText(TextView text);
Text LowerText(TextView text);
Text UpperText(TextView text);

// ---- Portable helpers ----

Text TextFromUtf8(std::string_view utf8);
std::string Utf8FromText(TextView text);
// Plain ASCII literal to text, for messages built from std::string pieces.
Text TextFromAscii(std::string_view ascii);

// Removes leading and trailing blanks (code 32) only; tabs and everything else stay.
Text TrimBlanks(TextView text);
bool StartsWith(TextView text, TextView prefix);
bool Contains(TextView text, TextView part);
// Decimal text of a number, with a leading "-" when negative.
Text DecimalText(long long value);
// The leading decimal number of a text: leading blanks skipped, an optional sign, then digits
// up to the first other character; 0 when there are no digits. Saturates instead of overflowing.
long long LeadingNumber(TextView text);
// Every occurrence of one character replaced, or removed when `with` is 0.
Text ReplaceChar(TextView text, char16_t what, char16_t with);
// UTF-8 text made safe to print on a terminal: control characters other than CR, LF and TAB
// (C0, DEL and the C1 range) and bytes that are not UTF-8 are shown as "\xHH" or "\uHHHH",
// so that nothing printed can move the cursor, retitle the window or write the clipboard.
std::string VisibleControls(std::string_view utf8);
