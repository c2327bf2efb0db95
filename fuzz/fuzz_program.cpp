// A program file of any bytes, taken the whole way a dropped program goes: read from its file,
// editor markers stripped, options line applied (crunching when it asks), and streamed line
// by line to a simulated board that echoes everything, on the simulated clock. The text is
// also crunched on its own. Nothing may crash, leak or hang, and the job's line ends agree
// with the line model's.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "app/program_files.h"
#include "app/session.h"
#include "app/upload.h"
#include "app/window_model.h"
#include "link/clock_sim.h"
#include "link/serial_sim.h"
#include "source/crunch.h"
#include "source/program.h"
#include "tests/support/test_frontend.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

std::string ProgramPath() {
    static const std::string path = [] {
        char pattern[] = "/tmp/qz_fuzz_program_XXXXXX";
        Require(mkdtemp(pattern) != nullptr);
        return std::string(pattern) + "/prog.bas";
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        std::ofstream out(ProgramPath(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    // A fresh session each run: silent, an empty PIN for any prompt, a board that echoes.
    TestFrontend front;
    SimClock clock;
    SimSerialPort port(clock);
    port.OnWrite = [&port](const std::string& bytes) { port.PeerSends(bytes, 1); };
    Session s(front, port, clock);
    BuildControls(s);
    s.App.Comport = u"sim";
    s.App.SerialSpeed = u"115200";
    s.App.LineDelay = 100;

    Text path = TextFromUtf8(ProgramPath());
    s.App.ProgramPath = path;
    s.App.ProgramText = ReadProgramFile(s, path);
    // The job makes lone CRs line ends before anything else; the line model must agree.
    Require(WalkLines(LoneCrsAsLineEnds(s.App.ProgramText)) == WalkLines(s.App.ProgramText));
    (void)Crunch(s.App.ProgramText);
    RunUploadJob(s);
    s.Port.Close();
    return 0;
}
