// Log lines and progress as the headless program prints them: on a terminal, control
// characters from the board are shown escaped; a file gets the bytes as they are; with
// --json each becomes an event.
#include <unistd.h>

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "frontends/cli/window_cli.h"
#include "tests/link/pty_line.h"

namespace {

// What was written to a temporary file by `write`.
template <typename Write>
std::string WrittenTo(Write write) {
    std::FILE* file = std::tmpfile();
    write(file);
    std::rewind(file);
    std::string got;
    char buffer[256];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        got.append(buffer, n);
    std::fclose(file);
    return got;
}

// A title change (OSC ... BEL), a clipboard write, a C1 CSI, an overlong ESC and a stray byte;
// the tab, the accented letter and the line end stay.
const char kHostile[] =
    "A\x1b]0;owned\x07 \x1b]52;c;ZWNobw==\x07\tcaf\xc3\xa9 \xc2\x9b"
    "2J \xc0\x9b \xff";

TEST(CliLog, ControlsAreEscapedOnATerminalOnly) {
    EXPECT_EQ(VisibleControls(kHostile),
              "A\\x1B]0;owned\\x07 \\x1B]52;c;ZWNobw==\\x07\tcaf\xc3\xa9 \\u009B2J \\xC0\\x9B "
              "\\xFF");
    EXPECT_EQ(VisibleControls("a\r\nb\tc"), "a\r\nb\tc");

    PtyEnd pty = OpenPtyEnd();
    CliFrontend front;
    front.Cli.LogOut = fdopen(dup(pty.holder), "w");
    front.RenderLogAppend(TextFromAscii("10 PRINT \"x\"") + TextFromUtf8("\x1b[2J\x1b]0;t\x07"));
    std::fclose(front.Cli.LogOut);
    EXPECT_EQ(ReadFor(pty.master, 200), "10 PRINT \"x\"\\x1B[2J\\x1B]0;t\\x07\n");
    ClosePtyEnd(pty);

    EXPECT_EQ(WrittenTo([&](std::FILE* file) {
                  front.Cli.LogOut = file;
                  front.RenderLogAppend(u"\r\n" + TextFromUtf8("\x1b[2J"));
              }),
              "\x1b[2J\n");
}

TEST(CliLog, JsonEventsCarryTheLogAndTheModelsProgressCount) {
    CliFrontend front;
    front.Cli.Json = true;
    Controls model;
    std::string events = WrittenTo([&](std::FILE* file) {
        front.Cli.LogOut = file;
        front.RenderLogAppend(u"\r\nSent \"x\"");
        model.ProgressLabel = u"3/10";
        model.ProgressDone = 3;
        model.ProgressTotal = 10;
        front.RenderControl(model, ControlId::ProgressLabel);
        model.ProgressLabel = u"Done";  // a label that is no count gives no event
        model.ProgressDone = model.ProgressTotal = 0;
        front.RenderControl(model, ControlId::ProgressLabel);
    });
    EXPECT_EQ(events,
              "{\"event\":\"log\",\"text\":\"Sent \\\"x\\\"\"}\n"
              "{\"event\":\"progress\",\"done\":3,\"total\":10}\n");
}

}  // namespace
