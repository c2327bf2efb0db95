#include "source/firmware.h"

#include <cstdint>
#include <optional>
#include <string>

#include "source/files.h"

namespace {

constexpr size_t kUf2BlockSize = 512;
constexpr uint32_t kUf2MagicStart0 = 0x0A324655;
constexpr uint32_t kUf2MagicStart1 = 0x9E5D5157;
constexpr uint32_t kUf2MagicEnd = 0x0AB16F30;

uint32_t LittleEndianAt(std::string_view bytes, size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i)
        v |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return v;
}

}  // namespace

size_t FirstNonUf2Block(std::string_view bytes) {
    size_t blocks = (bytes.size() + kUf2BlockSize - 1) / kUf2BlockSize;
    if (blocks == 0) return 1;
    for (size_t n = 0; n < blocks; ++n) {
        size_t at = n * kUf2BlockSize;
        if (bytes.size() - at < kUf2BlockSize || LittleEndianAt(bytes, at) != kUf2MagicStart0 ||
            LittleEndianAt(bytes, at + 4) != kUf2MagicStart1 ||
            LittleEndianAt(bytes, at + kUf2BlockSize - 4) != kUf2MagicEnd)
            return n + 1;
    }
    return 0;
}

Text FirmwareFileProblem(TextView path) {
    if (!FileExists(path)) return Text(path) + u" does not exist.";
    std::optional<std::string> bytes = ReadWholeFile(path);
    if (!bytes) {
        Text why = ReadRefusal(path);
        return why.empty() ? Text(path) + u" cannot be read." : why;
    }
    size_t bad = FirstNonUf2Block(*bytes);
    if (bad == 0) return Text();
    return Text(path) + u" is not a UF2 file (block " + DecimalText(static_cast<long long>(bad)) +
           (bytes->empty() ? Text(u" missing: it is empty).") : Text(u" lacks the UF2 marks)."));
}
