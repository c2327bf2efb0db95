#include "app/options.h"

#include <iterator>

#include "app/profiles.h"
#include "app/pump.h"
#include "app/session.h"
#include "settings/ports.h"
#include "source/crunch.h"
#include "source/files.h"
#include "ui/controls.h"
#include "ui/log.h"

namespace {

// The target file name when the options name none, and for the device-type box.
constexpr char16_t kDefaultTargetName[] = u"temp.bas";

// The options text holds the target name just behind " file/" (or " file\"), up to the next
// space; "temp.bas" when there is none.
Text TargetNameFrom(const Text& options) {
    size_t at = options.find(u" file/");
    if (at == Text::npos) at = options.find(u" file\\");
    if (at == Text::npos) return Text(kDefaultTargetName);
    size_t begin = at + 6;
    size_t end = options.find(u' ', begin);
    return options.substr(begin, end - begin);
}

// The port word: " com" followed by a digit, so that " command" never names a port.
size_t PortWordAt(const Text& options) {
    for (size_t at = options.find(u" com"); at != Text::npos; at = options.find(u" com", at + 1)) {
        size_t next = at + 4;
        if (next < options.size() && options[next] >= u'0' && options[next] <= u'9') return at;
    }
    return Text::npos;
}

// An options line's "comN[:BAUD]": what the command line named wins, and a port this
// machine does not have (a settings file from another machine) leaves the chosen one.
void TakePortWord(Session& s, const Text& word) {
    size_t colon = word.find(u':');
    Text port = word.substr(0, colon);
    Text baud = colon == Text::npos ? Text() : word.substr(colon + 1);
    if (s.CommandLinePort) {
        AppendLog(
            s, u"Options line port " + port + u" ignored: the command line chose " + s.App.Comport);
        port = s.App.Comport;
    } else if (!PortNamePresent(port) && PortNamePresent(s.App.Comport)) {
        AppendLog(
            s, u"Options line port " + port + u" is not on this machine; using " + s.App.Comport);
        port = s.App.Comport;
    }
    if (s.CommandLineBaud && colon != Text::npos) {
        AppendLog(s, u"Options line baud rate " + baud + u" ignored: the command line chose " +
                         s.App.SerialSpeed);
        baud = s.App.SerialSpeed;
    }
    if (colon == Text::npos && port == s.App.Comport) return;  // nothing of the word is used
    SetPortAndBaud(s, colon == Text::npos ? port : port + u":" + baud);
}

}  // namespace

bool HasOptionWord(TextView options, TextView word) {
    const Text lower = LowerText(options);
    auto isBreak = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
    for (size_t at = lower.find(word); at != Text::npos; at = lower.find(word, at + 1)) {
        size_t end = at + word.size();
        if ((at == 0 || isBreak(lower[at - 1])) && (end == lower.size() || isBreak(lower[end])))
            return true;
    }
    return false;
}

void UseProfile(Session& s, const DeviceProfile& profile, bool fromOptionsLine) {
    s.App.StartCommand = Text(profile.StartCommand);
    if (profile.NamesTarget) s.App.StartCommand += u" \"" + s.App.TargetName + u"\"";
    bool run = fromOptionsLine && !s.App.NoRun && !profile.RunEndSequence.empty();
    s.App.EndSequence = Text(run ? profile.RunEndSequence : profile.EndSequence);
    s.App.ConfirmsSave = profile.ConfirmsSave;
    s.App.Entry = profile.Entry;
    if (profile.NoRun) s.App.NoRun = true;
    if (profile.NoNew) s.App.NoNew = true;
}

void ApplyDeviceProfile(Session& s) {
    for (const DeviceProfile& profile : kDeviceProfiles) {
        if (s.App.Device != profile.Name) continue;
        if (profile.NamesTarget) s.App.TargetName = Text(kDefaultTargetName);
        UseProfile(s, profile, false);
    }
    s.App.SerialSpeed = BoxText(s.Window.BaudBox);
    s.App.Comport = BoxText(s.Window.PortBox);
}

Text ApplyOptionsLine(Session& s, TextView programText) {
    Text text(programText);
    size_t lf = text.find(u'\n');
    Text options = lf == Text::npos ? Text() : text.substr(0, lf + 1);
    options = ReplaceChar(ReplaceChar(LowerText(options), u'\r', 0), u'\n', 0) + u" ";

    if (HasOptionWord(options, u"crunch")) text = Crunch(text);
    if (HasOptionWord(options, u"settime")) s.App.SetTime = true;
    if (HasOptionWord(options, u"setrtc")) s.App.SetRtc = true;
    if (HasOptionWord(options, u"norun")) s.App.NoRun = true;
    s.App.TargetName = TargetNameFrom(options);
    // "*" names the uploaded file itself, spelled as in its path, not as lowercased here.
    if (s.App.TargetName == u"*") s.App.TargetName = FileNameOfPath(s.App.ProgramPath);
    // A line that names several devices applies them in their word order; the last wins.
    for (int order = 1; order <= static_cast<int>(std::size(kDeviceProfiles)); ++order)
        for (const DeviceProfile& profile : kDeviceProfiles)
            if (profile.WordOrder == order && HasOptionWord(options, profile.Name))
                UseProfile(s, profile, true);
    if (HasOptionWord(options, u"nonew")) s.App.NoNew = true;
    if (HasOptionWord(options, u"fast")) s.App.Fast = true;
    if (HasOptionWord(options, u"xmodem")) s.App.ViaXmodem = true;
    size_t port = PortWordAt(options);
    if (port != Text::npos) {
        size_t end = options.find(u' ', port + 1);
        TakePortWord(s, options.substr(port + 1, end - port - 1));
    }
    return text;
}

void KeepCommandLinePort(Session& s, bool port, bool baud) {
    s.CommandLinePort = port;
    s.CommandLineBaud = baud;
}

void SetPortAndBaud(Session& s, TextView portAndBaud) {
    size_t first = portAndBaud.find(u':');
    Text port = TrimBlanks(portAndBaud.substr(0, first));
    Text baud;
    if (first != TextView::npos) {
        size_t second = portAndBaud.find(u':', first + 1);
        baud = TrimBlanks(portAndBaud.substr(
            first + 1, second == TextView::npos ? TextView::npos : second - first - 1));
    }
    s.App.SerialSpeed = baud;
    s.App.Comport = port;
    SelectBoxText(s, ControlId::BaudBox, baud);
    SelectBoxText(s, ControlId::PortBox, port);
    PumpEvents(s);
}
