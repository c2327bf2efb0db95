// The upload job end to end against the simulated board over a pseudo-terminal.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "app/commands.h"
#include "app/session.h"
#include "app/upload.h"
#include "source/files.h"
#include "tests/support/board_peer.h"
#include "tests/support/fresh_core.h"
#include "tests/support/uf2_image.h"
#include "ui/controls.h"
#include "ui/log.h"

namespace fs = std::filesystem;

namespace {

// A logged reply without the terminal modes a board sends around its prompt.
Text WithoutModes(TextView reply) {
    Text out;
    for (size_t i = 0; i < reply.size(); ++i) {
        if (reply[i] != 0x1B) {
            out += reply[i];
            continue;
        }
        for (i += 2; i < reply.size() && (reply[i] < 0x40 || reply[i] > 0x7E); ++i) {
        }
    }
    return out;
}

class UploadJob : public ::testing::Test, protected FreshCore {
protected:
    void SetUp() override {
        RecordAppends(&appended);
        S.App.LineDelay = 100;
        work = FreshFolder("qz-upload");
    }
    void TearDown() override {
        S.Port.Close();
        StopBoard(board);
        fs::remove_all(work);
    }

    // Starts the board and points the port and baud-rate boxes at it.
    void Board(std::vector<std::string> options = {}) {
        options.insert(options.begin(), {"--personality", personality});
        board = StartBoard(options);
        Text tty = TextFromUtf8(board.Tty);
        S.Window.PortBox.Items = {tty};
        S.Window.PortBox.Selected = 0;
        SelectByText(S.Window.BaudBox, u"115200");
        S.App.Comport = tty;
        S.App.SerialSpeed = u"115200";
    }

    fs::path WriteFile(const std::string& name, const std::string& bytes) {
        fs::path p = work / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }

    void Drop(const fs::path& p) { OnFilesDropped(S, Text(p.u16string())); }

    bool Logged(TextView line) const {
        for (const Text& a : appended)
            if (WithoutModes(a) == line) return true;
        return false;
    }
    static std::string StoredFileIn(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::string Transcript() const { return StoredFile(board, "transcript.log"); }

    std::vector<Text> appended;
    BoardPeer board;
    fs::path work;
    std::string personality = "plain";
};

// The tests that run against both personalities of the simulated board: the plain one, and
// the one with decorated and double prompts, chunked echo and slow saves.
class EitherBoard : public UploadJob, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        UploadJob::SetUp();
        personality = GetParam();
    }
};
INSTANTIATE_TEST_SUITE_P(Personality, EitherBoard, ::testing::Values("plain", "picomite"));

std::string Program(int lines) {
    std::string text;
    for (int i = 1; i <= lines; ++i)
        text += "Print \"line " + std::to_string(i) + "\"\r\n";
    return text;
}

TEST_P(EitherBoard, PlainUploadLogsTheStepsInOrderAndTheBoardStoresTheProgram) {
    Board();
    Drop(WriteFile("prog.bas", "Print \"hello\"\r\nPrint 6 * 7\r\n"));
    EXPECT_EQ(LastJobOutcome(S), JobOutcome::Completed);
    ASSERT_GE(appended.size(), 11u);
    EXPECT_EQ(appended[0], Text((work / "prog.bas").u16string()));
    EXPECT_EQ(appended[1], u"Uploading using default settings");
    EXPECT_EQ(appended[2], u"Micromite upload started");
    EXPECT_EQ(appended[3], u"Connected to micromite at 115200");
    EXPECT_TRUE(Contains(appended[4], u"NEW"));       // the reply to NEW
    EXPECT_TRUE(Contains(appended[5], u"AUTOSAVE"));  // the reply to the start command
    EXPECT_EQ(appended[7], u"Micromite upload completed");
    EXPECT_EQ(appended[8], u"");
    EXPECT_TRUE(Contains(appended[9], u"hello"));  // the reply to RUN holds the output
    EXPECT_EQ(appended.back(), u"Disconnected.");
    EXPECT_EQ(appended.size(), 11u);
    EXPECT_EQ(StoredFile(board, "program.bas"), "Print \"hello\"\nPrint 6 * 7\n");
    EXPECT_FALSE(S.Window.CancelShown);
    EXPECT_FALSE(S.Window.ProgramShown);
    EXPECT_EQ(S.Window.ProgressLabel, u"");
}

