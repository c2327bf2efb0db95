#include "app/options.h"

#include <iterator>

#include "app/profiles.h"
#include "app/pump.h"
#include "app/state.h"
#include "settings/ports.h"
#include "source/crunch.h"
#include "source/files.h"
#include "ui/controls.h"
#include "ui/log.h"

namespace {

// The target file name when the options name none, and for the device-type box.
const Text kDefaultTargetName = u"temp.bas";

// The options text holds the target name just behind " file/" (or " file\"), up to the next
// space; "temp.bas" when there is none.
Text TargetNameFrom(const Text& options) {
    size_t at = options.find(u" file/");
    if (at == Text::npos) at = options.find(u" file\\");
    if (at == Text::npos) return kDefaultTargetName;
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

bool commandLinePort = false;
bool commandLineBaud = false;

// An options line's "comN[:BAUD]": what the command line named wins, and a port this
// machine does not have (a settings file from another machine) leaves the chosen one.
void TakePortWord(const Text& word) {
    size_t colon = word.find(u':');
    Text port = word.substr(0, colon);
    Text baud = colon == Text::npos ? Text() : word.substr(colon + 1);
    if (commandLinePort) {
        AppendLog(u"Options line port " + port + u" ignored: the command line chose " +
                  App.Comport);
        port = App.Comport;
    } else if (!PortNamePresent(port) && PortNamePresent(App.Comport)) {
        AppendLog(u"Options line port " + port + u" is not on this machine; using " + App.Comport);
        port = App.Comport;
    }
    if (commandLineBaud && colon != Text::npos) {
        AppendLog(u"Options line baud rate " + baud + u" ignored: the command line chose " +
                  App.SerialSpeed);
        baud = App.SerialSpeed;
    }
    if (colon == Text::npos && port == App.Comport) return;  // nothing of the word is used
    SetPortAndBaud(colon == Text::npos ? port : port + u":" + baud);
}

}  // namespace

void UseProfile(const DeviceProfile& profile, bool fromOptionsLine) {
    App.StartCommand = Text(profile.StartCommand);
    if (profile.NamesTarget) App.StartCommand += u" \"" + App.TargetName + u"\"";
    bool run = fromOptionsLine && !App.NoRun && !profile.RunEndSequence.empty();
    App.EndSequence = Text(run ? profile.RunEndSequence : profile.EndSequence);
    App.ConfirmsSave = profile.ConfirmsSave;
    if (profile.NoRun) App.NoRun = true;
    if (profile.NoNew) App.NoNew = true;
}

void ApplyDeviceProfile() {
    for (const DeviceProfile& profile : kDeviceProfiles) {
        if (App.Device != profile.Name) continue;
        if (profile.NamesTarget) App.TargetName = kDefaultTargetName;
        UseProfile(profile, false);
    }
    App.SerialSpeed = BoxText(Window.BaudBox);
    App.Comport = BoxText(Window.PortBox);
}

Text ApplyOptionsLine(TextView programText) {
    Text text(programText);
    size_t lf = text.find(u'\n');
    Text options = lf == Text::npos ? Text() : text.substr(0, lf + 1);
    options = ReplaceChar(ReplaceChar(LowerText(options), u'\r', 0), u'\n', 0) + u" ";

    if (Contains(options, u" crunch")) text = Crunch(text);
    if (Contains(options, u" settime")) App.SetTime = true;
    if (Contains(options, u" setrtc")) App.SetRtc = true;
    if (Contains(options, u" norun")) App.NoRun = true;
    App.TargetName = TargetNameFrom(options);
    // "*" names the uploaded file itself, spelled as in its path, not as lowercased here.
    if (App.TargetName == u"*") App.TargetName = FileNameOfPath(App.ProgramPath);
    // A line that names several devices applies them in their word order; the last wins.
    for (int order = 1; order <= static_cast<int>(std::size(kDeviceProfiles)); ++order)
        for (const DeviceProfile& profile : kDeviceProfiles)
            if (profile.WordOrder == order && Contains(options, u" " + Text(profile.Name)))
                UseProfile(profile, true);
    if (Contains(options, u" nonew")) App.NoNew = true;
    if (Contains(options, u" fast")) App.Fast = true;
    if (Contains(options, u" xmodem")) App.ViaXmodem = true;
    size_t port = PortWordAt(options);
    if (port != Text::npos) {
        size_t end = options.find(u' ', port + 1);
        TakePortWord(options.substr(port + 1, end - port - 1));
    }
    return text;
}

void KeepCommandLinePort(bool port, bool baud) {
    commandLinePort = port;
    commandLineBaud = baud;
}

void SetPortAndBaud(TextView portAndBaud) {
    size_t first = portAndBaud.find(u':');
    Text port = TrimBlanks(portAndBaud.substr(0, first));
    Text baud;
    if (first != TextView::npos) {
        size_t second = portAndBaud.find(u':', first + 1);
        baud = TrimBlanks(portAndBaud.substr(
            first + 1, second == TextView::npos ? TextView::npos : second - first - 1));
    }
    App.SerialSpeed = baud;
    App.Comport = port;
    SelectBoxText(ControlId::BaudBox, baud);
    SelectBoxText(ControlId::PortBox, port);
    PumpEvents();
}
