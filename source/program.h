// Program text: the line model every line-by-line walk uses, and the recognisers of the
// directive lines through which a program steers the tool.
#pragma once

#include <vector>

#include "source/text.h"

// The characters before the first LF (a CR before it stays); empty when there is no LF.
Text FirstLine(TextView text);
// Everything after the first LF; the text unchanged when it has no LF.
Text DropFirstLine(TextView text);
// The text with LF line ends: CR LF (also CR CR LF) and a lone CR each become LF, and one
// LF is appended when it does not end in one; its lines are the runs between LFs (an empty
// text is one empty line).
Text NormaliseLineEnds(TextView text);
// The text with each lone CR (no LF after it or its run of CRs) made CR LF; the rest is
// untouched.
Text LoneCrsAsLineEnds(TextView text);
// The lines of the line model, without their LFs.
std::vector<Text> WalkLines(TextView text);

// "QZHEX" as the first five characters, case-sensitive.
bool StartsWithEncodedMagic(TextView text);
// Removes every leading "'KELDAN!!!" marker line (any letter case, blanks around it).
Text StripEditorMarkers(TextView text);
// The first line, trimmed and lowercased, starts with "'encode".
bool IsEncodeRequest(TextView text);
// The first line, tabs made blanks, trimmed and lowercased, starts with "'onload" or
// "' onload".
bool IsOptionsFirstLine(TextView text);
// For one streamed line, already trimmed: "'echo" as its first five characters (any case).
bool IsEchoLine(TextView trimmedLine);
// The part of an echo line that is logged: from its 7th character on.
Text EchoLineText(TextView trimmedLine);
// For one streamed line, already trimmed: "'onload" as its first seven characters or
// "' onload" as its first eight (any case). Such a line is never sent.
bool IsOnloadLine(TextView trimmedLine);
// The "'onload" form alone, with no blank after the apostrophe: the one the crunch keeps (it
// removes "' onload" with the other comments).
bool IsTightOnloadLine(TextView trimmedLine);
// "'crunch this" or "' crunch this" within the first 20 characters (any case).
bool HasCrunchThis(TextView text);
