// Ports and drives coming and going, from the WM_DEVICECHANGE broadcasts that Windows
// sends to every top-level window. No registration is needed for port and volume records.
// The system waits for every window to answer a broadcast, so the notices, a port's (which
// lists the ports again) and a volume's (which may copy the firmware file to the board's
// drive), are posted to the window and handled from the event loop after the answer, as
// drops are.
#include <windows.h>

#include <dbt.h>

#include <string>

#include "app/notices.h"
#include "app/session.h"
#include "frontends/win32/main_window_win32.h"

bool Win32Frontend::HandleDeviceChange(WPARAM event, LPARAM record) {
    if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) return true;
    auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(record);
    if (!header) return true;
    bool arrived = event == DBT_DEVICEARRIVAL;
    if (header->dbch_devicetype == DBT_DEVTYP_PORT) {
        auto* port = reinterpret_cast<const DEV_BROADCAST_PORT_W*>(header);
        std::wstring name(port->dbcp_name);
        portChanges_.emplace_back(Text(name.begin(), name.end()), arrived);
        PostMessageW(mainWindow_, kMsgPortChange, 0, 0);
    } else if (header->dbch_devicetype == DBT_DEVTYP_VOLUME) {
        auto* volume = reinterpret_cast<const DEV_BROADCAST_VOLUME*>(header);
        // A disc put into a drive that was there already, and network drives, are not the
        // board.
        if (volume->dbcv_flags == DBTF_MEDIA || volume->dbcv_flags == DBTF_NET) return true;
        LPARAM letter = -1;
        for (int bit = 0; bit < 26; ++bit) {
            if (volume->dbcv_unitmask & (1u << bit)) {
                letter = bit;
                break;
            }
        }
        PostMessageW(mainWindow_, kMsgVolumeChange, arrived ? 1 : 0, letter);
    }
    return true;
}

void Win32Frontend::OnPortChanges() {
    while (!portChanges_.empty()) {
        auto [name, arrived] = portChanges_.front();
        portChanges_.pop_front();
        OnPortNotice(*session_, name, arrived);
    }
}

void Win32Frontend::OnVolumeChange(WPARAM arrived, LPARAM letterIndex) {
    Text letter;
    if (letterIndex >= 0 && letterIndex < 26)
        letter.assign(1, static_cast<char16_t>(u'A' + letterIndex));
    OnVolumeNotice(*session_, letter, letter.empty() ? Text() : letter + u":\\", arrived != 0);
}