TEST_P(EitherBoard, FastModeStoresEveryLineAndLogsTheStepsAsTheDefaultDoes) {
    Board({"--line-speed", "--echo-delay", "1"});
    Drop(WriteFile("p.bas", "'onload fast\r\n" + Program(60)));
    EXPECT_EQ(LastJobOutcome(S), JobOutcome::Completed);
    std::string stored;
    for (int i = 1; i <= 60; ++i)
        stored += "Print \"line " + std::to_string(i) + "\"\n";
    EXPECT_EQ(StoredFile(board, "program.bas"), stored);
    // As the default's log, less "Uploading using default settings": the options line chose.
    ASSERT_EQ(appended.size(), 10u);
    EXPECT_TRUE(Contains(appended[3], u"NEW"));
    EXPECT_TRUE(Contains(appended[4], u"AUTOSAVE"));
    EXPECT_TRUE(Contains(appended[5], u"Saved"));  // the end waited for the board's answer
    EXPECT_EQ(appended[6], u"Micromite upload completed");
    // RUN's output was gathered up to the prompt that follows it.
    EXPECT_TRUE(Contains(WithoutModes(appended[8]), u"line 60\r\n> "));
    EXPECT_EQ(appended.back(), u"Disconnected.");

    // The command profile's lines are commands: each answer is logged whole, as by default,
    // though it holds a ">".
    appended.clear();
    Drop(WriteFile("c.bas", "'onload command fast\r\nprint 6*7\r\nprint \"a>b\"\r\n"));
    EXPECT_EQ(LastJobOutcome(S), JobOutcome::Completed);
    // A board that answers CR LF with two prompts has them both in the one answer.
    Text twice = personality == "plain" ? u"" : u"\r\n> ";
    EXPECT_TRUE(Logged(u"print 6*7\r\n42\r\n> " + twice));
    EXPECT_TRUE(Logged(u"print \"a>b\"\r\na>b\r\n> " + twice));
}

TEST_P(EitherBoard, FastModeStopsAtARejectedLineAndRunsNothingAfterIt) {
    // Line 5 is too long for the board, which leaves program entry; the start of line 6
    // may have gone ahead, but it must never be ended, and line 7 never sent.
    Board({"--line-speed"});
    std::string program = "'onload fast\r\n" + Program(3) + "x = \"" + std::string(300, 'y') +
                          "\"\r\nPrint \"six ran\"\r\nPrint \"seven ran\"\r\n";
    Drop(WriteFile("p.bas", program));
    EXPECT_EQ(LastJobOutcome(S), JobOutcome::Rejected);
    EXPECT_TRUE(Logged(u"Error: Line length"));
    std::string t = Transcript();
    EXPECT_EQ(t.find("six ran\"\r"), std::string::npos);
    EXPECT_EQ(t.find("seven"), std::string::npos);
}

TEST_F(UploadJob, EveryProfileOpensAndClosesProgramEntryItsOwnWay) {
    // A board whose Ctrl-C abandons AUTOSAVE stores nothing for picromite: no RUN follows.
    struct Case {
        Text device;
        std::string start, end;
        bool run, fresh;
    } cases[] = {
        {u"micromite", "AUTOSAVE\r\n", "\x1a", true, true},
        {u"maximite", "AUTO\r\n", "\x03", true, true},
        {u"picromite", "AUTOSAVE\r\n", "\x03", false, true},
        {u"picomite", "AUTOSAVE\r\n", "\x1a", true, true},
        {u"cmm2", "AUTOSAVE \"temp.bas\"\r\n", "\x1b[11~", false, true},
        {u"command", "", "", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8FromText(c.device));
        Board();
        S.App.Device = c.device;
        Drop(WriteFile("p.bas", "Print 1\r\n"));
        std::string t = Transcript();
        EXPECT_EQ(t.find("NEW\r\n") != std::string::npos, c.fresh);
        EXPECT_EQ(t.find("RUN\r\n") != std::string::npos, c.run);
        size_t line = t.find("Print 1\r\n");
        ASSERT_NE(line, std::string::npos);
        if (!c.start.empty()) {
            EXPECT_NE(t.rfind(c.start, line), std::string::npos);
        }
        if (!c.end.empty()) {
            EXPECT_EQ(t.substr(line + 9, c.end.size()), c.end);
        }
        bool stored = !c.end.empty() && c.device != u"picromite";
        EXPECT_EQ(Logged(u"Micromite upload completed"), stored);
        EXPECT_EQ(LastJobOutcome(S) == JobOutcome::BoardDidNotSave, c.device == u"picromite");
        StopBoard(board);
    }
}

