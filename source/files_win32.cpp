#include <windows.h>

#include <algorithm>
#include <string>

#include "source/files.h"

bool ReadableByOthers(TextView) {
    return false;
}

bool ReplaceFileAtomically(TextView path, std::string_view bytes) {
    if (path.empty()) return false;
    std::wstring target(path.begin(), path.end());
    DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;
        // A file the user marked read-only stays as it is.
        if (attributes & FILE_ATTRIBUTE_READONLY) return false;
    }
    // A fresh name beside the target, created only if nothing is there (CREATE_NEW never
    // opens an existing file or link), written through to the disk.
    std::wstring temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (unsigned attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = target + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
                    std::to_wstring(GetTickCount() + attempt) + L".new";
        file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    if (file == INVALID_HANDLE_VALUE) return false;
    bool written = true;
    for (size_t done = 0; written && done < bytes.size();) {
        DWORD put = 0;
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        written = WriteFile(file, bytes.data() + done, chunk, &put, nullptr) && put > 0;
        done += put;
    }
    written = FlushFileBuffers(file) && written;
    written = CloseHandle(file) && written;
    // The rename replaces a link at the target rather than the file it points to.
    if (!written || !MoveFileExW(temporary.c_str(), target.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}
