#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <filesystem>
#include <random>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "settings/settings.h"
#include "tests/settings/scratch_folder.h"
#include "tests/support/big_settings_file.h"

namespace {

const std::string kDefaultFile =
    "\xEF\xBB\xBF\r\n"
    "[Windows]\r\n"
    "; Main Window\r\n"
    "MainX = 200\r\n"
    "MainY = 200\r\n"
    "MainW = 468\r\n"
    "MainH = 287\r\n"
    "\r\n"
    "[Micromite]\r\n"
    "Comport = not set\r\n"
    "SerialSpeed = 38400\r\n"
    "Device = micromite\r\n"
    "PicoPort = not set\r\n"
    "LineDelay = 120\r\n"
    "Maximum com port = 32\r\n"
    "\r\n"
    "[General]\r\n"
    "TextTypes = bas txt inc\r\n"
    "\r\n"
    "[myDeviceList]\r\n"
    "LastUsed = 0\r\n"
    "Device0 = Manual entry\r\n";

// The values a program starts from: the stored fields' start-up values and its default board.
Settings Defaults() {
    Settings defaults;
    defaults.Device = u"micromite";
    return defaults;
}

class SettingsFile : public ::testing::Test {
protected:
    // Loads the file at `path` into Values, its notes into Notes.
    void LoadFile(const std::filesystem::path& path) {
        LoadedSettings loaded = LoadSettings(PathText(path), Family, Defaults());
        Values = loaded.Values;
        Notes = loaded.Notes;
        Writable = loaded.Writable;
    }
    // Writes `bytes` as the settings file and loads it.
    void Load(const std::string& bytes) {
        WriteBytes(File, bytes);
        LoadFile(File);
    }
    // Saves Values at `path`: why it failed, empty when it was written.
    Text SaveFile(const std::filesystem::path& path) {
        return SaveSettings(PathText(path), Family, Values);
    }
    std::string SaveAndRead() {
        EXPECT_EQ(SaveFile(File), u"");
        return ReadBytes(File);
    }
    std::vector<Text> TakeNotes() { return std::exchange(Notes, {}); }