TEST_F(UploadJob, TheCommandProfileLogsTheBoardsAnswers) {
    Board();
    S.App.Device = u"command";
    Drop(WriteFile("c.bas", "print 6 * 7\r\nprint \"done\"\r\n"));
    EXPECT_EQ(LastJobOutcome(S), JobOutcome::Completed);
    EXPECT_TRUE(Logged(u"print 6 * 7\r\n42\r\n> "));
    EXPECT_TRUE(Logged(u"print \"done\"\r\ndone\r\n> "));
}

TEST_F(UploadJob, OptionsLineChoosesProfileAndNameAndIsNotSent) {
    Board();
    Drop(WriteFile(
        "Game.bas",
        "'onload cmm2 file/* settime\r\nPrint \"x\"\r\n'onload norun\r\n  'echo  hi\r\n"));
    std::string t = Transcript();
    EXPECT_NE(t.find("AUTOSAVE \"Game.bas\"\r\n"), std::string::npos);
    EXPECT_NE(t.find("date$ = \""), std::string::npos);
    EXPECT_EQ(t.find("'onload"), std::string::npos);
    EXPECT_EQ(t.find("'echo"), std::string::npos);
    EXPECT_NE(t.find("Print \"x\"\r\n\x1b[12~"), std::string::npos);
    EXPECT_EQ(t.find("RUN\r\n"), std::string::npos);
    EXPECT_TRUE(Logged(u" hi"));
    EXPECT_TRUE(Logged(u"Setting clock"));
}

TEST_F(UploadJob, CollectionEntryOptionsGoInFront) {
    Board();
    S.App.Collection.push_back(u"mybox|'onload maximite setrtc");
    S.Window.CollectionEntry = S.App.Collection.back();
    Drop(WriteFile("p.bas", "Print 2\r\n"));
    EXPECT_TRUE(Logged(u"Uploading using mybox settings"));
    EXPECT_TRUE(Logged(u"Setting RTC"));
    std::string t = Transcript();
    EXPECT_NE(t.find("RTC SETTIME 20"), std::string::npos);
    EXPECT_NE(t.find("AUTO\r\n"), std::string::npos);
    EXPECT_NE(t.find("Print 2\r\n\x03"), std::string::npos);
}

TEST_F(UploadJob, PinAcceptedRejectedEmptyAndUnanswered) {
    Board({"--pin", "1234"});
    Front.Answer = u"1234";
    Drop(WriteFile("p.bas", "Print 3\r\n"));
    EXPECT_TRUE(Logged(u"Sending PIN"));
    EXPECT_TRUE(Logged(u"PIN accepted"));
    EXPECT_EQ(LastJobOutcome(S), JobOutcome::Completed);
    StopBoard(board);

    Board({"--pin", "1234"});
    Front.Answer = u"9999";
    Drop(WriteFile("p.bas", "Print 3\r\n"));
    EXPECT_TRUE(Logged(u"Wrong PIN"));
    EXPECT_TRUE(Logged(u"Aborting upload"));
    EXPECT_EQ(appended.back(), u"Disconnected.");
    EXPECT_EQ(LastJobOutcome(S), JobOutcome::WrongPin);
    EXPECT_EQ(StoredFile(board, "transcript.log").find("NEW"), std::string::npos);
    StopBoard(board);

    Board({"--pin", "1234"});
    Front.Answer = u"";
    Drop(WriteFile("p.bas", "Print 3\r\n"));
    EXPECT_FALSE(Logged(u"Sending PIN"));
    EXPECT_TRUE(Logged(u"Aborting upload"));
    StopBoard(board);
}

TEST_F(UploadJob, PinNeverAnsweredCountsAsWrongAfterTwentyChecks) {
    Board({"--pin", "1234", "--pin-silent"});
    Front.Answer = u"1234";
    Drop(WriteFile("p.bas", "Print 3\r\n"));
    EXPECT_TRUE(Logged(u"Wrong PIN"));
    EXPECT_EQ(LastJobOutcome(S), JobOutcome::WrongPin);
}

