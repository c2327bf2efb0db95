// The firmware copy on Windows: CopyFileW, which also carries the file's attributes and
// lets the drive's file system see one whole write, as the board's drive expects.
#include <windows.h>

#include <string>

#include "settings/ports.h"

Text CopyFirmwareFile(TextView from, TextView to) {
    std::wstring source(from.begin(), from.end()), target(to.begin(), to.end());
    if (CopyFileW(source.c_str(), target.c_str(), FALSE)) return Text();
    DWORD error = GetLastError();
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    Text reason;
    if (length > 0 && buffer) reason.assign(buffer, buffer + length);
    if (buffer) LocalFree(buffer);
    while (!reason.empty() && (reason.back() == u'\n' || reason.back() == u'\r' ||
                               reason.back() == u' ' || reason.back() == u'.'))
        reason.pop_back();
    return reason.empty() ? u"error " + DecimalText(static_cast<long long>(error)) : reason;
}
