// Encoded program files: the magic "QZHEX" and then the program text in the ANSI code page,
// enciphered. There is no length field and no checksum: the file size gives the length.
#include "source/encoded.h"

#include "source/files.h"

namespace {

constexpr std::string_view kMagic = "QZHEX";

uint8_t* BytesOf(std::string& s) {
    return reinterpret_cast<uint8_t*>(s.data());
}

}  // namespace

std::string EncodeProgramBytes(TextView text) {
    std::string body = AnsiFromText(text);
    KeystreamCipher(BytesOf(body), body.size(), kEncodingPassPhrase, kEncodingCounter);
    return std::string(kMagic) + body;
}

Text DecodeProgramBytes(std::string_view fileBytes) {
    if (fileBytes.size() <= kMagic.size()) return Text();
    std::string body(fileBytes.substr(kMagic.size()));
    KeystreamCipher(BytesOf(body), body.size(), kEncodingPassPhrase, kEncodingCounter);
    size_t zero = body.find('\0');
    if (zero != std::string::npos) body.resize(zero);
    return TextFromAnsi(body);
}

Text EncodedFileName(TextView path) {
    return NamesDevice(path) ? Text(path) : WithDefaultExtension(path);
}

Text WithDefaultExtension(TextView path) {
    size_t nameStart = path.find_last_of(u"/\\");
    nameStart = nameStart == TextView::npos ? 0 : nameStart + 1;
    size_t dot = path.rfind(u'.');
    bool hasExtension = dot != TextView::npos && dot > nameStart && dot + 1 < path.size() &&
                        path.find_first_of(u" /\\", dot + 1) == TextView::npos;
    return hasExtension ? Text(path) : Text(path) + u".bae";
}
