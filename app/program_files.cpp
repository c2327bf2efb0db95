#include "app/program_files.h"

#include "app/pump.h"
#include "app/session.h"
#include "source/crunch.h"
#include "source/encoded.h"
#include "source/files.h"
#include "source/program.h"
#include "ui/log.h"

// The file is opened for reading only: a read-only program file uploads like any other, a
// file that another program holds open for reading still reads, and a mistyped path never
// leaves an empty file behind.
Text ReadProgramFile(Session& s, TextView path, bool* readFailed) {
    s.App.TextFromPaste = false;
    if (readFailed) *readFailed = false;
    if (path.empty()) return Text();
    std::optional<std::string> bytes = ReadWholeFile(path);
    if (!bytes) {
        if (readFailed) *readFailed = true;
        AppendLog(s, u"File read failed!!");
        if (Text why = ReadRefusal(path); !why.empty()) AppendLog(s, why);
        PumpEvents(s);
        return Text();
    }
    return TextFromAnsi(*bytes);
}

namespace {

// A "'crunch this" directive is a comment line of its own at the top of the text; dropping
// that line is only safe when it is one. When the first line is code (the directive stands
// on the next line, or after the code as a trailing comment), it stays: the crunch removes
// the directive comment anyway, and dropping the line would lose that code.
Text TextToCrunch(TextView text) {
    Text first = FirstLine(text);
    size_t lead = first.find_first_not_of(u" \t");
    bool firstIsComment = lead != Text::npos && first[lead] == u'\'';
    return firstIsComment ? DropFirstLine(text) : Text(text);
}

}  // namespace

bool EncodeAndSave(Session& s, TextView text) {
    Text plain(text);
    if (HasCrunchThis(plain)) {
        AppendLog(s, u"Crunching source code.");
        PumpEvents(s);
        plain = Crunch(TextToCrunch(plain));
    }
    std::string bytes = EncodeProgramBytes(plain);
    Text name = s.Front.AskSaveFileName(
        u"Encoded file", u"Code (*.bae)|*.bae;*.txt|All files (*.*)|*.*", s.App.ProgramFolder);
    if (name.empty()) return false;
    name = EncodedFileName(name);
    AppendLog(s, u"Saving to " + name);
    PumpEvents(s);
    // A device (/dev/stdout) takes the bytes as they are; a file is replaced whole or not at
    // all. The job logs "Encoding completed." after this; without this line a file that
    // could not be written would look saved.
    bool written =
        NamesDevice(name) ? WriteWholeFile(name, bytes) : ReplaceFileAtomically(name, bytes);
    if (!written) {
        AppendLog(s, u"File write failed!!");
        PumpEvents(s);
        return false;
    }
    return true;
}

Text DecodeEncodedFile(const Session& s) {
    std::optional<std::string> bytes = ReadWholeFile(s.App.ProgramPath);
    return bytes ? DecodeProgramBytes(*bytes) : Text();
}
