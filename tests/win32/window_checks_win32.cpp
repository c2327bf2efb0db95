// Checks of the Windows-only code, run under Wine by scripts/test_wine.sh. GoogleTest is not
// packaged for MinGW, so this is a small program of its own: each group drives the real
// window, registry and serial code and reports every failed check; the exit code is the
// number of failures. Usage: qz_win32_checks GROUP [ARGS]
#include <windows.h>

#include <dbt.h>
#include <ole2.h>
#include <richedit.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/console.h"
#include "app/session.h"
#include "app/startup.h"
#include "app/state.h"
#include "frontends/win32/main_window_win32.h"
#include "link/clock.h"
#include "link/serial.h"
#include "settings/ports.h"
#include "settings/registry_win32.h"
#include "source/files.h"
#include "tests/support/uf2_image.h"
#include "ui/log.h"

namespace {

int failures = 0;

// The program under test, made in wmain as the program makes it: its session, its window
// and the window's console.
struct Program {
    SystemClock Clock;
    std::unique_ptr<SerialPort> Port = MakeSystemSerialPort();
    Win32Frontend Front;
    Session S{Front, *Port, Clock};
    WindowConsole Console{S};
    ~Program() { Front.Destroy(); }
};
Program* qz = nullptr;

// One pass of the event loop, waiting at most 5 ms for an event.
bool Step() {
    return qz->Front.HandleNextWindowEvent(5);
}

void Check(bool ok, const std::string& what) {
    if (!ok) ++failures;
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
}

std::string Narrow(TextView t) {
    return Utf8FromText(t);
}

Text TextOf(const std::string& s) {
    return TextFromUtf8(s);
}

// A control's place inside the main window's inner area.
Placement PlaceInWindow(HWND h) {
    RECT r{};
    GetWindowRect(h, &r);
    MapWindowPoints(nullptr, qz->Front.MainWindowHandle(), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

std::string Describe(Placement p) {
    return std::to_string(p.Left) + "," + std::to_string(p.Top) + " " + std::to_string(p.Width) +
           "x" + std::to_string(p.Height);
}

Text ControlText(HWND h) {
    wchar_t buffer[256] = L"";
    GetWindowTextW(h, buffer, 256);
    std::wstring w(buffer);
    return Text(w.begin(), w.end());
}

Text ComboItem(HWND h, int i) {
    wchar_t buffer[256] = L"";
    SendMessageW(h, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer));
    std::wstring w(buffer);
    return Text(w.begin(), w.end());
}

void Pump(int ms) {
    DWORD until = GetTickCount() + static_cast<DWORD>(ms);
    while (GetTickCount() < until)
        Step();
}

// Every window of the checks has its console, as the program's has; it stays off unless
// the settings file turns it on.
bool StartWindow(const Text& settings) {
    StartupBeforeWindow(qz->S, {}, settings);
    if (!qz->Front.Build(qz->S, &qz->Console)) return false;
    qz->Console.RunJob([] { StartupAfterWindow(qz->S); });
    Pump(100);
    return true;
}

// Runs the window's events until `done` holds or `ms` have passed; false on the timeout.
bool PumpUntil(const std::function<bool()>& done, int ms) {
    ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(ms);
    while (!done())
        if (GetTickCount64() > until || !Step()) return false;
    return true;
}

// The pixels of a window drawn in the system's grey text colour, once it has repainted.
int GrayPixels(HWND h) {
    Pump(50);
    UpdateWindow(h);
    RECT r{};
    GetClientRect(h, &r);
    HDC dc = GetDC(h);
    int count = 0;
    for (int y = 0; y < r.bottom; ++y)
        for (int x = 0; x < r.right; ++x)
            count += GetPixel(dc, x, y) == GetSysColor(COLOR_GRAYTEXT);
    ReleaseDC(h, dc);
    return count;
}

// A width stored in the settings file is honoured, even one too narrow for the controls.
int StoredSizeGroup(const Text& folder) {
    Text settings = folder + u"stored.inf";
    WriteWholeFile(settings, "[Windows]\r\nMainW = 468\r\nMainH = 300\r\n");
    if (!StartWindow(settings)) return 1;
    RECT inner{};
    GetClientRect(qz->Front.MainWindowHandle(), &inner);
    Check(inner.right == 468 && inner.bottom == 300, "stored size 468x300 honoured (is " +
                                                         std::to_string(inner.right) + "x" +
                                                         std::to_string(inner.bottom) + ")");
    return failures;
}

void CheckPlace(ControlId id, const char* name) {
    Placement want = PlaceOf(id), got = PlaceInWindow(qz->Front.ControlHandle(id));
    Check(got.Left == want.Left && got.Top == want.Top && got.Width == want.Width &&
              got.Height == want.Height,
          std::string(name) + " at " + Describe(want) + " (is " + Describe(got) + ")");
}

int ControlsGroup(const Text& folder) {
    if (!StartWindow(folder + u"missing.inf")) return 1;
    HWND main = qz->Front.MainWindowHandle();
    wchar_t title[64] = L"";
    GetWindowTextW(main, title, 64);
    Check(std::wstring(title) == L"QZ Program Uploader", "window title");
    RECT outer{}, inner{};
    GetWindowRect(main, &outer);
    GetClientRect(main, &inner);
    Check(outer.left == 200 && outer.top == 200, "frame corner at 200,200");
    // A first start opens wide enough for every control, the switch beside the log
    // included, and covers none of the controls with another.
    HWND save = GetDlgItem(main, kIdSaveSettingsButton);
    std::vector<RECT> placed;
    for (HWND h :
         {qz->Front.ControlHandle(ControlId::PortBox), qz->Front.ControlHandle(ControlId::BaudBox),
          qz->Front.ControlHandle(ControlId::DeviceBox),
          qz->Front.ControlHandle(ControlId::CollectionBox),
          qz->Front.ControlHandle(ControlId::CollectionEntry),
          qz->Front.ControlHandle(ControlId::ProgramButton), save, qz->Front.StaySwitchHandle()}) {
        Placement p = PlaceInWindow(h);  // a drop-down list's window includes its list
        placed.push_back({p.Left, p.Top, p.Left + p.Width, p.Top + std::min(p.Height, 20)});
    }
    int right = 0;
    bool apart = true;
    for (size_t i = 0; i < placed.size(); ++i) {
        right = std::max<int>(right, placed[i].right);
        RECT both{};
        for (size_t j = 0; j < i; ++j)
            apart = apart && !IntersectRect(&both, &placed[i], &placed[j]);
    }
    Check(inner.bottom == 287 && inner.right >= right + 10,
          "first start: inner area " + std::to_string(inner.right) + "x" +
              std::to_string(inner.bottom) + " shows every control (right edge " +
              std::to_string(right) + ")");
    Check(apart, "no control covers another");
    Placement stay = PlaceInWindow(qz->Front.StaySwitchHandle());
    HDC dc = GetDC(qz->Front.StaySwitchHandle());
    SelectObject(dc, reinterpret_cast<HGDIOBJ>(
                         SendMessageW(qz->Front.StaySwitchHandle(), WM_GETFONT, 0, 0)));
    SIZE caption{};
    GetTextExtentPoint32W(dc, L"Stay connected", 14, &caption);
    ReleaseDC(qz->Front.StaySwitchHandle(), dc);
    Check(ControlText(qz->Front.StaySwitchHandle()) == u"Stay connected" &&
              IsWindowVisible(qz->Front.StaySwitchHandle()) &&
              SendMessageW(qz->Front.StaySwitchHandle(), BM_GETCHECK, 0, 0) == BST_UNCHECKED &&
              stay.Top == 40 && stay.Width >= caption.cx + GetSystemMetrics(SM_CXMENUCHECK) &&
              PlaceInWindow(qz->Front.LogPaneHandle()).Top >= stay.Top + stay.Height,
          "\"Stay connected\" shown, off, above the log pane, its caption whole (" +
              Describe(stay) + ")");
    CheckPlace(ControlId::PortBox, "port box");
    CheckPlace(ControlId::BaudBox, "baud-rate box");
    CheckPlace(ControlId::DeviceBox, "device-type box");
    CheckPlace(ControlId::CollectionBox, "collection box");
    CheckPlace(ControlId::CollectionEntry, "collection entry box");
    CheckPlace(ControlId::ProgressLabel, "progress label");
    CheckPlace(ControlId::ProgramButton, "Program button");
    CheckPlace(ControlId::CancelButton, "Cancel button");
    Placement log = PlaceInWindow(qz->Front.LogPaneHandle());
    Check(log.Left == 10 && log.Top == 75 && log.Width == inner.right - 20 && log.Height == 202,
          "log pane at 10,75, 20 narrower than the window, 202 high (is " + Describe(log) + ")");

    HWND baud = qz->Front.ControlHandle(ControlId::BaudBox);
    int count = static_cast<int>(SendMessageW(baud, CB_GETCOUNT, 0, 0));
    bool same = count == static_cast<int>(kBaudItems.size());
    for (int i = 0; same && i < count; ++i)
        same = ComboItem(baud, i) == kBaudItems[static_cast<size_t>(i)];
    Check(same, "baud-rate items in order");
    Check(ComboItem(baud, static_cast<int>(SendMessageW(baud, CB_GETCURSEL, 0, 0))) == u"38400",
          "baud-rate box shows 38400");
    HWND device = qz->Front.ControlHandle(ControlId::DeviceBox);
    Check(ComboItem(device, static_cast<int>(SendMessageW(device, CB_GETCURSEL, 0, 0))) ==
              u"micromite",
          "device-type box shows micromite");
    HWND collection = qz->Front.ControlHandle(ControlId::CollectionBox);
    Check(SendMessageW(collection, CB_GETCOUNT, 0, 0) == 1 &&
              SendMessageW(collection, CB_GETCURSEL, 0, 0) == 0 &&
              ComboItem(collection, 0) == u"Manual entry",
          "collection box holds Manual entry, selected");
    Check(SendMessageW(qz->Front.ControlHandle(ControlId::PortBox), CB_GETCURSEL, 0, 0) == CB_ERR,
          "port box without selection");
    // The port box shows what the system knows of a port, and a choice stores its name; the
    // open list is wide enough to show the description whole.
    HWND ports = qz->Front.ControlHandle(ControlId::PortBox);
    SetBoxItems(qz->S, ControlId::PortBox, {u"COM3", u"COM5"},
                {u"COM3", u"COM5 - USB Serial Device"});
    SendMessageW(ports, CB_SETCURSEL, 1, 0);
    SendMessageW(main, WM_COMMAND, MAKEWPARAM(kIdPortBox, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(ports));
    Check(ComboItem(ports, 1) == u"COM5 - USB Serial Device" && qz->S.App.Comport == u"COM5" &&
              SendMessageW(ports, CB_GETDROPPEDWIDTH, 0, 0) > 140,
          "port box: \"COM5 - USB Serial Device\" chosen stores COM5 (Comport " +
              Narrow(qz->S.App.Comport) + ")");
    Check(ControlText(qz->Front.ControlHandle(ControlId::CollectionEntry)) == u"Manual entry",
          "collection entry box text");
    Check(!IsWindowVisible(qz->Front.ControlHandle(ControlId::ProgramButton)) &&
              !IsWindowVisible(qz->Front.ControlHandle(ControlId::SecondProgramButton)) &&
              !IsWindowVisible(qz->Front.ControlHandle(ControlId::CancelButton)),
          "no Program or Cancel button at start");
    Check(IsWindowVisible(qz->Front.ControlHandle(ControlId::ProgressLabel)) &&
              ControlText(qz->Front.ControlHandle(ControlId::ProgressLabel)).empty(),
          "empty progress label shown");
    Check(ControlText(save) == u"Save settings" && IsWindowVisible(save) &&
              PlaceInWindow(save).Left == 420 && PlaceInWindow(save).Top == 40,
          "Save settings button at 420,40");

    wchar_t cls[64] = L"";
    GetClassNameW(qz->Front.LogPaneHandle(), cls, 64);
    Check(lstrcmpiW(cls, L"RICHEDIT50W") == 0, "log pane is RICHEDIT50W");
    Check(SendMessageW(qz->Front.LogPaneHandle(), EM_GETLIMITTEXT, 0, 0) >= 0x7FFFFFFE,
          "log pane text limit raised");
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_FACE | CFM_SIZE;
    SendMessageW(qz->Front.LogPaneHandle(), EM_GETCHARFORMAT, SCF_DEFAULT,
                 reinterpret_cast<LPARAM>(&format));
    Check(std::wstring(format.szFaceName) == L"Courier New" && format.yHeight == 160,
          "log pane font Courier New 8 pt (is " +
              Narrow(Text(format.szFaceName, format.szFaceName + wcslen(format.szFaceName))) + " " +
              std::to_string(format.yHeight / 20) + " pt)");

    // The empty pane shows how to start, in grey; the first line takes the hint away.
    Check(GrayPixels(qz->Front.LogPaneHandle()) > 50,
          "the empty log pane shows the hint in grey (" +
              std::to_string(GrayPixels(qz->Front.LogPaneHandle())) + " grey pixels)");
    // Appends: A, an empty line, B; then a text with its own CR LF.
    AppendLog(qz->S, u"A");
    AppendLog(qz->S, u"");
    AppendLog(qz->S, u"B");
    Check(qz->Front.LogPaneText() == u"A\r\n\r\nB", "appends A, empty, B give three lines");
    Check(GrayPixels(qz->Front.LogPaneHandle()) == 0, "no hint once the pane holds text");
    qz->Front.SelectAllLogPane();
    qz->Front.CopyLogPane();
    Check(qz->Front.ClipboardText() == u"A\r\n\r\nB",
          "Select All then Copy puts the log on the clipboard");

    // Resizing the inner area to 800x600 moves only the log pane.
    RECT want{0, 0, 800, 600};
    AdjustWindowRectEx(&want, WS_OVERLAPPEDWINDOW, FALSE, 0);
    SetWindowPos(main, nullptr, 0, 0, want.right - want.left, want.bottom - want.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    Pump(50);
    log = PlaceInWindow(qz->Front.LogPaneHandle());
    Check(log.Left == 10 && log.Top == 75 && log.Width == 780 && log.Height == 515,
          "resized: log pane 780x515 (is " + Describe(log) + ")");
    CheckPlace(ControlId::CollectionBox, "collection box after resize");
    Placement g = qz->Front.CurrentWindowGeometry();
    Check(g.Left == 200 && g.Top == 200 && g.Width == 800 && g.Height == 600,
          "geometry for the settings after resize");
    return failures;
}

// WM_DEVICECHANGE records, as Windows sends them, through the window procedure.
LRESULT SendVolume(WPARAM event, DWORD mask, WORD flags) {
    DEV_BROADCAST_VOLUME v{};
    v.dbcv_size = sizeof v;
    v.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    v.dbcv_unitmask = mask;
    v.dbcv_flags = flags;
    LRESULT result = SendMessageW(qz->Front.MainWindowHandle(), WM_DEVICECHANGE, event,
                                  reinterpret_cast<LPARAM>(&v));
    // The window handles a volume's notice from its event loop, after the broadcast.
    qz->Front.HandleNextWindowEvent(0);
    return result;
}

LRESULT SendPort(WPARAM event, const wchar_t* name) {
    std::vector<BYTE> record(sizeof(DEV_BROADCAST_PORT_W) + 64 * sizeof(wchar_t));
    auto* p = reinterpret_cast<DEV_BROADCAST_PORT_W*>(record.data());
    p->dbcp_size = static_cast<DWORD>(record.size());
    p->dbcp_devicetype = DBT_DEVTYP_PORT;
    wcscpy(p->dbcp_name, name);
    LRESULT result = SendMessageW(qz->Front.MainWindowHandle(), WM_DEVICECHANGE, event,
                                  reinterpret_cast<LPARAM>(p));
    // The window handles a port's notice from its event loop, after the broadcast.
    qz->Front.HandleNextWindowEvent(0);
    return result;
}

int DeviceChangeGroup(const Text& folder, const std::string& driveLetter) {
    if (!StartWindow(folder + u"missing.inf")) return 1;
    ClearLog(qz->S);
    qz->S.App.Comport = u"COM5";
    Check(SendPort(DBT_DEVICEARRIVAL, L"COM5") == TRUE, "port arrival handled with TRUE");
    Check(LogText(qz->S) == u"Port: COM5 inserted", "port arrival logged");
    HWND ports = qz->Front.ControlHandle(ControlId::PortBox);
    int selected = static_cast<int>(SendMessageW(ports, CB_GETCURSEL, 0, 0));
    Check(selected >= 0 && ComboItem(ports, selected) == u"COM5",
          "port box rebuilt with COM5 selected");
    ClearLog(qz->S);
    SendPort(DBT_DEVICEREMOVECOMPLETE, L"COM5");
    Check(LogText(qz->S) == u"Port: COM5 removed", "port removal logged");
    ClearLog(qz->S);
    Check(SendMessageW(qz->Front.MainWindowHandle(), WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0) ==
              TRUE,
          "other device-change events handled with TRUE");
    SendVolume(DBT_DEVICEARRIVAL, 1u << 4, DBTF_MEDIA);
    SendVolume(DBT_DEVICEARRIVAL, 1u << 4, DBTF_NET);
    Check(LogText(qz->S).empty(), "media change and network drive log nothing");
    SendVolume(DBT_DEVICEARRIVAL, 1u << 4, 0);
    Check(LogText(qz->S) == u"  Device Drive E", "drive E arrival logged");

    // A pending firmware copy survives a removal and goes to the next drive that arrives.
    Text firmware = folder + u"board.uf2";
    WriteWholeFile(firmware, Uf2Image(1));
    qz->S.App.ProgramPath = firmware;
    qz->S.App.FirmwarePending = true;
    ClearLog(qz->S);
    SendVolume(DBT_DEVICEREMOVECOMPLETE, 1u << 6, 0);
    Check(qz->S.App.FirmwarePending && LogText(qz->S) == u"  Device Drive G",
          "a removal logs its drive and keeps the copy pending");
    Text letter = TextOf(driveLetter);
    ClearLog(qz->S);
    SendVolume(DBT_DEVICEARRIVAL, 1u << (letter[0] - u'A'), 0);
    Text target = letter + u":\\board.uf2";
    Check(!qz->S.App.FirmwarePending, "the arrival takes the pending copy");
    Check(LogText(qz->S) == u"  Device Drive " + letter + u"\r\n" + target,
          "drive and target logged (" + Narrow(LogText(qz->S)) + ")");
    auto copied = ReadWholeFile(target);
    Check(copied && *copied == Uf2Image(1), "firmware copied with CopyFileW");

    // A copy that fails is reported.
    qz->S.App.ProgramPath = folder + u"absent.uf2";
    qz->S.App.FirmwarePending = true;
    ClearLog(qz->S);
    SendVolume(DBT_DEVICEARRIVAL, 1u << (letter[0] - u'A'), 0);
    Check(LogText(qz->S).find(u"Firmware copy failed: ") != Text::npos,
          "a failed copy is logged (" + Narrow(LogText(qz->S)) + ")");
    return failures;
}

int RegistryGroup(const std::string& expectedPort) {
    const TextView key = u"\\Software\\QzChecks\\";
    HKEY k = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\QzChecks", 0, nullptr, 0, KEY_WRITE, nullptr, &k,
                    nullptr);
    auto put = [&](const wchar_t* name, DWORD type, const void* data, size_t size) {
        RegSetValueExW(k, name, 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size));
    };
    const wchar_t sz[] = L"COM7";
    put(L"a", REG_SZ, sz, sizeof sz);
    const wchar_t high[] = L"COM\x00e9X";
    put(L"b", REG_SZ, high, sizeof high);
    std::wstring longName(80, L'x');
    put(L"c", REG_SZ, longName.c_str(), (longName.size() + 1) * sizeof(wchar_t));
    DWORD dword = 4000000000u;
    put(L"d", REG_DWORD, &dword, sizeof dword);
    unsigned long long qword = 12345678901234ull;
    put(L"e", REG_QWORD, &qword, sizeof qword);
    const wchar_t multi[] = L"one\0two\0";
    put(L"f", REG_MULTI_SZ, multi, sizeof multi);
    const BYTE binary[] = {0x0A, 0xFF, 0x00};
    put(L"g", REG_BINARY, binary, sizeof binary);
    const wchar_t expand[] = L"%QZ_CHECK%\\x";
    put(L"h", REG_EXPAND_SZ, expand, sizeof expand);
    RegCloseKey(k);
    SetEnvironmentVariableW(L"QZ_CHECK", L"C:\\here");

    Check(CountRegistryValues(HKEY_CURRENT_USER, key, false) == 8, "value count");
    Check(RegistryValueName(HKEY_CURRENT_USER, key, false, 0) == u"a", "first value name");
    Check(RegistryValueName(HKEY_CURRENT_USER, key, false, 99).empty(), "no such index");
    auto read = [&](const char16_t* name) {
        return ReadRegistryValue(HKEY_CURRENT_USER, key, false, name);
    };
    Check(read(u"a") == u"COM7", "REG_SZ");
    Check(read(u"b") == u"COM", "REG_SZ cut before a character above 127");
    Check(read(u"c") == Text(66, u'x'), "REG_SZ at most 66 characters");
    Check(read(u"d") == u"4000000000", "REG_DWORD in decimal");
    Check(read(u"e") == u"12345678901234", "REG_QWORD in decimal");
    Check(read(u"f") == u"one\ntwo", "REG_MULTI_SZ joined with LF");
    Check(read(u"g") == u"$0A,$FF,$00", "REG_BINARY as $hex items");
    Check(read(u"h") == u"C:\\here\\x", "REG_EXPAND_SZ expanded");
    Check(
        read(u"missing").empty() && CountRegistryValues(HKEY_CURRENT_USER, u"No\\Such", false) == 0,
        "missing value and key give empty results");
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QzChecks");

    std::vector<Text> ports = ListSerialPorts();
    std::string listed;
    bool found = false;
    for (const Text& p : ports) {
        listed += Narrow(p) + " ";
        found = found || Narrow(p) == expectedPort;
    }
    Check(found, "SERIALCOMM lists " + expectedPort + " (lists " + listed + ")");
    return failures;
}

// The shell's form of a dropped file: an HDROP holding one wide path.
HGLOBAL GlobalDropFiles(const Text& path) {
    std::wstring wide(path.begin(), path.end());
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + (wide.size() + 2) * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    wcscpy(reinterpret_cast<wchar_t*>(drop + 1), wide.c_str());
    GlobalUnlock(memory);
    return memory;
}

// Drops a file on the window as the shell does (WM_DROPFILES with an HDROP).
void DropFile(const Text& path) {
    PostMessageW(qz->Front.MainWindowHandle(), WM_DROPFILES,
                 reinterpret_cast<WPARAM>(GlobalDropFiles(path)), 0);
}

// Drops data on the log pane as OLE does for a drag from another program: the pane's drop
// target is told of the drag's entry and then of the drop. The data is the clipboard's own
// data object, after the clipboard was given `memory` in `format`.
void DropOnLogPane(UINT format, HGLOBAL memory) {
    OpenClipboard(qz->Front.MainWindowHandle());
    EmptyClipboard();
    SetClipboardData(format, memory);
    CloseClipboard();
    IDataObject* data = nullptr;
    Check(OleGetClipboard(&data) == S_OK && data, "the clipboard's data object");
    if (!data) return;
    IDropTarget* target = qz->Front.LogPaneDropTarget();
    POINTL at{40, 120};
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    target->DragEnter(data, MK_LBUTTON, at, &effect);
    Check(effect == DROPEFFECT_COPY, "the log pane takes the drag as a copy");
    effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    ULONGLONG before = GetTickCount64();
    target->Drop(data, MK_LBUTTON, at, &effect);
    std::printf("the drop returned after %llu ms\n", GetTickCount64() - before);
    data->Release();
    Check(!CommandRunning(qz->S) && LogText(qz->S).find(u"Connected to") == Text::npos,
          "the drop returns before its upload starts");
}

HGLOBAL GlobalText(const std::string& text) {
    std::wstring wide(text.begin(), text.end());
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(wchar_t));
    wcscpy(static_cast<wchar_t*>(GlobalLock(memory)), wide.c_str());
    GlobalUnlock(memory);
    return memory;
}

// During the upload a timer, run by the event pump, presses "Cancel" once the progress label
// shows 20 lines, and asks to close the window; it also notes that the pump repaints.
int paintsSeen = 0;
Text labelAtCancel;
bool cancelClicked = false;

void CALLBACK DuringUpload(HWND, UINT, UINT_PTR, DWORD) {
    HWND label = qz->Front.ControlHandle(ControlId::ProgressLabel);
    // The pane was made dirty at the last tick; clean now means the pump let it repaint.
    static bool dirtied = false;
    if (dirtied && !GetUpdateRect(qz->Front.LogPaneHandle(), nullptr, FALSE)) ++paintsSeen;
    InvalidateRect(qz->Front.LogPaneHandle(), nullptr, TRUE);
    dirtied = true;
    PostMessageW(qz->Front.MainWindowHandle(), WM_CLOSE, 0, 0);
    if (cancelClicked || !IsWindowVisible(qz->Front.ControlHandle(ControlId::CancelButton))) return;
    Text now = ControlText(label);
    if (LeadingNumber(now) < 20) return;
    labelAtCancel = now;
    cancelClicked = true;
    HWND cancel = qz->Front.ControlHandle(ControlId::CancelButton);
    PostMessageW(cancel, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(cancel, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

// Opens the window over a settings file `name` in `folder` that chooses `port` at 115200.
bool StartWindowOnPort(const Text& folder, const Text& name, const std::string& port) {
    Text settings = folder + name;
    WriteWholeFile(settings, "[Micromite]\r\nComport = " + port +
                                 "\r\nSerialSpeed = 115200\r\nDevice = micromite\r\n");
    return StartWindow(settings);
}

// Runs the window's events until the job in progress has disconnected (at most about 2 s
// past the last event). False when the window was closed meanwhile.
bool RunUntilDisconnected() {
    bool open = true;
    for (int i = 0; i < 400 && open; ++i) {
        open = Step();
        if (LogText(qz->S).find(u"Disconnected.") != Text::npos) break;
    }
    return open;
}

int UploadGroup(const Text& folder, const std::string& port, const std::string& mode) {
    if (!StartWindowOnPort(folder, u"upload.inf", port)) return 1;
    Text program = folder + u"prog.bas";
    std::string text;
    int lines = mode == "cancel" ? 200 : 12;
    for (int i = 1; i <= lines; ++i)
        text += std::to_string(i * 10) + " PRINT \"line " + std::to_string(i) + "\"\r\n";
    WriteWholeFile(program, text);
    if (mode == "cancel") SetTimer(nullptr, 0, 30, DuringUpload);
    if (mode == "pane-text")
        DropOnLogPane(CF_UNICODETEXT, GlobalText(text));
    else if (mode == "pane-file")
        DropOnLogPane(CF_HDROP, GlobalDropFiles(program));
    else
        DropFile(program);
    bool open = RunUntilDisconnected();
    Pump(100);
    std::printf("-- log --\n%s\n-- end --\n", Narrow(qz->Front.LogPaneText()).c_str());
    Check(LogText(qz->S).find(u"Connected to micromite at 115200") != Text::npos,
          "connected through the COM port");
    if (mode == "cancel") {
        Check(cancelClicked, "Cancel pressed during the upload (at " + Narrow(labelAtCancel) + ")");
        Check(LogText(qz->S).find(u"Micromite upload completed") == Text::npos,
              "cancelled upload did not complete");
        Check(paintsSeen > 0, "the log pane repainted during the upload");
        Check(open, "close requests during the upload were ignored");
    } else {
        Check(LogText(qz->S).find(u"Micromite upload completed") != Text::npos, "upload completed");
        Check(qz->Front.LogPaneText() == LogText(qz->S), "the pane shows what the core logged");
    }
    if (mode == "pane-text")
        Check(qz->S.App.TextFromPaste && LogText(qz->S).rfind(program, 0) != 0,
              "text dropped on the log pane is uploaded as pasted code");
    if (mode == "pane-file")
        Check(!qz->S.App.TextFromPaste && LogText(qz->S).rfind(program, 0) == 0,
              "a file dropped on the log pane goes to the dropped-file dispatcher");
    return failures;
}

// A port that cannot be opened: the window says why under "Micromite Not found!", in the
// headless program's words. (Wine does not keep a second opener off a COM port, so the
// "in use" case cannot be staged here.)
int MissingPortGroup(const Text& folder, const std::string& port) {
    if (!StartWindowOnPort(folder, u"missing.inf", "COM5")) return 1;
    Text program = folder + u"missing.bas";  // its options line names the port
    WriteWholeFile(program, "'onload " + port + ":115200\r\n10 PRINT 1\r\n");
    DropFile(program);
    RunUntilDisconnected();
    Pump(100);
    Check(qz->Front.LogPaneText().find(
              u"Micromite Not found!\r\nSet port number then run 'Program'\r\n"
              u"cannot open " +
              TextOf(port) + u": no such port.") != Text::npos,
          "the window says why " + port + " cannot be opened: " + Narrow(qz->Front.LogPaneText()));
    return failures;
}

// The PIN dialog, answered from a timer run by its own message loop: its title, a masked
// field, and the answer that reaches the board.
Text pinTitle;
bool pinMasked = false;

void CALLBACK AnswerPinDialog(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = FindWindowW(L"QzInputDialog", nullptr);
    if (!dialog) return;
    KillTimer(nullptr, timer);
    wchar_t title[64] = L"";
    GetWindowTextW(dialog, title, 64);
    pinTitle.assign(title, title + wcslen(title));
    HWND field = GetDlgItem(dialog, 100);
    pinMasked = (GetWindowLongW(field, GWL_STYLE) & ES_PASSWORD) != 0;
    SetWindowTextW(field, L"4321");
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

int PinGroup(const Text& folder, const std::string& port) {
    if (!StartWindowOnPort(folder, u"pin.inf", port)) return 1;
    Text program = folder + u"pin.bas";
    WriteWholeFile(program, "10 PRINT \"behind a PIN\"\r\n");
    SetTimer(nullptr, 0, 50, AnswerPinDialog);
    DropFile(program);
    RunUntilDisconnected();
    std::printf("-- log --\n%s\n-- end --\n", Narrow(qz->Front.LogPaneText()).c_str());
    Check(pinTitle == u"PIN required!", "the PIN dialog is titled \"PIN required!\"");
    Check(pinMasked, "the PIN field masks what is typed");
    Check(LogText(qz->S).find(u"Micromite upload completed") != Text::npos,
          "the upload went on after the PIN");
    return failures;
}

// The "Save report" dialog, answered from a timer run by its own message loop: the name
// goes into its file-name field (edt1, or the edit inside cmb13) and OK is pressed.
Text reportPath;
bool reportDialogSeen = false;

void CALLBACK AnswerSaveDialog(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = FindWindowW(L"#32770", L"Save report");
    if (!dialog) return;
    HWND name = GetDlgItem(dialog, 0x480);
    if (!name) {
        // The explorer-style dialog nests the field: ComboBoxEx32, ComboBox, Edit, all cmb13.
        EnumChildWindows(
            dialog,
            [](HWND h, LPARAM found) -> BOOL {
                wchar_t cls[16] = L"";
                GetClassNameW(h, cls, 16);
                if (GetDlgCtrlID(h) != 0x47c || lstrcmpiW(cls, L"Edit") != 0) return TRUE;
                *reinterpret_cast<HWND*>(found) = h;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&name));
    }
    if (!name) return;
    KillTimer(nullptr, timer);
    reportDialogSeen = true;
    std::wstring path(reportPath.begin(), reportPath.end());
    SetWindowTextW(name, path.c_str());
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

int ReportGroup(const Text& folder) {
    if (!StartWindow(folder + u"missing.inf")) return 1;
    reportPath = folder + u"report.txt";
    DeleteFileW(std::wstring(reportPath.begin(), reportPath.end()).c_str());
    AppendLog(qz->S, u"first line");
    AppendLog(qz->S, u"second line");
    Pump(50);
    SetTimer(nullptr, 0, 100, AnswerSaveDialog);
    OnSaveReport(qz->S);
    Check(reportDialogSeen, "the \"Save report\" dialog opened");
    std::optional<std::string> saved = ReadWholeFile(reportPath);
    Check(saved && *saved == "first line\r\nsecond line",
          "the report holds the pane's text (" + saved.value_or("no file") + ")");
    return failures;
}

// Keys as the keyboard gives them, into the focused log pane: characters as typed text,
// Enter and Ctrl-C as key presses.
void SendKeys(const std::vector<INPUT>& keys) {
    SendInput(static_cast<UINT>(keys.size()), const_cast<INPUT*>(keys.data()), sizeof(INPUT));
    Pump(50);
}

INPUT Key(WORD vk, WCHAR ch, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = ch;
    in.ki.dwFlags = (ch ? KEYEVENTF_UNICODE : 0) | (up ? KEYEVENTF_KEYUP : 0);
    return in;
}

void TypeLine(const std::wstring& text) {
    std::vector<INPUT> keys;
    for (wchar_t ch : text) {
        keys.push_back(Key(0, ch, false));
        keys.push_back(Key(0, ch, true));
    }
    keys.push_back(Key(VK_RETURN, 0, false));
    keys.push_back(Key(VK_RETURN, 0, true));
    SendKeys(keys);
}

bool EndsWith(const Text& text, TextView end) {
    return text.size() >= end.size() && TextView(text).substr(text.size() - end.size()) == end;
}

bool Logged(TextView text) {
    return LogText(qz->S).find(text) != Text::npos;
}

// Counts the occurrences of `text` in the log.
int TimesLogged(TextView text) {
    int n = 0;
    for (size_t at = LogText(qz->S).find(text); at != Text::npos;
         at = LogText(qz->S).find(text, at + 1))
        ++n;
    return n;
}

// Drops a program on the window and waits, with the console on, until `until` shows up.
bool UploadAndWait(const Text& folder, const char* name, const std::string& program, TextView until,
                   int ms) {
    Text path = folder + TextOf(name);
    WriteWholeFile(path, program);
    DropFile(path);
    return PumpUntil([&] { return Logged(until); }, ms);
}

// "Stay connected" against the simulated board on `port`: the whole of a long RUN reply,
// typed commands, an INPUT answered, Ctrl-C, a bounded scroll-back, the board restarted by
// scripts/test_wine.sh (asked for through the file restart-board.now) found again, and the
// switch turned off.
int ConsoleGroup(const Text& folder, const std::string& port) {
    Text settings = folder + u"console.inf";
    WriteWholeFile(settings, "[Windows]\r\nStayConnected = 1\r\n[Micromite]\r\nComport = " + port +
                                 "\r\nSerialSpeed = 115200\r\nDevice = micromite\r\n");
    if (!StartWindow(settings)) return 1;
    HWND pane = qz->Front.LogPaneHandle();
    Check(SendMessageW(qz->Front.StaySwitchHandle(), BM_GETCHECK, 0, 0) == BST_CHECKED,
          "the switch shows the stored StayConnected = 1");
    Check(PumpUntil([] { return Logged(u"Stay connected: console on "); }, 3000) &&
              qz->Port->IsOpen(),
          "the console holds the port at start");

    // 400 lines of 50 bytes: the RUN reply is the console's, none of it cut.
    std::string payload(43, 'x'), expected;
    for (int i = 1; i <= 400; ++i)
        expected += std::to_string(1000 + i) + ":" + payload + "\r\n";
    Check(UploadAndWait(
              folder, "long.bas",
              "10 FOR I = 1 TO 400\r\n20 PRINT 1000 + I; \":" + payload + "\"\r\n30 NEXT I\r\n",
              u"1400:", 20000) &&
              PumpUntil([&] { return Logged(TextOf(expected + "> ")); }, 5000),
          "a program printing 20000 bytes shows all of them");
    Check(qz->Front.LogPaneText() == LogText(qz->S), "the pane shows what the console logged");

    SetForegroundWindow(qz->Front.MainWindowHandle());
    SetFocus(pane);
    TypeLine(L"PRINT 6*7");
    Check(PumpUntil([] { return Logged(u"PRINT 6*7\r\n42\r\n"); }, 3000),
          "PRINT 6*7 typed in the log pane shows 42");
    // Ctrl-V sends the clipboard's lines, each once the board echoed the one before.
    OpenClipboard(qz->Front.MainWindowHandle());
    EmptyClipboard();
    SetClipboardData(CF_UNICODETEXT, GlobalText("PRINT 1+1\r\nPRINT 2+2\r\nPRINT 3+3\r\n"));
    CloseClipboard();
    SendKeys({Key(VK_CONTROL, 0, false), Key('V', 0, false), Key('V', 0, true),
              Key(VK_CONTROL, 0, true)});
    Check(
        PumpUntil([] { return Logged(u"PRINT 1+1\r\n2\r\n> PRINT 2+2\r\n4\r\n> PRINT 3+3\r\n6"); },
                  3000) &&
            qz->Front.LogPaneText() == LogText(qz->S),
        "Ctrl-V pastes three lines to the board, none into the pane");

    Check(UploadAndWait(folder, "input.bas", "10 INPUT \"Name\"; N$\r\n20 PRINT \"Hello \"; N$\r\n",
                        u"Name? ", 10000),
          "the program waits at INPUT");
    SetFocus(pane);
    TypeLine(L"Wine");
    Check(PumpUntil([] { return Logged(u"Hello Wine"); }, 3000), "INPUT takes the typed answer");
    // Ctrl-C at INPUT: the key goes to the board (the script finds the board's note of it)
    // rather than copying in the pane.
    TypeLine(L"RUN");
    PumpUntil([] { return TimesLogged(u"Name? ") == 2; }, 3000);
    SendKeys({Key(VK_CONTROL, 0, false), Key('C', 0, false), Key('C', 0, true),
              Key(VK_CONTROL, 0, true)});
    Check(PumpUntil([] { return EndsWith(LogText(qz->S), u"Name? \r\n> "); }, 3000),
          "Ctrl-C at INPUT gives the board's prompt");

    // More lines than the scroll-back holds: the oldest go, in the pane as in the log.
    Check(UploadAndWait(folder, "many.bas", "10 FOR I = 1 TO 22000\r\n20 PRINT I\r\n30 NEXT I\r\n",
                        u"\r\n22000\r\n> ", 30000),
          "a program printing 22000 lines runs to its end");
    Check(qz->S.Log.Lines <= kConsoleScrollBackLines && qz->Front.LogPaneText() == LogText(qz->S) &&
              !Logged(u"Micromite upload started"),
          "the scroll-back keeps at most " + std::to_string(kConsoleScrollBackLines) +
              " lines, the pane the same as the log (" + std::to_string(qz->S.Log.Lines) + ")");

    // The board goes away and comes back on the same port.
    WriteWholeFile(folder + u"restart-board.now", "");
    Check(PumpUntil([] { return Logged(u"The board went away"); }, 10000),
          "the console says the board went away");
    Check(PumpUntil([] { return Logged(u"The board is back on COM"); }, 15000),
          "the console finds the restarted board without a click");
    SetFocus(pane);
    TypeLine(L"PRINT 6*7");
    Check(PumpUntil(
              [] {
                  size_t back = LogText(qz->S).find(u"The board is back on");
                  return LogText(qz->S).find(u"PRINT 6*7\r\n42\r\n", back) != Text::npos;
              },
              3000),
          "keys reach the board again");

    SendMessageW(qz->Front.StaySwitchHandle(), BM_CLICK, 0, 0);
    Check(!qz->Port->IsOpen() && EndsWith(LogText(qz->S), u"Disconnected."),
          "switching off lets go of the port");
    std::printf("-- log (end) --\n%s\n-- end --\n",
                Narrow(LogText(qz->S).substr(LogText(qz->S).size() - 120)).c_str());
    return failures;
}

// The number of the last whole " row N" line of the log.
long LastRow() {
    const Text& log = LogText(qz->S);
    size_t end = log.rfind(u"\r\n");
    size_t at = end == Text::npos ? Text::npos : log.rfind(u" row ", end);
    return at == Text::npos ? 0 : static_cast<long>(LeadingNumber(log.substr(at + 5)));
}

// Not a check: figures for scripts/bench_console_win32.sh. With the console on and the
// program `flood` printing without pause, resizes the window every 250 ms for `seconds` and
// prints how long each took to be handled and painted, the longest pass of the event loop, and
// how much the pane took a second. `prefill` lines are logged first, as a long session
// leaves them.
int BenchConsoleGroup(const Text& folder, const std::string& port, const Text& flood, int seconds,
                      int prefill) {
    Text settings = folder + u"bench.inf";
    WriteWholeFile(settings,
                   "[Windows]\r\nMainW = 700\r\nMainH = 460\r\nStayConnected = 1\r\n"
                   "[Micromite]\r\nComport = " +
                       port + "\r\nSerialSpeed = 115200\r\nDevice = micromite\r\n");
    if (!StartWindow(settings)) return 1;
    DropFile(flood);
    if (!PumpUntil([] { return LastRow() > 0; }, 20000)) return 1;
    // What a long session leaves in the log, up to the scroll-back's bound, 500 lines at a
    // time as the console shows them.
    Text earlier;
    for (int i = 0; i < 500; ++i)
        earlier += u"an earlier line of the session\r\n";
    for (int i = 0; i < prefill / 500; ++i)
        AppendLogStream(qz->S, earlier);
    Pump(2000);
    std::vector<double> shown;
    double widestPass = 0;
    bool waiting = false, wide = false;
    LARGE_INTEGER frequency, start, now, resized{};
    QueryPerformanceFrequency(&frequency);
    auto ms = [&](LARGE_INTEGER a, LARGE_INTEGER b) {
        return 1000.0 * static_cast<double>(b.QuadPart - a.QuadPart) /
               static_cast<double>(frequency.QuadPart);
    };
    QueryPerformanceCounter(&start);
    long rowBefore = LastRow();
    for (now = start; ms(start, now) < seconds * 1000.0;) {
        LARGE_INTEGER before;
        QueryPerformanceCounter(&before);
        Step();
        QueryPerformanceCounter(&now);
        widestPass = std::max(widestPass, ms(before, now));
        // The pass after a resize repaints the window at its new size.
        if (waiting) {
            shown.push_back(ms(resized, now));
            waiting = false;
        }
        if (!waiting && ms(resized, now) > 250) {
            wide = !wide;
            QueryPerformanceCounter(&resized);
            SetWindowPos(qz->Front.MainWindowHandle(), nullptr, 0, 0, wide ? 900 : 700,
                         wide ? 600 : 460, SWP_NOMOVE | SWP_NOZORDER);
            waiting = true;
        }
    }
    double rows = static_cast<double>(LastRow() - rowBefore) / seconds;
    std::sort(shown.begin(), shown.end());
    auto at = [&](double q) {
        return shown.empty()
                   ? 0.0
                   : shown[static_cast<size_t>(q * static_cast<double>(shown.size() - 1))];
    };
    std::printf(
        "resizes shown: %zu, resize to repaint: median %.1f ms, 95th %.1f ms, max %.1f ms\n",
        shown.size(), at(0.5), at(0.95), shown.empty() ? 0.0 : shown.back());
    std::printf("longest pass of the event loop: %.1f ms\n", widestPass);
    std::printf("rows shown: %.0f a second, %.0f bytes a second (115200 baud carries 11520)\n",
                rows, rows * 33);
    std::printf("log lines held: %d (bound %d)\n", qz->S.Log.Lines, kConsoleScrollBackLines);
    return 0;
}

int CloseGroup() {
    HWND main = nullptr;
    for (int i = 0; i < 100 && !main; ++i) {
        main = FindWindowW(L"QzUploaderMain", nullptr);
        if (!main) Sleep(100);
    }
    Check(main != nullptr, "the desktop program's window is open");
    if (main) PostMessageW(main, WM_CLOSE, 0, 0);
    return failures;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(Utf8FromText(Text(argv[i], argv[i] + wcslen(argv[i]))));
    if (args.empty()) {
        std::fprintf(stderr, "usage: qz_win32_checks GROUP [ARGS]\n");
        return 2;
    }
    OleInitialize(nullptr);
    Program program;
    qz = &program;
    const std::string& group = args[0];
    auto arg = [&](size_t i) { return i < args.size() ? args[i] : std::string(); };
    int result = 2;
    if (group == "controls") result = ControlsGroup(TextOf(arg(1)));
    if (group == "devicechange") result = DeviceChangeGroup(TextOf(arg(1)), arg(2));
    if (group == "registry") result = RegistryGroup(arg(1));
    if (group == "upload") result = UploadGroup(TextOf(arg(1)), arg(2), arg(3));
    if (group == "close") result = CloseGroup();
    if (group == "console") result = ConsoleGroup(TextOf(arg(1)), arg(2));
    if (group == "bench-console")
        result = BenchConsoleGroup(TextOf(arg(1)), arg(2), TextOf(arg(3)),
                                   std::atoi(arg(4).c_str()), std::atoi(arg(5).c_str()));
    if (group == "stored") result = StoredSizeGroup(TextOf(arg(1)));
    if (group == "missing") result = MissingPortGroup(TextOf(arg(1)), arg(2));
    if (group == "pin") result = PinGroup(TextOf(arg(1)), arg(2));
    if (group == "report") result = ReportGroup(TextOf(arg(1)));
    std::printf("%s: %d failed\n", group.c_str(), failures);
    std::fflush(stdout);
    ExitProcess(static_cast<UINT>(result));
}
