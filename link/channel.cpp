// The portable half of the serial channel: its two buffers and the decoding of what arrives.
#include <memory>

#include "link/serial.h"

namespace {

std::unique_ptr<uint8_t[]> receiveBuffer;
std::unique_ptr<uint8_t[]> transmitBuffer;

}  // namespace

void AllocateChannelBuffers() {
    // make_unique<T[]> value-initialises: the buffers start zero-filled.
    if (!receiveBuffer) receiveBuffer = std::make_unique<uint8_t[]>(kChannelBufferSize);
    if (!transmitBuffer) transmitBuffer = std::make_unique<uint8_t[]>(kChannelBufferSize);
}

void ReleaseChannelBuffers() {
    receiveBuffer.reset();
    transmitBuffer.reset();
}

// Both allocate on demand, so a caller that runs before start-up allocated them (a test,
// a tool) still gets a buffer rather than a null pointer.
uint8_t* ReceiveBuffer() {
    AllocateChannelBuffers();
    return receiveBuffer.get();
}

uint8_t* TransmitBuffer() {
    AllocateChannelBuffers();
    return transmitBuffer.get();
}

Text DecodeReceived(const uint8_t* bytes, int count) {
    if (count <= 0) return Text();
    std::string_view all(reinterpret_cast<const char*>(bytes), static_cast<size_t>(count));
    Text text;
    for (size_t start = 0;;) {
        size_t zero = all.find('\0', start);
        text += TextFromAnsi(all.substr(start, zero - start));
        if (zero == std::string_view::npos) return text;
        text += u"\\x00";
        start = zero + 1;
    }
}

Text ReadPendingInput() {
    int got = ReadAvailable(ReceiveBuffer(), kChannelBufferSize);
    return DecodeReceived(ReceiveBuffer(), got);
}
