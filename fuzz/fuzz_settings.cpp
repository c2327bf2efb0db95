// A settings file of any bytes, NULs included. It is read, written, read and written again:
// the two written files must be identical, and every value the reader took must be within
// its bounds (LineDelay from 100 ms to a minute, the collection at most 51 entries).
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "app/state.h"
#include "frontends/cli/window_cli.h"
#include "settings/settings.h"
#include "ui/controls.h"

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

void LoadAndCheck(const std::string& path) {
    ResetAppState();
    LoadSettings(TextFromUtf8(path));
    TakeSettingsNotes();
    Require(App.LineDelay >= 100 && App.LineDelay <= kMaxLineDelay);
    Require(!App.Collection.empty() && App.Collection.size() <= 51);
    BuildControls();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Cli = CliWindowOptions();
    Cli.LogOut = nullptr;
    const std::string given = Folder() + "/given.inf";
    const std::string first = Folder() + "/first.inf";
    const std::string second = Folder() + "/second.inf";
    {
        std::ofstream out(given, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    LoadAndCheck(given);
    SaveSettings(TextFromUtf8(first));
    LoadAndCheck(first);
    SaveSettings(TextFromUtf8(second));
    Require(ReadFile(first) == ReadFile(second));
    return 0;
}
