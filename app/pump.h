#pragma once

// The event pump: shows the log's end, lets the window handle every pending event without
// the program acting on any, and reports whether one of them was a press of "Cancel".
bool PumpEvents();
