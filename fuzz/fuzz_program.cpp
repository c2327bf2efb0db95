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
#include "app/state.h"
#include "app/upload.h"
#include "frontends/cli/window_cli.h"
#include "link/serial.h"
#include "link/serial_sim.h"
#include "source/crunch.h"
#include "source/program.h"
#include "ui/controls.h"
#include "ui/log.h"

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
    Cli = CliWindowOptions();
    Cli.LogOut = nullptr;
    Cli.PinGiven = true;  // an empty PIN: never ask the terminal
    ResetAppState();
    BuildControls();
    ClearLog();
    AllocateChannelBuffers();
    ResetSimLine(115200);
    Sim.Open = false;
    Sim.OnWrite = [](const std::string& bytes) { PeerSends(bytes, 1); };  // echo all
    App.Comport = u"sim";
    App.SerialSpeed = u"115200";
    App.LineDelay = 100;

    Text path = TextFromUtf8(ProgramPath());
    App.ProgramPath = path;
    App.ProgramText = ReadProgramFile(path);
    // The job makes lone CRs line ends before anything else; the line model must agree.
    Require(WalkLines(LoneCrsAsLineEnds(App.ProgramText)) == WalkLines(App.ProgramText));
    (void)Crunch(App.ProgramText);
    RunUploadJob();
    ClosePort();
    ReleaseChannelBuffers();
    return 0;
}
