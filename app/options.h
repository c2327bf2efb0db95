// Device profiles and the options line: the two ways an upload's behaviour is chosen.
#pragma once

#include "app/profiles.h"
#include "source/text.h"

struct Session;

// True when the options text holds `word` as a whole word (any letter case; words are
// separated by blanks, TABs and line ends): " fast" is a word of "'onload fast", not of
// "'onload faster".
bool HasOptionWord(TextView options, TextView word);

// Applies the profile row of `App.Device` (exact match; no match changes nothing), then
// takes `SerialSpeed` and `Comport` from the baud-rate and port boxes.
void ApplyDeviceProfile(Session& s);
// Sets the start command and end sequence of `profile`, and NoRun and NoNew where the row
// sets them (a row never clears them). From an options line, a row's RunEndSequence is
// taken when "norun" was not given.
void UseProfile(Session& s, const DeviceProfile& profile, bool fromOptionsLine);
// Applies the options of the first line of `programText`; returns the text, crunched when
// the line says " crunch".
Text ApplyOptionsLine(Session& s, TextView programText);
// The port and the rate the user named on the command line; an options line's port word
// then leaves them as they are, and the log says what it ignored.
void KeepCommandLinePort(Session& s, bool port, bool baud);
// PORT:BAUD into `Comport`, `SerialSpeed` and their boxes, then the event pump.
void SetPortAndBaud(Session& s, TextView portAndBaud);