    ScratchFolder Folder;
    std::filesystem::path File = Folder / "Pellimor.inf";
    Text Family = u"Micromite";
    Settings Values = Defaults();
    std::vector<Text> Notes;
    bool Writable = true;
};

TEST_F(SettingsFile, MissingFileGivesDefaultsAndTheExactDefaultFile) {
    Values.Collection = {u"left over|x", u"from before|y"};
    Values.LineDelay = 7;
    LoadFile(Folder / "absent.inf");
    EXPECT_EQ(Values.Collection, std::vector<Text>{u"Manual entry"});
    EXPECT_EQ(Values.LineDelay, 120);
    EXPECT_EQ(Values.Comport, u"not set");
    EXPECT_EQ(Values.MainW, 468);
    EXPECT_FALSE(Values.MainWStored);  // a first start: the window may open wider
    EXPECT_FALSE(std::filesystem::exists(Folder / "absent.inf"));  // reading creates nothing

    EXPECT_EQ(SaveAndRead(), kDefaultFile);
    // What was written reads back to the same file.
    LoadFile(File);
    EXPECT_EQ(SaveAndRead(), kDefaultFile);
}

TEST_F(SettingsFile, LineShapesCommentsAndHeaders) {
    Load(
        "garbage before any header\rMainX = 1\r\n"
        "[WINDOWS]   trailing text after the bracket\n"
        "\t  mainx=10\r\r\n\n\r"
        "MainY\t =\t 20  \n"
        ";MainW = 30\n"
        "  ; MainW = 31\n"
        "MAINW = 40\n"
        "mainw = 41\n"
        "[General\n"
        "TextTypes =  \t bas\tbi  \t\n"
        "[Windows]\n"
        "MainH = 50\n"
        "[Micromite]\n"
        "Comport\n"
        "SerialSpeed =\n"
        "Device = a = b\n");
    EXPECT_EQ(Values.MainX, 10);  // case ignored, spaces around "=" optional
    EXPECT_EQ(Values.MainY, 20);
    EXPECT_EQ(Values.MainW, 40);  // comments never count; the first occurrence wins
    EXPECT_TRUE(Values.MainWStored);
    EXPECT_EQ(Values.MainH, 287);             // a repeated header is ignored
    EXPECT_EQ(Values.TextTypes, u"bas\tbi");  // header without "]"; value trimmed both ends
    EXPECT_EQ(Values.Comport, u"");           // present without "=": empty, not the default
    EXPECT_EQ(Values.SerialSpeed, u"");
    EXPECT_EQ(Values.Device, u"a = b");  // only the first "=" splits
    EXPECT_EQ(Values.PicoPort, u"not set");
}

TEST_F(SettingsFile, IntegersReadLeadingDigitsAndSaturate) {
    Load(
        "[Windows]\n"
        "MainX =   -12abc\n"
        "MainY = +7\n"
        "MainW = 99999999999999999999999999999999\n"
        "MainH = -99999999999999999999999999999999\n"
        "[Micromite]\n"
        "LineDelay = abc\n"
        "Maximum com port =\n"
        "[myDeviceList]\n"
        "LastUsed = 2147483648\n");
    EXPECT_EQ(Values.MainX, -12);
    EXPECT_EQ(Values.MainY, 7);
    EXPECT_EQ(Values.MainW, INT_MAX);
    EXPECT_EQ(Values.MainH, INT_MIN);
    EXPECT_EQ(Values.LineDelay, 100);     // read as 0, then raised
    EXPECT_EQ(Values.MaximumComPort, 0);  // present but empty: 0, not the default 32
    EXPECT_EQ(Values.LastUsed, INT_MAX);
}

TEST_F(SettingsFile, LineDelayIsKeptBetween100AndAMinuteAndWrittenBackSo) {
    for (auto [text, expected] : {std::pair{"50", 100},
                                  {"-5", 100},
                                  {"99", 100},
                                  {"100", 100},
                                  {"250", 250},
                                  {"60000", 60000},
                                  {"99999999999", 60000}}) {
        Load(std::string("[Micromite]\nLineDelay = ") + text + "\n");
        EXPECT_EQ(Values.LineDelay, expected) << text;
        EXPECT_NE(SaveAndRead().find("LineDelay = " + std::to_string(expected) + "\r\n"),
                  std::string::npos);
    }
    // A clamp is told, once; so is a value that is no whole number (read as 100, not as its
    // leading digits without a word).
    EXPECT_EQ(TakeNotes(),
              std::vector<Text>{u"LineDelay 2147483647 ms is too long; 60000 ms is used."});
    EXPECT_TRUE(TakeNotes().empty());
    for (auto [text, note] :
         {std::pair{"-5", u"LineDelay -5 ms is too short; 100 ms is used."},
          {"1e9", u"LineDelay \"1e9\" is not a whole number of milliseconds; 100 ms is used."},
          {"0x200",
           u"LineDelay \"0x200\" is not a whole number of milliseconds; 100 ms is used."}}) {
        Load(std::string("[Micromite]\nLineDelay = ") + text + "\n");
        EXPECT_EQ(Values.LineDelay, 100) << text;
        EXPECT_EQ(TakeNotes(), std::vector<Text>{note}) << text;
    }
}

TEST_F(SettingsFile, BoardFamilyNamesTheSerialGroup) {
    Family = u"Other";
    Load("[Micromite]\nComport = COM1\n[other]\nComport = COM2\n");
    EXPECT_EQ(Values.Comport, u"COM2");
    std::string bytes = SaveAndRead();
    EXPECT_NE(bytes.find("\r\n\r\n[Other]\r\nComport = COM2\r\n"), std::string::npos);
    EXPECT_EQ(bytes.find("[Micromite]"), std::string::npos);
}

TEST_F(SettingsFile, UnknownGroupsAndCommentsAreDroppedOnSave) {
    Load(std::string("\xEF\xBB\xBF; my notes\n[Notes]\nColour = blue\n") + kDefaultFile.substr(3));
    EXPECT_EQ(SaveAndRead(), kDefaultFile);
}

TEST_F(SettingsFile, Latin1FileIsWrittenBackAsUtf8) {
    Load("[General]\nTextTypes = bas caf\xE9\n[Micromite]\nComport = \xFF\x80\n");
    EXPECT_EQ(Values.TextTypes, u"bas caf\u00E9");
    EXPECT_EQ(Values.Comport, u"\u00FF\u0080");
    std::string bytes = SaveAndRead();
    EXPECT_EQ(bytes.substr(0, 5), "\xEF\xBB\xBF\r\n");
    EXPECT_NE(bytes.find("TextTypes = bas caf\xC3\xA9\r\n"), std::string::npos);
    // With the byte-order mark the same bytes now read as UTF-8.
    LoadFile(File);
    EXPECT_EQ(Values.TextTypes, u"bas caf\u00E9");
    EXPECT_EQ(Values.Comport, u"\u00FF\u0080");
}

TEST_F(SettingsFile, LineBreaksInsideValuesCannotForgeLines) {
    Values.Comport = u"COM1\r\n[General]\r\nTextTypes = exe";
    Values.Collection = {u"Manual entry", u"a|b\nDevice1 = forged|x"};
    SaveFile(File);
    LoadFile(File);
    EXPECT_EQ(Values.TextTypes, u"bas txt inc");
    EXPECT_EQ(Values.Comport, u"COM1  [General]  TextTypes = exe");
    EXPECT_EQ(Values.Collection, (std::vector<Text>{u"Manual entry", u"a|b Device1 = forged|x"}));
}

TEST_F(SettingsFile, CollectionIsReadWithoutGapsUpToDevice50) {
    std::string file = "[myDeviceList]\nLastUsed = 1\nDevice1 = one|a\nDevice3 = three|c\n";
    file += "Device2 =   \nDevice51 = beyond|z\nDevice50 = fifty|y\n";
    Load(file);
    EXPECT_EQ(Values.Collection,
              (std::vector<Text>{u"Manual entry", u"one|a", u"three|c", u"fifty|y"}));
    std::string bytes = SaveAndRead();
    EXPECT_NE(bytes.find("LastUsed = 1\r\nDevice0 = Manual entry\r\nDevice1 = one|a\r\n"
                         "Device2 = three|c\r\nDevice3 = fifty|y\r\n"),
              std::string::npos);

    Load("[myDeviceList]\nDevice0 = first|x\n");
    EXPECT_EQ(Values.Collection, std::vector<Text>{u"first|x"});
}

TEST_F(SettingsFile, SaveKeepsEntriesWithOptionsAndManualEntryAnywhere) {
    Values.Collection = {u"mine|opts", u"mybox|",       u"plain",        u"two||bars",
                         u"ok|o|more", u"Manual entry", u"manual entry", u"|lone options"};
    std::string bytes = SaveAndRead();
    EXPECT_NE(bytes.find("LastUsed = 0\r\nDevice0 = mine|opts\r\nDevice1 = ok|o|more\r\n"
                         "Device2 = Manual entry\r\nDevice3 = |lone options\r\n"),
              std::string::npos);
    EXPECT_EQ(bytes.find("Device4"), std::string::npos);
    EXPECT_EQ(bytes.find("mybox"), std::string::npos);
}

TEST_F(SettingsFile, LongCollectionIsSavedInFullButReadOnlyToDevice50) {
    Values.Collection = {u"Manual entry"};
    for (int i = 1; i < 60; ++i)
        Values.Collection.push_back(u"e" + DecimalText(i) + u"|o");
    std::string bytes = SaveAndRead();
    EXPECT_NE(bytes.find("Device59 = e59|o\r\n"), std::string::npos);
    EXPECT_TRUE(bytes.ends_with("Device59 = e59|o\r\n"));
    LoadFile(File);
    ASSERT_EQ(Values.Collection.size(), 51u);
    EXPECT_EQ(Values.Collection.back(), u"e50|o");
}

TEST_F(SettingsFile, WindowPlaceIsWrittenAsGiven) {
    Values.MainX = -1280;
    Values.MainY = 0;
    Values.MainW = 800;
    Values.MainH = 600;
    std::string bytes = SaveAndRead();
    EXPECT_NE(bytes.find("MainX = -1280\r\nMainY = 0\r\nMainW = 800\r\nMainH = 600\r\n"),
              std::string::npos);
}

// The console switch is written beside the window's place only once it is on, so a file
// stays as it was for everyone who never turns it on.
TEST_F(SettingsFile, StayConnectedIsWrittenOnlyWhenOn) {
    Values.StayConnected = 1;
    EXPECT_NE(SaveAndRead().find("MainH = 287\r\nStayConnected = 1\r\n\r\n[Micromite]"),
              std::string::npos);
    Values = Defaults();
    LoadFile(File);
    EXPECT_EQ(Values.StayConnected, 1);
    Values.StayConnected = 0;
    EXPECT_EQ(SaveAndRead(), kDefaultFile);
}

// ---- Saving replaces the old file only once the new one is complete ----

TEST_F(SettingsFile, WriteFailingPartWayLeavesOldFileWholeAndNoTemporary) {
    const std::string old = "[Micromite]\r\nComport = COM9\r\n; hand-written\r\n";
    WriteBytes(File, old);
    Values.Comport = u"COM1";
    // A file-size limit below the new file's size stands in for a full disk.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 100;
    std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_NE(SaveFile(File), u"");  // the failure is told
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(ReadBytes(File), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Folder.Path),
                            std::filesystem::directory_iterator()),
              1);
}

