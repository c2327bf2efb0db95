#include "settings/ports.h"

bool IsUsbPort(const PortIdentity& port) {
    return !port.VendorId.empty();
}

bool LooksLikeBoard(const PortIdentity& port) {
    // The ids the boards' own USB serial firmware reports: the RP2040/RP2350 family, the
    // STM32 virtual COM port, and the PIC32's CDC port.
    Text id = LowerText(port.VendorId + u":" + port.ProductId);
    for (TextView known : {TextView(u"2e8a:"), TextView(u"0483:5740"), TextView(u"04d8:000a")})
        if (StartsWith(id, known)) return true;
    return false;
}

Text DescribePort(const PortIdentity& port) {
    Text line = port.Path;
    if (IsUsbPort(port)) {
        line += u"  " + port.VendorId + u":" + port.ProductId;
        if (!port.Maker.empty()) line += u" " + port.Maker;
        if (!port.Product.empty()) line += u" " + port.Product;
        if (!port.Serial.empty()) line += u" serial " + port.Serial;
    }
    if (!port.StableName.empty()) line += u"  " + port.StableName;
    if (LooksLikeBoard(port)) line += u"  (looks like a board)";
    if (port.SystemConsole) line += u"  (the system console)";
    return line;
}
