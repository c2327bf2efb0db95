// Times the source preparation on a 1 MB program: crunching it, encoding it and decoding it;
// and reading a settings file of 20000 groups, 50000 keys and a 1 MB line. Prints each time
// (and for the program the time per kilobyte); exits 1 when a step takes a second or more,
// which on a megabyte would mean something has gone badly wrong (a quadratic pass).
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/state.h"
#include "settings/settings.h"
#include "source/crunch.h"
#include "source/encoded.h"
#include "tests/support/big_settings_file.h"

namespace {

constexpr size_t kProgramSize = 1 << 20;

// A program with what the crunch works on: comments, literals with apostrophes and blank
// runs, indentation, blank lines and directive lines.
Text MakeProgram() {
    const Text lines[] = {
        u"' a comment line that the crunch removes\r\n",
        u"   FOR I  =  1  TO  10   ' count up\r\n",
        u"     PRINT \"it's  line \"; I  :  A$ = \"x  'y'  z\"\r\n",
        u"   NEXT I\r\n",
        u"\r\n",
        u"'echo  progress  shown\r\n",
        u"   IF A > 3 THEN PRINT \"big\" ELSE PRINT \"small\"     \r\n",
    };
    Text program;
    program.reserve(kProgramSize + 100);
    for (size_t i = 0; program.size() < kProgramSize; ++i)
        program += lines[i % std::size(lines)];
    program.resize(kProgramSize);
    return program;
}

template <typename Step>
double MillisecondsOf(Step step) {
    auto start = std::chrono::steady_clock::now();
    step();
    auto end = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(end - start).count();
}

bool Report(const char* what, double ms) {
    std::printf("%-8s %8.2f ms  %7.2f us/KB\n", what, ms, ms * 1000.0 / (kProgramSize / 1024.0));
    return ms < 1000.0;
}

// Reads the big settings file; false when its last collection entry was missed.
bool TimeSettingsRead(bool* fast) {
    std::filesystem::path path = std::filesystem::temp_directory_path() / "qz_bench_settings.inf";
    std::ofstream(path, std::ios::binary) << BigSettingsFile();
    LoadedSettings loaded;
    double ms = MillisecondsOf(
        [&] { loaded = LoadSettings(Text(path.u16string()), AppState().BoardFamily, Settings()); });
    std::filesystem::remove(path);
    std::printf("%-8s %8.2f ms  (20000 groups, 50000 keys, a 1 MB line)\n", "settings", ms);
    *fast &= ms < 1000.0;
    return loaded.Values.Collection.back() == u"last|x";
}

}  // namespace

int main() {
    Text program = MakeProgram();
    Text crunched;
    std::string file;
    Text decoded;
    bool fast = true;
    std::printf("program of %zu characters\n", program.size());
    fast &= Report("crunch", MillisecondsOf([&] { crunched = Crunch(program); }));
    fast &= Report("encode", MillisecondsOf([&] { file = EncodeProgramBytes(program); }));
    fast &= Report("decode", MillisecondsOf([&] { decoded = DecodeProgramBytes(file); }));
    std::printf("crunched to %zu characters\n", crunched.size());
    if (decoded != program) {
        std::printf("decoded text differs from the program\n");
        return 1;
    }
    if (!TimeSettingsRead(&fast)) {
        std::printf("the settings file's last collection entry was not read\n");
        return 1;
    }
    return fast ? 0 : 1;
}