TEST_F(UploadJob, CancelIsNoticedAtTheTenthLines) {
    // Pressed while lines 11 to 20 go out: the pump after line 20 reports it.
    Board();
    CancelAtLabel(u"10/25", 1);
    Drop(WriteFile("p.bas", Program(25)));
    EXPECT_EQ(LastJobOutcome(S), JobOutcome::Aborted);
    EXPECT_TRUE(Logged(u"Program upload aborted"));
    std::string t = Transcript();
    EXPECT_NE(t.find("line 20\""), std::string::npos);
    EXPECT_EQ(t.find("line 21\""), std::string::npos);
    StopBoard(board);

    // A press after line 20 is never looked at: the upload completes.
    Board();
    CancelAtLabel(u"20/25", 1);
    Drop(WriteFile("p.bas", Program(25)));
    EXPECT_EQ(LastJobOutcome(S), JobOutcome::Completed);
    EXPECT_NE(Transcript().find("line 25\""), std::string::npos);
}

TEST_F(UploadJob, ABoardThatNeverAnswersOrLosesEchoesStillEndsTheJobButNotAsSuccess) {
    Board({"--silent"});
    S.App.Device = u"command";  // no NEW: keeps the silent waits short
    Drop(WriteFile("p.bas", "Print 1\r\n"));
    EXPECT_EQ(appended[appended.size() - 2], u"Disconnected.");
    EXPECT_EQ(appended.back(), u"No reply from the board: check the port and the baud rate");
    EXPECT_EQ(LastJobOutcome(S), JobOutcome::NoReply);
    StopBoard(board);

    // The third line's echo is lost: the job runs to its end, then says so.
    Board({"--lose-echo", "3"});
    S.App.Device = u"micromite";
    S.App.Retries = 0;
    appended.clear();
    Drop(WriteFile("p.bas", Program(3)));
    EXPECT_TRUE(Logged(u"Micromite upload completed"));
    EXPECT_EQ(appended.back(), u"1 line was not echoed");
    EXPECT_EQ(LastJobOutcome(S), JobOutcome::NotEchoed);
}

TEST_F(UploadJob, RunOutputComesWhole) {
    Board();
    std::string row(46, 'r');
    Drop(WriteFile("p.bas", "For i = 1 To 100\r\nPrint \"" + row + "\"\r\nNext i\r\n"));
    EXPECT_EQ(LastJobOutcome(S), JobOutcome::Completed);
    // 4800 bytes, more than the terminal layer's line buffer holds.
    const Text& reply = appended[appended.size() - 2];
    size_t rows = 0;
    for (size_t at = reply.find(TextFromUtf8(row)); at != Text::npos;
         at = reply.find(TextFromUtf8(row), at + 1))
        ++rows;
    EXPECT_EQ(rows, 100u);
}

TEST_P(EitherBoard, ABoardThatTurnsALineDownStopsTheUploadAndSaysWhich) {
    // A 300-character line on line 5 of 10: the board takes 241, says why, and leaves
    // program entry; nothing after it may reach the board, where it would run as a command.
    Board();
    // A line that itself holds "Error" and "> " is only echoed: it does not count.
    std::string program = "Print \"Error > 3\"\r\n" + Program(3) + "Print \"" +
                          std::string(290, 'y') + "\"\r\n" + Program(5);
    Drop(WriteFile("p.bas", program));
    EXPECT_EQ(LastJobOutcome(S), JobOutcome::Rejected);
    EXPECT_TRUE(Logged(u"Error: Line length"));
    EXPECT_TRUE(Logged(u"The board rejected line 5: Print \"yyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyy..."));
    EXPECT_TRUE(Logged(u"Program upload aborted"));
    EXPECT_FALSE(Logged(u"Micromite upload completed"));
    EXPECT_EQ(appended.back(), u"Disconnected.");
    std::string t = Transcript();
    EXPECT_EQ(t.find("line 5\""), std::string::npos);  // the 5 lines after it: none sent
    EXPECT_EQ(t.find("RUN\r\n"), std::string::npos);
    StopBoard(board);

    // A line holding a character that ends program entry is reported before connecting.
    Board();
    appended.clear();
    Drop(WriteFile("p.bas", "Print \"Error > 0\"\r\nPrint \"\x1a\"\r\n"));
    EXPECT_EQ(LastJobOutcome(S), JobOutcome::Rejected);
    EXPECT_EQ(appended.back(),
              u"A Ctrl-Z character would end program entry at line 2: Print \"\x1a\"");
    EXPECT_FALSE(Logged(u"Micromite upload started"));
    EXPECT_EQ(Transcript(), "");
}

