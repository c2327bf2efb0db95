// The portable half of the serial channel: the decoding of what arrives and the reads and
// writes every port does alike.
#include "link/link.h"
#include "link/serial.h"

int WriteByte(SerialPort& port, int value) {
    if (!port.IsOpen()) return -1;
    if (value < 1) return 0;
    uint8_t byte = static_cast<uint8_t>(value & 0xFF);
    return port.WriteBytes(&byte, 1);
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

Text ReadPendingInput(Link& link) {
    int got = link.Port.ReadAvailable(link.ReceiveBuffer.data(), kChannelBufferSize);
    return DecodeReceived(link.ReceiveBuffer.data(), got);
}
