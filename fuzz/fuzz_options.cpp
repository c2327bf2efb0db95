// A settings file and a program's first line, both of any bytes. The input is split at its
// first zero byte: the settings file before it, the program text after it.
//
// The settings file is read, written, read and written again: the two written files must be
// identical (whatever the reader took from a damaged file, the writer's output reads back to
// the same state). Then the program's options line is applied over those settings, which
// must not crash whatever the line holds.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "app/options.h"
#include "app/profiles.h"
#include "app/session.h"
#include "app/state.h"
#include "app/window_model.h"
#include "link/clock_sim.h"
#include "link/serial_sim.h"
#include "settings/settings.h"
#include "tests/support/test_frontend.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

std::string Folder() {
    static const std::string folder = [] {
        char pattern[] = "/tmp/qz_fuzz_options_XXXXXX";
        Require(mkdtemp(pattern) != nullptr);
        return std::string(pattern);
    }();
    return folder;
}

void WriteFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    size_t zero = input.find('\0');
    std::string_view settingsBytes = input.substr(0, zero);
    std::string_view programBytes = zero == std::string_view::npos ? "" : input.substr(zero + 1);

    const Text kFamily = AppState().BoardFamily;
    const std::string given = Folder() + "/given.ini";
    const std::string first = Folder() + "/first.ini";
    const std::string second = Folder() + "/second.ini";
    WriteFile(given, settingsBytes);
    Settings defaults;
    defaults.Device = Text(kDefaultProfile.Name);
    LoadedSettings loaded = LoadSettings(TextFromUtf8(given), kFamily, defaults);
    SaveSettings(TextFromUtf8(first), kFamily, loaded.Values);
    SaveSettings(TextFromUtf8(second), kFamily,
                 LoadSettings(TextFromUtf8(first), kFamily, defaults).Values);
    Require(ReadFile(first) == ReadFile(second));

    // The options line applied over those settings, in a silent session.
    TestFrontend front;
    SimClock clock;
    SimSerialPort port(clock);
    Session s(front, port, clock);
    static_cast<Settings&>(s.App) = loaded.Values;
    BuildControls(s);
    (void)ApplyOptionsLine(s, TextFromAnsi(programBytes));
    return 0;
}
