#include <windows.h>

#include <vector>

#include "settings/settings.h"
#include "source/files.h"

Text ExecutableFolder() {
    // The path can be longer than MAX_PATH; grow the buffer until the whole path fits.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return Text();
        if (length < buffer.size()) {
            Text path(reinterpret_cast<const char16_t*>(buffer.data()), length);
            return FolderOfPath(path);
        }
        if (buffer.size() >= 32768) return Text();
        buffer.resize(buffer.size() * 2);
    }
}

Text SettingsFilePath(TextView programFolder, TextView fileName) {
    Text folder = programFolder.empty() ? ExecutableFolder() : Text(programFolder);
    return folder + Text(fileName);
}
