// Log lines printed by the headless program: on a terminal, control characters from the board
// are shown escaped; a file gets the bytes as they are.
#include <unistd.h>

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "tests/link/pty_line.h"
#include "tests/support/fresh_core.h"

namespace {

// A title change (OSC ... BEL), a clipboard write, a C1 CSI, an overlong ESC and a stray byte;
// the tab, the accented letter and the line end stay.
const char kHostile[] =
    "A\x1b]0;owned\x07 \x1b]52;c;ZWNobw==\x07\tcaf\xc3\xa9 \xc2\x9b"
    "2J \xc0\x9b \xff";
TEST(LogOnTerminal, ControlsAreEscapedOnATerminalOnly) {
    EXPECT_EQ(VisibleControls(kHostile),
              "A\\x1B]0;owned\\x07 \\x1B]52;c;ZWNobw==\\x07\tcaf\xc3\xa9 \\u009B2J \\xC0\\x9B "
              "\\xFF");
    EXPECT_EQ(VisibleControls("a\r\nb\tc"), "a\r\nb\tc");

    StartFreshCore();
    PtyEnd pty = OpenPtyEnd();
    Cli.LogOut = fdopen(dup(pty.holder), "w");
    AppendLog(TextFromAscii("10 PRINT \"x\"") + TextFromUtf8("\x1b[2J\x1b]0;t\x07"));
    std::fclose(Cli.LogOut);
    EXPECT_EQ(ReadFor(pty.master, 200), "10 PRINT \"x\"\\x1B[2J\\x1B]0;t\\x07\n");
    ClosePtyEnd(pty);

    std::FILE* file = std::tmpfile();
    Cli.LogOut = file;
    AppendLog(TextFromUtf8("\x1b[2J"));
    std::rewind(file);
    char got[16] = {};
    EXPECT_EQ(std::fread(got, 1, sizeof got, file), 5u);
    EXPECT_EQ(std::string(got), "\x1b[2J\n");
    std::fclose(file);
    Cli.LogOut = nullptr;
}

}  // namespace
