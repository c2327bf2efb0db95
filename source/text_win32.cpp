// The ANSI code page on Windows is the system's own (CP_ACP), so program files written with
// the PC's editors read back as the user sees them there. Case mapping follows the user's
// locale (CharLowerBuffW / CharUpperBuffW).
#include <windows.h>

#include <string>

#include "source/system_message_win32.h"
#include "source/text.h"

namespace {

std::wstring WideOf(TextView text) {
    return std::wstring(text.begin(), text.end());
}

Text TextOf(const std::wstring& wide) {
    return Text(wide.begin(), wide.end());
}

}  // namespace

Text TextFromAnsi(std::string_view bytes) {
    if (bytes.empty()) return Text();
    int length =
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (length <= 0) return Text();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(),
                        length);
    return TextOf(wide);
}

std::string AnsiFromText(TextView text) {
    if (text.empty()) return std::string();
    std::wstring wide = WideOf(text);
    // With no default character given, the code page's own replacement character ("?" in
    // the usual ones) stands for what it lacks.
    int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                     0, nullptr, nullptr);
    if (length <= 0) return std::string();
    std::string bytes(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(), length,
                        nullptr, nullptr);
    return bytes;
}

Text LowerText(TextView text) {
    std::wstring wide = WideOf(text);
    if (!wide.empty()) CharLowerBuffW(wide.data(), static_cast<DWORD>(wide.size()));
    return TextOf(wide);
}

Text UpperText(TextView text) {
    std::wstring wide = WideOf(text);
    if (!wide.empty()) CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
    return TextOf(wide);
}

Text SystemMessage(unsigned long error) {
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    Text message;
    if (length > 0 && buffer) message.assign(buffer, buffer + length);
    if (buffer) LocalFree(buffer);
    while (!message.empty() && (message.back() == u'\n' || message.back() == u'\r' ||
                                message.back() == u' ' || message.back() == u'.'))
        message.pop_back();
    return message.empty() ? u"error " + DecimalText(static_cast<long long>(error)) : message;
}
