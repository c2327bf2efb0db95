// A settings file of any bytes, NULs included. It is read, written, read and written again:
// the two written files must be identical, and every value the reader took must be within
// its bounds (the line delay, the collection at most 51 entries).
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

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
        char pattern[] = "/tmp/qz_fuzz_settings_XXXXXX";
        Require(mkdtemp(pattern) != nullptr);
        return std::string(pattern);
    }();
    return folder;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The settings file section the windows read and write.
const Text kFamily = AppState().BoardFamily;

// Loads the file, checks the bounds of what it took, builds a window's controls from it, and
// writes it back to `to`.
void LoadCheckAndSave(const std::string& from, const std::string& to) {
    Settings defaults;
    defaults.Device = Text(kDefaultProfile.Name);
    LoadedSettings loaded = LoadSettings(TextFromUtf8(from), kFamily, defaults);
    const Settings& v = loaded.Values;
    Require(v.LineDelay >= kMinLineDelay && v.LineDelay <= kMaxLineDelay);
    Require(!v.Collection.empty() && v.Collection.size() <= 51);
    TestFrontend front;
    SimClock clock;
    SimSerialPort port(clock);
    Session s(front, port, clock);
    static_cast<Settings&>(s.App) = v;
    BuildControls(s);
    Require(SaveSettings(TextFromUtf8(to), kFamily, v).empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string given = Folder() + "/given.inf";
    const std::string first = Folder() + "/first.inf";
    const std::string second = Folder() + "/second.inf";
    {
        std::ofstream out(given, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    LoadCheckAndSave(given, first);
    LoadCheckAndSave(first, second);
    Require(ReadFile(first) == ReadFile(second));
    return 0;
}
