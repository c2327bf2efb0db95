// The session's list of serial ports and the window's port box built from it.
#pragma once

struct Session;

// Rebuilds `s.App.PortList`; shows "OOPS!" / "No com ports found" when there is none.
void DiscoverPorts(Session& s);
// Refills the port box from a fresh discovery and selects `s.App.Comport` in it.
void RefreshPortBox(Session& s);
