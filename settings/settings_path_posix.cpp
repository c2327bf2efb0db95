#include <unistd.h>

#include <cstdlib>
#include <string>

#include "settings/settings.h"
#include "source/files.h"

Text ExecutableFolder() {
    // /proc/self/exe names the executable itself, also when it was started through a
    // symbolic link or from a relative path.
    std::string target(4096, '\0');
    ssize_t length = readlink("/proc/self/exe", target.data(), target.size());
    if (length <= 0 || static_cast<size_t>(length) >= target.size()) return Text();
    target.resize(static_cast<size_t>(length));
    return FolderOfPath(TextFromUtf8(target));
}

namespace {

// The per-user configuration folder with its trailing "/"; empty when neither
// XDG_CONFIG_HOME nor HOME gives one. A relative XDG_CONFIG_HOME is ignored, as the XDG
// base-directory rules ask.
Text ConfigFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') return TextFromUtf8(xdg) + u"/";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return TextFromUtf8(home) + u"/.config/";
    return Text();
}

}  // namespace

Text SettingsFilePath(TextView programFolder, TextView fileName) {
    Text folder = programFolder.empty() ? ExecutableFolder() : Text(programFolder);
    Text besideProgram = folder + Text(fileName);
    if (FileExists(besideProgram)) return besideProgram;
    Text config = ConfigFolder();
    return config.empty() ? besideProgram : config + Text(fileName);
}
