#include <stdlib.h>

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "settings/settings.h"
#include "tests/settings/scratch_folder.h"

namespace {

// Sets an environment variable for one test and puts the old value back afterwards.
class EnvironmentValue {
public:
    EnvironmentValue(const char* name, const char* value) : name_(name) {
        if (const char* old = getenv(name)) old_ = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~EnvironmentValue() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(SettingsLocation, ProgramFolderCopyWinsOverThePerUserFile) {
    ScratchFolder program, config, home;
    const Text folder = PathText(program.Path) + u"/";
    EnvironmentValue xdg("XDG_CONFIG_HOME", config.Path.c_str());
    EnvironmentValue homeValue("HOME", home.Path.c_str());

    EXPECT_EQ(SettingsFilePath(folder, u"Pellimor.inf"), PathText(config / "Pellimor.inf"));
    {
        EnvironmentValue relative("XDG_CONFIG_HOME", "relative/dir");  // ignored
        EXPECT_EQ(SettingsFilePath(folder, u"Pellimor.inf"),
                  PathText(home.Path / ".config" / "Pellimor.inf"));
    }
    {
        EnvironmentValue unset("XDG_CONFIG_HOME", nullptr);
        EXPECT_EQ(SettingsFilePath(folder, u"Pellimor.inf"),
                  PathText(home.Path / ".config" / "Pellimor.inf"));
    }
    WriteBytes(program / "Pellimor.inf", "");
    EXPECT_EQ(SettingsFilePath(folder, u"Pellimor.inf"), PathText(program / "Pellimor.inf"));
}

TEST(SettingsLocation, SaveCreatesTheMissingConfigFolderAndLoadFindsIt) {
    ScratchFolder program, config;
    const Text folder = PathText(program.Path) + u"/";
    std::string fresh = (config.Path / "not" / "yet").string();
    EnvironmentValue xdg("XDG_CONFIG_HOME", fresh.c_str());
    Settings values;
    values.Comport = u"/dev/ttyACM3";
    EXPECT_EQ(SaveSettings(SettingsFilePath(folder, u"Pellimor.inf"), u"Micromite", values), u"");
    LoadedSettings loaded =
        LoadSettings(SettingsFilePath(folder, u"Pellimor.inf"), u"Micromite", Settings());
    EXPECT_EQ(loaded.Values.Comport, u"/dev/ttyACM3");
    EXPECT_TRUE(std::filesystem::exists(config.Path / "not" / "yet" / "Pellimor.inf"));
}

TEST(SettingsLocation, ExecutableFolderHoldsTheRunningProgram) {
    Text folder = ExecutableFolder();
    ASSERT_TRUE(folder.ends_with(u"/"));
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(folder + u"qz_tests")));
}

}  // namespace
