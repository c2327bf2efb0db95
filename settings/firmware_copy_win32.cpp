// The firmware copy on Windows: CopyFileW, which also carries the file's attributes and
// lets the drive's file system see one whole write, as the board's drive expects.
#include <windows.h>

#include <string>

#include "settings/ports.h"
#include "source/system_message_win32.h"

Text CopyFirmwareFile(TextView from, TextView to) {
    std::wstring source(from.begin(), from.end()), target(to.begin(), to.end());
    // A link planted in the drive under the file's name would be written through.
    DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return u"it is a symbolic link; it is not written through";
    if (CopyFileW(source.c_str(), target.c_str(), FALSE)) return Text();
    return SystemMessage(GetLastError());
}