// Links planted at the file or beside it are never written through; a file the user made
// read-only and a FIFO stay as they are, and the FIFO does not block the start.
TEST_F(SettingsFile, SaveWritesOnlyTheFileItselfAndLeavesReadOnlyAndSpecialFiles) {
    namespace fs = std::filesystem;
    const fs::path victim = Folder / "victim";
    WriteBytes(victim, "precious");
    fs::create_symlink(victim, Folder / "Pellimor.inf.new");
    fs::create_symlink(victim, File);
    EXPECT_EQ(SaveFile(File), u"");
    EXPECT_EQ(ReadBytes(victim), "precious");
    EXPECT_FALSE(fs::is_symlink(File));
    EXPECT_EQ(ReadBytes(File), kDefaultFile);

    fs::permissions(File, fs::perms::owner_read | fs::perms::owner_write);
    Values.Comport = u"COM3";
    EXPECT_EQ(SaveFile(File), u"");  // the owner's own mode is kept
    EXPECT_EQ(fs::status(File).permissions(), fs::perms::owner_read | fs::perms::owner_write);

    fs::permissions(File, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const std::string before = ReadBytes(File);
    Values.Comport = u"COM4";
    EXPECT_NE(SaveFile(File), u"");
    EXPECT_EQ(ReadBytes(File), before);
    EXPECT_EQ(fs::status(File).permissions() & fs::perms::owner_write, fs::perms::none);

    fs::remove(File);
    ASSERT_EQ(mkfifo(File.c_str(), 0600), 0);
    LoadFile(File);
    EXPECT_EQ(TakeNotes(), std::vector<Text>{u"Settings not read: " + PathText(File) +
                                             u" is not a regular file; only files can be read."});
    EXPECT_FALSE(Writable);
    EXPECT_NE(SaveFile(File), u"");
    EXPECT_TRUE(fs::is_fifo(File));
}

TEST_F(SettingsFile, DirectoryInPlaceOfTheFileStaysAndLeavesNoTemporary) {
    std::filesystem::create_directory(File);
    WriteBytes(File / "inside", "x");
    EXPECT_NE(SaveFile(File), u"");
    EXPECT_TRUE(std::filesystem::is_directory(File));
    EXPECT_EQ(ReadBytes(File / "inside"), "x");
    EXPECT_FALSE(std::filesystem::exists(Folder / "Pellimor.inf.new"));
    LoadFile(File);  // a folder reads as no file
    EXPECT_EQ(Values.Comport, u"not set");
}

TEST_F(SettingsFile, ReadOnlyFolderLeavesOldFileWhole) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
    const std::string old = "[Micromite]\r\nComport = COM9\r\n";
    WriteBytes(File, old);
    std::filesystem::permissions(
        Folder.Path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    Values.Comport = u"COM1";
    EXPECT_NE(SaveFile(File), u"");
    EXPECT_EQ(ReadBytes(File), old);
}

TEST_F(SettingsFile, MissingFoldersAreCreatedOnSave) {
    std::filesystem::path nested = Folder / "config" / "deeper" / "Pellimor.inf";
    SaveFile(nested);
    EXPECT_EQ(ReadBytes(nested), kDefaultFile);
}

// ---- Hostile files ----

TEST_F(SettingsFile, GarbageAndNulsLoadWithoutHarm) {
    std::mt19937 random(12345);
    for (int round = 0; round < 200; ++round) {
        std::string bytes(random() % 2000, '\0');
        for (char& b : bytes)
            b = "[]=;\r\n \t\0aZ9\xEF\xBB\xBF\xC3\xFF"[random() % 17];
        if (round % 2) bytes = "\xEF\xBB\xBF" + bytes;
        Load(bytes);
        EXPECT_GE(Values.LineDelay, 100);
        EXPECT_FALSE(Values.Collection.empty());
        EXPECT_LE(Values.Collection.size(), 51u);
    }
    const char withNul[] = "[Micromite]\nComport = CO\0M3\n";
    Load(std::string(withNul, sizeof withNul - 1));
    EXPECT_EQ(Values.Comport, Text(u"CO\0M3", 5));
    SaveFile(File);
    LoadFile(File);
    EXPECT_EQ(Values.Comport, Text(u"CO\0M3", 5));
}

// How long this takes is printed by the source benchmark (scripts/bench_source.sh).
TEST_F(SettingsFile, ManyKeysAndGroupsLoad) {
    Load(BigSettingsFile());
    EXPECT_EQ(Values.Collection.back(), u"last|x");
}

}  // namespace