TEST_F(UploadJob, AGarbledLineEndsTheTryBeforeAnythingIsSavedAndTheNextTryGetsThrough) {
    // This seed loses one character of the fifth program line on the first try only.
    Board({"--noise", "0.005", "--noise-seed", "1"});
    Drop(WriteFile("p.bas", "'onload norun\r\n" + Program(20)));
    EXPECT_EQ(LastJobOutcome(S), JobOutcome::Completed);
    EXPECT_TRUE(Logged(u"Line 6 was garbled: Print \"line 5\""));
    EXPECT_TRUE(Logged(u"The board echoed instead: Print\"line 5\""));
    EXPECT_TRUE(Logged(u"Line 6 was garbled; trying again (2 of 2)"));
    std::string stored;
    for (int i = 1; i <= 20; ++i)
        stored += "Print \"line " + std::to_string(i) + "\"\n";
    EXPECT_EQ(StoredFile(board, "program.bas"), stored);
    // After the garbled line only Ctrl-C went out, then the next try's Ctrl-C and NEW; the
    // board threw the damaged entry away.
    std::string t = Transcript();
    size_t garbled = t.find("Print \"line 5\"\r\n");
    EXPECT_EQ(t.substr(garbled, t.find("NEW", garbled) - garbled), "Print \"line 5\"\r\n\x03\x03");
    EXPECT_EQ(StoredFile(board, "noise.log"),
              "program line 5: lost ' '\nabandoned a damaged program\n");
}

TEST_F(UploadJob, ProgramTextByXmodemGetsThroughANoisyWire) {
    // A plain AUTOSAVE board takes it into program memory; the blocks the noise hit go again.
    Board({"--noise", "0.005", "--noise-seed", "2"});
    Drop(WriteFile("p.bas", "'onload xmodem fast\r\n  'echo by XMODEM\r\n" + Program(40)));
    EXPECT_EQ(LastJobOutcome(S), JobOutcome::Completed);
    std::string stored;
    for (int i = 1; i <= 40; ++i)
        stored += "Print \"line " + std::to_string(i) + "\"\n";
    EXPECT_EQ(StoredFile(board, "program.bas"), stored);
    EXPECT_NE(StoredFile(board, "noise.log").find("xmodem: "), std::string::npos);
    EXPECT_TRUE(Logged(u"by XMODEM"));
    EXPECT_TRUE(Logged(u"Transfer completed OK!"));
    EXPECT_NE(StoredFile(board, "run-output.txt").find("line 40\n"), std::string::npos);
    StopBoard(board);

    // A board with a file system receives the named file and loads it; this one asks for
    // the checksum.
    Board({"--xmodem", "checksum"});
    appended.clear();
    Drop(WriteFile("c.bas", "'onload cmm2 xmodem fast file/x.bas\r\nPrint 6*7\r\n"));
    EXPECT_EQ(LastJobOutcome(S), JobOutcome::Completed);
    EXPECT_EQ(StoredFile(board, "x.bas"), "Print 6*7\r\n" + std::string(117, '\0'));
    EXPECT_TRUE(Logged(u"LOAD \"x.bas\"\r\n> "));
    EXPECT_EQ(StoredFile(board, "run-output.txt"), "42\n");
}

TEST_F(UploadJob, ABoardThatVanishesAbortsInsteadOfReportingSuccess) {
    Board({"--vanish-after-lines", "3"});
    Drop(WriteFile("p.bas", Program(40)));
    EXPECT_EQ(LastJobOutcome(S), JobOutcome::PortVanished);
    EXPECT_TRUE(Logged(u"Program upload aborted"));
    EXPECT_FALSE(Logged(u"Micromite upload completed"));
    EXPECT_EQ(appended.back(), u"Disconnected.");

    // Unplugged during XMODEM: the port's going is the outcome, not a failed transfer.
    StopBoard(board);
    Board();
    Front.OnProgressLabel = [&](TextView label) {
        if (label == u"3/40") StopBoard(board);
    };
    Drop(WriteFile("data.dat", std::string(40 * 128, 'd')));
    EXPECT_EQ(LastJobOutcome(S), JobOutcome::PortVanished);
    EXPECT_TRUE(Logged(u"The port went away during the transfer"));
}

