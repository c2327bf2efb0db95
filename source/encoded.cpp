// Encoded program files: the magic "QZHEX" and then the program text in the ANSI code page,
// enciphered. There is no length field and no checksum: the file size gives the length.
#include "source/encoded.h"

#include "app/pump.h"
#include "app/state.h"
#include "source/crunch.h"
#include "source/files.h"
#include "source/program.h"
#include "ui/log.h"
#include "ui/window.h"

namespace {

constexpr std::string_view kMagic = "QZHEX";

uint8_t* BytesOf(std::string& s) {
    return reinterpret_cast<uint8_t*>(s.data());
}

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

std::string EncodeProgramBytes(TextView text) {
    std::string body = AnsiFromText(text);
    KeystreamCipher(BytesOf(body), body.size(), App.EncodingPassPhrase, kEncodingCounter);
    return std::string(kMagic) + body;
}

Text DecodeProgramBytes(std::string_view fileBytes) {
    if (fileBytes.size() <= kMagic.size()) return Text();
    std::string body(fileBytes.substr(kMagic.size()));
    KeystreamCipher(BytesOf(body), body.size(), App.EncodingPassPhrase, kEncodingCounter);
    size_t zero = body.find('\0');
    if (zero != std::string::npos) body.resize(zero);
    return TextFromAnsi(body);
}

Text WithDefaultExtension(TextView path) {
    size_t nameStart = path.find_last_of(u"/\\");
    nameStart = nameStart == TextView::npos ? 0 : nameStart + 1;
    size_t dot = path.rfind(u'.');
    bool hasExtension = dot != TextView::npos && dot > nameStart && dot + 1 < path.size() &&
                        path.find_first_of(u" /\\", dot + 1) == TextView::npos;
    return hasExtension ? Text(path) : Text(path) + u".bae";
}

bool EncodeAndSave(TextView text) {
    Text plain(text);
    if (HasCrunchThis(plain)) {
        AppendLog(u"Crunching source code.");
        PumpEvents();
        plain = Crunch(TextToCrunch(plain));
    }
    std::string bytes = EncodeProgramBytes(plain);
    Text name = AskSaveFileName(u"Encoded file", u"Code (*.bae)|*.bae;*.txt|All files (*.*)|*.*",
                                App.ProgramFolder);
    if (name.empty()) return false;
    name = WithDefaultExtension(name);
    AppendLog(u"Saving to " + name);
    PumpEvents();
    // The job logs "Encoding completed." after this; without this line a file that could
    // not be written would look saved.
    if (!WriteWholeFile(name, bytes)) {
        AppendLog(u"File write failed!!");
        PumpEvents();
        return false;
    }
    return true;
}

Text DecodeEncodedFile() {
    std::optional<std::string> bytes = ReadWholeFile(App.ProgramPath);
    return bytes ? DecodeProgramBytes(*bytes) : Text();
}
