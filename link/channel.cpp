// The portable half of the serial channel: its two buffers, the decoding of what arrives,
// and the two procedures that open a port on the user's behalf (connect, firmware reset).
#include <memory>

#include "app/state.h"
#include "link/clock.h"
#include "link/serial.h"
#include "ui/controls.h"
#include "ui/log.h"

namespace {

std::unique_ptr<uint8_t[]> receiveBuffer;
std::unique_ptr<uint8_t[]> transmitBuffer;

const Text kSetPortHint = u"Set port number then run 'Program'";

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
    int length = 0;
    while (length < count && bytes[length] != 0)
        ++length;
    return TextFromAnsi(std::string_view(reinterpret_cast<const char*>(bytes), length));
}

Text ReadPendingInput() {
    int got = ReadAvailable(ReceiveBuffer(), kChannelBufferSize);
    return DecodeReceived(ReceiveBuffer(), got);
}

bool ConnectBoard() {
    if (App.Comport == u"not set") {
        AppendLog(kSetPortHint);
        ShowButton(ControlId::ProgramButton, true);
        App.ProgramButtonHidden = false;
        return false;
    }
    if (IsPortOpen()) return true;
    if (OpenPort(App.Comport, LeadingNumber(App.SerialSpeed))) {
        AppendLog(u"Connected to " + App.Device + u" at " + App.SerialSpeed);
        ShowButton(ControlId::ProgramButton, false);
        App.ProgramButtonHidden = true;
        return true;
    }
    AppendLog(App.BoardFamily + u" Not found!");
    AppendLog(kSetPortHint);
    ShowButton(ControlId::ProgramButton, true);
    App.ProgramButtonHidden = false;
    return false;
}

void FirmwareReset() {
    if (App.PicoPort == u"not set") {
        AppendLog(kSetPortHint);
        ShowButton(ControlId::SecondProgramButton, true);
        return;
    }
    if (!OpenPort(App.PicoPort, 115200)) return;
    // The board watches for its port being set to 1200 baud and then reboots into its
    // drive mode; the port stays open at 1200 until the next close or open.
    ClosePort();
    DelayMs(500);
    OpenPort(App.PicoPort, 1200);
    App.FirmwarePending = true;
}