TEST_F(UploadJob, NoPortSetOrAMissingPortLeavesProgramVisible) {
    S.App.Comport = u"not set";
    S.App.ProgramText = u"Print 1\r\n";
    S.App.Device = u"command";
    S.Window.CollectionEntry = u"x|'onload micromite";  // keeps the port as it is
    RunUploadJob(S);
    EXPECT_TRUE(Logged(u"Set port number then run 'Program'"));
    EXPECT_EQ(appended.back(), u"Disconnected.");
    EXPECT_TRUE(S.Window.ProgramShown);
    EXPECT_EQ(LastJobOutcome(S), JobOutcome::NoPort);

    appended.clear();
    S.App.Comport = TextFromUtf8((work / "no-such-tty").string());
    RunUploadJob(S);
    EXPECT_TRUE(Logged(u"Micromite Not found!"));
    EXPECT_TRUE(S.Window.ProgramShown);
}

TEST_F(UploadJob, EncodeRequestWritesAFileAndDecodingStreamsItBack) {
    fs::path encoded = work / "out";
    Front.SaveName = Text(encoded.u16string());
    Drop(WriteFile("src.bas", "'ENCODE crunch\r\nPrint   \"a\"   ' note\r\nPrint 2\r\n"));
    EXPECT_TRUE(Logged(u"Crunching source code."));
    EXPECT_TRUE(Logged(u"Encoding completed."));
    EXPECT_TRUE(Logged(u"Saving to " + Text(encoded.u16string()) + u".bae"));
    ASSERT_TRUE(fs::exists(work / "out.bae"));
    EXPECT_EQ(fs::file_size(work / "out.bae"), 5u + 20u);  // Print "a"\r\nPrint 2\r\n

    // Named on the command line it is deciphered and streamed; dropped it goes by XMODEM
    // unless the text types list "bae".
    Board();
    S.App.TextTypes = u"bas bae";
    Drop(work / "out.bae");
    EXPECT_EQ(StoredFile(board, "program.bas"), "Print \"a\"\nPrint 2\n");

    // One that holds no text is nothing to load: no NEW wipes the board's program.
    appended.clear();
    Drop(WriteFile("empty.bae", "QZHEX"));
    EXPECT_EQ(appended.back(), u"Nothing to load.");
    EXPECT_EQ(LastJobOutcome(S), JobOutcome::NothingToLoad);
    EXPECT_EQ(StoredFile(board, "program.bas"), "Print \"a\"\nPrint 2\n");
}

// An encoded file replaces an old one whole or not at all, a device is written as named, a
// failed write is reported, and an encoded file whose text asks to be encoded is not
// enciphered a second time.
TEST_F(UploadJob, EncodedOutputReplacesWholeAndIsNeverEncipheredTwice) {
    fs::path source = WriteFile("src.bas", "'encode\r\nPrint 1\r\n");
    Front.SaveName = Text((work / "out.bae").u16string());
    Drop(source);
    EXPECT_EQ(LastJobOutcome(S), JobOutcome::Completed);
    // Replacing goes through a fresh file: the old one is never cut short (a hard link to it
    // keeps its bytes).
    fs::create_hard_link(work / "out.bae", work / "old.bae");
    std::string old = StoredFileIn(work / "old.bae");
    Drop(WriteFile("src2.bas", "'encode\r\nPrint 22\r\n"));
    EXPECT_EQ(LastJobOutcome(S), JobOutcome::Completed);
    EXPECT_EQ(StoredFileIn(work / "old.bae"), old);
    EXPECT_NE(StoredFileIn(work / "out.bae"), old);
    Front.SaveName = u"/dev/full";
    Drop(source);
    EXPECT_EQ(LastJobOutcome(S), JobOutcome::NotSaved);
    EXPECT_TRUE(Logged(u"File write failed!!"));
    EXPECT_FALSE(fs::exists("/dev/full.bae"));
    Front.SaveName = Text((work / "twice").u16string());
    Drop(WriteFile("twice.bas", "'encode\r\n'encode\r\nPrint 3\r\n"));
    ASSERT_TRUE(fs::exists(work / "twice.bae"));
    Front.SaveName = Text((work / "twice.bae").u16string());
    OnFilesDropped(S, Text((work / "twice.bae").u16string()), UploadAs::ProgramText);
    EXPECT_EQ(LastJobOutcome(S), JobOutcome::NotSaved);
    EXPECT_FALSE(fs::exists(work / "twice.bae.bae"));
}

