#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "app/program_files.h"
#include "source/files.h"
#include "source/program.h"
#include "tests/support/fresh_core.h"
#include "ui/log.h"

namespace fs = std::filesystem;

namespace {

class ProgramFile : public ::testing::Test, protected FreshCore {
protected:
    void SetUp() override {
        // One folder per test: ctest runs tests in parallel processes.
        dir = fs::temp_directory_path() /
              (std::string("qz_program_") +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    Text PathIn(const char* name) { return (dir / name).u16string(); }
    fs::path dir;
};

TEST_F(ProgramFile, ReadsEveryByteUnchangedAndClearsThePasteFlag) {
    Text path = PathIn("prog.bas");
    ASSERT_TRUE(WriteWholeFile(path, std::string("10 PRINT \"Caf\xE9\"\r\n20 END\rX\n\0Y", 29)));
    S.App.TextFromPaste = true;
    EXPECT_EQ(ReadProgramFile(S, path), Text(u"10 PRINT \"Caf\u00e9\"\r\n20 END\rX\n\0Y", 29));
    EXPECT_FALSE(S.App.TextFromPaste);
    EXPECT_EQ(LogText(S), u"");
}

TEST_F(ProgramFile, MissingFileIsReportedAndNotCreated) {
    Text path = PathIn("missing.bas");
    S.App.TextFromPaste = true;
    long pumps = Front.Pumps;
    EXPECT_EQ(ReadProgramFile(S, path), u"");
    EXPECT_EQ(LogText(S), u"File read failed!!");
    EXPECT_GT(Front.Pumps, pumps);
    EXPECT_FALSE(S.App.TextFromPaste);
    EXPECT_FALSE(FileExists(path));

    // A folder is no program file either, and the log says why.
    ClearLog(S);
    EXPECT_EQ(ReadProgramFile(S, dir.u16string()), u"");
    EXPECT_EQ(LogText(S), u"File read failed!!\r\n" + Text(dir.u16string()) +
                              u" is not a regular file; only files can be read.");
}

TEST_F(ProgramFile, EmptyPathGivesEmptyTextSilently) {
    S.App.TextFromPaste = true;
    EXPECT_EQ(ReadProgramFile(S, u""), u"");
    EXPECT_EQ(LogText(S), u"");
    EXPECT_FALSE(S.App.TextFromPaste);
}

TEST(LineModel, CrLfAndLfWalkToTheSameLines) {
    std::vector<Text> expected{u"10 A=1", u"20 B=2", u"", u"30 END"};
    EXPECT_EQ(WalkLines(u"10 A=1\r\n20 B=2\r\n\r\n30 END\r\n"), expected);
    EXPECT_EQ(WalkLines(u"10 A=1\n20 B=2\n\n30 END\n"), expected);
    // No final line end, a lone CR (old Mac files) and a CR CR LF each end one line.
    EXPECT_EQ(WalkLines(u"10 A=1\r20 B=2\r\r\n\r\n30 END"), expected);
    EXPECT_EQ(WalkLines(u"10 A=1\r20 B=2\r\r30 END\r"), expected);
}

TEST(LineModel, EdgeTexts) {
    EXPECT_EQ(WalkLines(u""), std::vector<Text>{u""});
    EXPECT_EQ(WalkLines(u"\r\r"), (std::vector<Text>{u"", u""}));
    EXPECT_EQ(WalkLines(u"\n"), std::vector<Text>{u""});
    EXPECT_EQ(WalkLines(u"\n\n"), (std::vector<Text>{u"", u""}));
    EXPECT_EQ(WalkLines(Text(u"a\0b\nc", 5)), (std::vector<Text>{Text(u"a\0b", 3), u"c"}));
    EXPECT_EQ(NormaliseLineEnds(u"a\r\nb"), u"a\nb\n");
    EXPECT_EQ(NormaliseLineEnds(u""), u"\n");

    Text longLine(1 << 20, u'x');
    auto lines = WalkLines(longLine);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], longLine);
}

TEST(LineModel, FirstLineAndDropFirstLine) {
    EXPECT_EQ(FirstLine(u"'encode\r\nA=1\n"), u"'encode\r");  // the CR stays
    EXPECT_EQ(DropFirstLine(u"'encode\r\nA=1\n"), u"A=1\n");
    EXPECT_EQ(FirstLine(u"'encode"), u"");             // no LF: no first line at all
    EXPECT_EQ(DropFirstLine(u"'encode"), u"'encode");  // and nothing is dropped
    EXPECT_EQ(FirstLine(u"\nA"), u"");
    EXPECT_EQ(DropFirstLine(u"\nA"), u"A");
    EXPECT_EQ(DropFirstLine(u"A\n"), u"");
}

}  // namespace
