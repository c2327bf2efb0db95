#include <filesystem>

#include <gtest/gtest.h>

#include "app/program_files.h"
#include "source/crunch.h"
#include "source/encoded.h"
#include "source/files.h"
#include "tests/support/fresh_core.h"
#include "ui/log.h"

namespace fs = std::filesystem;

namespace {

// Every character the code page has, line ends of both kinds, and no zero byte.
Text EveryCodePageCharacter() {
    std::string bytes;
    for (int round = 0; round < 3; ++round) {
        for (int b = 1; b < 256; ++b)
            bytes += static_cast<char>(b);
        bytes += "\r\n10 PRINT \"x\"\n";
    }
    return TextFromAnsi(bytes);
}

class EncodedFile : public ::testing::Test, protected FreshCore {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              (std::string("qz_encoded_") +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
        S.App.ProgramFolder = dir.u16string() + u"/";
    }
    void TearDown() override { fs::remove_all(dir); }
    Text PathIn(const char* name) { return (dir / name).u16string(); }
    // Encodes through the save dialog and reads the file back as the decoder would.
    Text SaveAndDecode(TextView text, const char* typedName) {
        Front.SaveName = PathIn(typedName);
        EncodeAndSave(S, text);
        S.App.ProgramPath = WithDefaultExtension(Front.SaveName);
        return DecodeEncodedFile(S);
    }
    fs::path dir;
};

TEST_F(EncodedFile, RoundTripRestoresTheTextByteForByte) {
    Text text = EveryCodePageCharacter();
    std::string bytes = EncodeProgramBytes(text);
    ASSERT_EQ(bytes.size(), text.size() + 5);
    EXPECT_EQ(bytes.substr(0, 5), "QZHEX");
    EXPECT_EQ(bytes.substr(5).find('\0'), std::string::npos);
    EXPECT_NE(bytes.substr(5), AnsiFromText(text));
    EXPECT_EQ(DecodeProgramBytes(bytes), text);
    EXPECT_EQ(EncodeProgramBytes(text), bytes);  // equal programs give equal files
}

TEST_F(EncodedFile, ShortAndDamagedFilesDecodeWithoutFault) {
    EXPECT_EQ(DecodeProgramBytes(""), u"");
    EXPECT_EQ(DecodeProgramBytes("QZH"), u"");
    EXPECT_EQ(DecodeProgramBytes("QZHEX"), u"");
    EXPECT_EQ(EncodeProgramBytes(u""), "QZHEX");

    // A cut-off file gives the start of the program: the keystream depends on position only.
    Text text = EveryCodePageCharacter();
    std::string bytes = EncodeProgramBytes(text);
    for (size_t keep : {6, 20, 21, 100, 500})
        EXPECT_EQ(DecodeProgramBytes(bytes.substr(0, keep)), text.substr(0, keep - 5)) << keep;

    // A zero byte ends the text; zero bytes pass the cipher unchanged.
    std::string withZero = EncodeProgramBytes(Text(u"AB\0CD", 5));
    EXPECT_EQ(withZero[7], '\0');
    EXPECT_EQ(DecodeProgramBytes(withZero), u"AB");
}

TEST_F(EncodedFile, SavedFileIsMagicAndEncipheredText) {
    Text text = u"10 PRINT \"Hello\"\r\n20 END\r\n";
    EXPECT_EQ(SaveAndDecode(text, "hello"), text);
    Text saved = PathIn("hello.bae");
    EXPECT_EQ(LogText(S), u"Saving to " + saved);
    auto bytes = ReadWholeFile(saved);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, EncodeProgramBytes(text));

    // A typed .txt name is kept as it is.
    EXPECT_EQ(SaveAndDecode(text, "hello.txt"), text);
    EXPECT_TRUE(FileExists(PathIn("hello.txt")));
    EXPECT_FALSE(FileExists(PathIn("hello.txt.bae")));
}

TEST_F(EncodedFile, CancelledDialogWritesNothing) {
    Front.SaveName.clear();
    EncodeAndSave(S, u"A=1\n");
    EXPECT_EQ(LogText(S), u"");
    EXPECT_TRUE(fs::is_empty(dir));
}

TEST_F(EncodedFile, UnwritableFileIsReported) {
    Front.SaveName = PathIn("no/such/folder/prog");
    EncodeAndSave(S, u"A=1\n");
    EXPECT_EQ(LogText(S),
              u"Saving to " + PathIn("no/such/folder/prog.bae") + u"\r\nFile write failed!!");
}

TEST_F(EncodedFile, CrunchThisCrunchesBeforeEncoding) {
    Text rest = u"10 A  =  1 ' set\n\n20 PRINT \"a  b\"\n";
    EXPECT_EQ(SaveAndDecode(u"' Crunch This please\n" + rest, "c1"), Crunch(rest));
    EXPECT_EQ(LogText(S).substr(0, 23), u"Crunching source code.\r");

    // Without the directive the text is stored as it is.
    ClearLog(S);
    EXPECT_EQ(SaveAndDecode(u"'no crunch\n" + rest, "c2"), u"'no crunch\n" + rest);
    EXPECT_EQ(LogText(S).find(u"Crunching"), Text::npos);
}

TEST_F(EncodedFile, CrunchThisNeverDropsACodeLine) {
    // The directive on the second line, or after code on the first: the code stays.
    EXPECT_EQ(SaveAndDecode(u"A=1\n'crunch this\nB  =  2\n", "d1"), u"A=1\r\nB = 2\r\n");
    EXPECT_EQ(SaveAndDecode(u"A=1 'crunch this\nB=2\n", "d2"), u"A=1\r\nB=2\r\n");
}

TEST_F(EncodedFile, DecodingAMissingFileGivesEmptyText) {
    S.App.ProgramPath = PathIn("gone.bae");
    EXPECT_EQ(DecodeEncodedFile(S), u"");
    S.App.ProgramPath.clear();
    EXPECT_EQ(DecodeEncodedFile(S), u"");
    EXPECT_FALSE(FileExists(PathIn("gone.bae")));
}

TEST(DefaultExtension, AddedOnlyWhenTheFileNameHasNone) {
    EXPECT_EQ(WithDefaultExtension(u"C:\\code\\prog"), u"C:\\code\\prog.bae");
    EXPECT_EQ(WithDefaultExtension(u"C:\\code\\prog.txt"), u"C:\\code\\prog.txt");
    EXPECT_EQ(WithDefaultExtension(u"/home/u/prog.bas"), u"/home/u/prog.bas");
    // The last dot belongs to a folder, or a blank stands after it: no extension.
    EXPECT_EQ(WithDefaultExtension(u"C:\\my.code\\prog"), u"C:\\my.code\\prog.bae");
    EXPECT_EQ(WithDefaultExtension(u"/a/my.code/prog"), u"/a/my.code/prog.bae");
    EXPECT_EQ(WithDefaultExtension(u"C:\\v1.0 prog"), u"C:\\v1.0 prog.bae");
    // A leading dot alone is no extension; a later dot is.
    EXPECT_EQ(WithDefaultExtension(u"C:\\code\\.prog"), u"C:\\code\\.prog.bae");
    EXPECT_EQ(WithDefaultExtension(u".prog"), u".prog.bae");
    EXPECT_EQ(WithDefaultExtension(u"C:\\code\\.prog.txt"), u"C:\\code\\.prog.txt");
    // A dot with nothing after it gives no extension either.
    EXPECT_EQ(WithDefaultExtension(u"prog."), u"prog..bae");
}

}  // namespace