TEST_P(EitherBoard, DroppedFilesGoByTheirExtension) {
    Board();
    std::string data(300, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 7);
    Drop(WriteFile("picture.bmp", data));
    EXPECT_TRUE(Logged(u"Sending: picture.bmp"));
    EXPECT_TRUE(Logged(u"Blocks: 3"));
    EXPECT_TRUE(Logged(u"Transfer completed OK!"));
    EXPECT_EQ(StoredFile(board, "picture.bmp").substr(0, 300), data);

    appended.clear();
    Drop(WriteFile("PROG.BAS", "Print 1\r\n"));  // capitals match the text types
    EXPECT_TRUE(Logged(u"Micromite upload started"));

    // Firmware: no firmware port set is reported and nothing is opened.
    appended.clear();
    S.App.PicoPort = u"not set";
    Drop(WriteFile("fw.UF2", Uf2Image(2)));
    EXPECT_TRUE(Logged(u"Set port number then run 'Program'"));
    EXPECT_TRUE(S.Window.SecondProgramShown);
    EXPECT_FALSE(S.App.FirmwarePending);
    // A file that is not whole UF2 blocks, or no file, is refused before the board is reset.
    S.App.PicoPort = TextFromUtf8(board.Tty);
    for (const fs::path& bad : {work / "missing.uf2", WriteFile("text.uf2", "firmware"),
                                WriteFile("cut.uf2", Uf2Image(2).substr(0, 1000))}) {
        Drop(bad);
        EXPECT_EQ(LastJobOutcome(S), JobOutcome::FirmwareRefused) << bad;
        EXPECT_FALSE(S.App.FirmwarePending);
    }
    EXPECT_TRUE(Logged(u"Firmware not installed: " + Text((work / "cut.uf2").u16string()) +
                       u" is not a UF2 file (block 2 lacks the UF2 marks)."));
}

TEST_F(UploadJob, UnreadableDroppedFileIsReportedAndNothingIsCreated) {
    Drop(work / "missing.bas");
    EXPECT_TRUE(Logged(u"File read failed!!"));
    EXPECT_TRUE(Logged(u"Nothing to load."));
    EXPECT_FALSE(fs::exists(work / "missing.bas"));
}

// Names that would break out of the board's quoted command, and files that never end or
// would exhaust memory: each is refused with a log line, the board hears nothing of it.
TEST_F(UploadJob, HostileNamesAndEndlessFilesAreRefusedBeforeAnythingIsSent) {
    Board();
    Drop(WriteFile("a\":KILL \"program.bas\":NEW:\"b.dat", "data"));
    EXPECT_TRUE(
        Logged(u"Not sent: the board cannot take the file name a\":KILL "
               u"\"program.bas\":NEW:\"b.dat (it holds a double quote)."));
    auto refused = [&] {
        for (const Text& a : appended)
            if (StartsWith(a, u"Not sent: the board cannot take the file name ")) return true;
        return false;
    };
    for (const std::string& name : {std::string("bell\a.dat"), std::string(256, 'n') + ".dat"}) {
        Drop(WriteFile(name, "data"));
        EXPECT_TRUE(refused()) << name;
        EXPECT_EQ(LastJobOutcome(S), JobOutcome::NameRefused);
    }
    Drop(WriteFile("x\":NEW:\".bas", "'onload cmm2 file/*\r\nPrint 1\r\n"));
    EXPECT_TRUE(refused());
    EXPECT_EQ(LastJobOutcome(S), JobOutcome::NameRefused);

    fs::path fifo = work / "fifo.bas";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    Drop(fifo);
    EXPECT_TRUE(
        Logged(Text(fifo.u16string()) + u" is not a regular file; only files can be read."));
    fs::path huge = WriteFile("huge.bin", "");
    fs::resize_file(huge, kProgramFileLimit + 1);  // sparse: no disk space taken
    Drop(huge);
    EXPECT_TRUE(
        Logged(Text(huge.u16string()) + u" is too large (67108865 bytes; at most 67108864)."));
    EXPECT_EQ(LastJobOutcome(S), JobOutcome::NotRead);
    // The firmware reset's rate would reboot the board into its drive mid-upload.
    Drop(WriteFile("slow.bas", "'onload micromite com1:1200\r\nPrint 1\r\n"));
    EXPECT_EQ(LastJobOutcome(S), JobOutcome::BaudRefused);
    EXPECT_EQ(Transcript().find("XMODEM"), std::string::npos);
    EXPECT_EQ(Transcript().find("NEW"), std::string::npos);
}

}  // namespace
