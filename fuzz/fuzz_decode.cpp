// Any bytes as an encoded program file must decode without fault. The same bytes as program
// text must survive encoding and decoding: the text up to its first zero character comes
// back unchanged, and the file is the magic and one byte per character.
#include <cstdint>
#include <cstdlib>

#include "source/encoded.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Text decoded = DecodeProgramBytes(bytes);
    Require(decoded.size() <= (size > 5 ? size - 5 : 0));
    Require(decoded.find(u'\0') == Text::npos);

    Text text = TextFromAnsi(bytes);
    std::string file = EncodeProgramBytes(text);
    Require(file.size() == text.size() + 5 && file.compare(0, 5, "QZHEX") == 0);
    for (size_t i = 0; i < size; ++i)
        Require((file[5 + i] == '\0') == (data[i] == 0));
    Require(DecodeProgramBytes(file) == text.substr(0, text.find(u'\0')));
    return 0;
}
