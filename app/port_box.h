// The session's list of serial ports and the window's port box built from it.
#pragma once

struct Session;

// Rebuilds `s.App.PortList` from a fresh look at the system's ports (shows "OOPS!" / "No com
// ports found" when there is none), refills the port box from it and selects
// `s.App.Comport` in it.
void RefreshPortBox(Session& s);
