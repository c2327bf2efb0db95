// The main window's captions, tooltips and menu items, typed once for both windows (Win32
// and Qt).
#pragma once

#include "source/text.h"

// Tooltips of the four drop-down lists and of the first "Program" button.
inline constexpr TextView kPortBoxTip = u"Serial port";
inline constexpr TextView kBaudBoxTip = u"Serial baud rate";
inline constexpr TextView kDeviceBoxTip = u"Connected device";
inline constexpr TextView kCollectionBoxTip = u"My collection";
inline constexpr TextView kProgramTip = u"Load program";
inline constexpr TextView kStaySwitchTip =
    u"Keep the port open after a job: the log shows what the board prints, and keys typed "
    u"there go to the board";

// Button captions.
inline constexpr TextView kProgramCaption = u"Program";
inline constexpr TextView kCancelCaption = u"Cancel";
inline constexpr TextView kSaveSettingsCaption = u"Save settings";
inline constexpr TextView kOkCaption = u"OK";

// The log pane's popup menu.
inline constexpr TextView kMenuPasteCode = u"Paste code";
inline constexpr TextView kMenuSelectAll = u"Select All";
inline constexpr TextView kMenuCopy = u"Copy";
inline constexpr TextView kMenuSaveAs = u"Save As...";
