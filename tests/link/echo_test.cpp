// The echo check on the replies that real interpreters give, fed in the pieces a serial
// line may cut them into.
#include <gtest/gtest.h>

#include "link/echo.h"
#include "link/sendwait.h"

namespace {

// Feeds `reply` one character at a time and returns the first verdict other than Waiting.
EchoVerdict FeedByCharacter(EchoCheck& check, TextView reply) {
    EchoVerdict last = EchoVerdict::Waiting;
    for (char16_t ch : reply) {
        last = FeedEcho(check, TextView(&ch, 1));
        if (last != EchoVerdict::Waiting) break;
    }
    return last;
}

TEST(EchoCheck, EchoesAreRecognisedHoweverTheyArriveAndWhatTheyHold) {
    EchoCheck check;
    // A program line may itself hold "Error" and "> "; a TAB may come back as a space,
    // a character above 0x7F may be dropped, the line end may be LF or CR LF, and a
    // window-title sequence may sit in between.
    const Text lines[] = {u"Print \"Error > 3\"", u"If a>1\tThen b=2", u"Print \"caf\u00e9\"",
                          u"Error_Count = 0", u""};
    const Text replies[] = {u"Print \"Error > 3\"\r\n", u"If a>1 Then b=2\n",
                            u"Print \"caf\"\x1b]0;board\x07\r\n", u"Error_Count = 0\x1b[K\r\n",
                            u"\r\n"};
    for (int i = 0; i < 5; ++i) {
        ExpectEcho(check, lines[i], i + 1);
        EXPECT_EQ(FeedByCharacter(check, replies[i]), EchoVerdict::Echoed) << i;
    }
    // Whole, in one piece.
    ExpectEcho(check, u"x = 1", 6);
    EXPECT_EQ(FeedEcho(check, u"x = 1\r\n"), EchoVerdict::Echoed);
    EXPECT_EQ(check.Words, u"");
    EXPECT_EQ(check.Unechoed, 0);
}

TEST(EchoCheck, ARejectedLineIsNamedWhetherTheErrorComesAtOnceOrLate) {
    // Cut off after 242 characters, then the error: the line itself is named.
    Text tooLong(300, u'y');
    EchoCheck check;
    ExpectEcho(check, u"a = 1", 4);
    EXPECT_EQ(FeedEcho(check, u"a = 1\r\n"), EchoVerdict::Echoed);
    ExpectEcho(check, tooLong, 5);
    EXPECT_EQ(FeedEcho(check, tooLong.substr(0, 242) + u"\r\n"), EchoVerdict::Waiting);
    EXPECT_EQ(FeedEcho(check, u"Error: Line length\r\n> "), EchoVerdict::Error);
    EXPECT_EQ(check.Words, u"Error: Line length");
    EXPECT_EQ(check.WordsLine, 5);

    // The error arrives only while the next line is awaited: it is about the line before.
    EchoCheck late;
    ExpectEcho(late, u"b = 2", 7);
    EXPECT_EQ(FeedEcho(late, u"b = 2\r"), EchoVerdict::Waiting);
    EXPECT_EQ(FeedEcho(late, u"\n"), EchoVerdict::Echoed);
    ExpectEcho(late, u"c = 3", 8);
    EXPECT_EQ(FeedEcho(late, u"Error: Unknown command\r\n> c = 3\r\n"), EchoVerdict::Error);
    EXPECT_EQ(late.WordsLine, 7);

    // A prompt beyond the echo, without a line end, means the board left program entry.
    EchoCheck prompt;
    ExpectEcho(prompt, u"d = 4", 1);
    EXPECT_EQ(FeedEcho(prompt, u"d = 4\r\n\r\nSaved 12 bytes\r\n>"), EchoVerdict::Echoed);
    EXPECT_EQ(FeedEcho(prompt, u" "), EchoVerdict::Prompt);
    EXPECT_EQ(prompt.Words, u"Saved 12 bytes\r\n> ");
    EXPECT_EQ(prompt.WordsLine, 1);
}

TEST(EchoCheck, LostEchoesAreCountedAndALateOneIsForgiven) {
    EchoCheck check;
    ExpectEcho(check, u"e = 5", 1);
    EndEchoWait(check);  // nothing came
    ExpectEcho(check, u"f = 6", 2);
    EndEchoWait(check);
    EXPECT_EQ(check.Unechoed, 2);
    // Line 2's echo comes only while line 3 is awaited.
    ExpectEcho(check, u"g = 7", 3);
    EXPECT_EQ(FeedEcho(check, u"f = 6\r\ng = 7\r\n"), EchoVerdict::Echoed);
    EndEchoWait(check);
    EXPECT_EQ(check.Unechoed, 1);
    EXPECT_EQ(check.Words, u"");
}

}  // namespace

// Boards that wrap their prompt in terminal modes (cursor, colour, autowrap): the prompt is
// seen through them in the fast waits and the echo check, not before its sequence is whole,
// and a start command's echo line may follow a late prompt.
TEST(DecoratedPrompt, IsSeenThroughItsModesEverywhere) {
    const Text modes = u"\x1b[?25h\x1b[97;40m";
    EXPECT_TRUE(EndsWithPrompt(modes + u"\r\n> \x1b[?7h"));
    EXPECT_TRUE(EndsWithPrompt(u"NEW\r\n> "));
    EXPECT_FALSE(EndsWithPrompt(u"\r\n> \x1b[?7"));  // the rest is on its way
    EXPECT_FALSE(EndsWithPrompt(u"Print \"> \"\r\n"));
    EXPECT_TRUE(EndsWithPinQuestion(u"Enter PIN or 0 to restart: \x1b[0m"));

    EXPECT_TRUE(EchoLineEnded(u"\x1b[?7h\r\n> \x1b[?7hAUTOSAVE\r\n", u"AUTOSAVE"));
    EXPECT_FALSE(EchoLineEnded(u"\r\n> \x1b[?7h\r\n", u"AUTOSAVE"));

    EchoCheck check;
    ExpectEcho(check, u"x = 1", 1);
    EXPECT_EQ(FeedByCharacter(check, modes + u"\r\n> \x1b[?7h"), EchoVerdict::Prompt);
}
namespace {

TEST(EchoCheck, AnEchoWithOtherCharactersIsGarbledAtItsLineEnd) {
    // A changed character, a lost one in the middle, an extra one: garbled at the line end,
    // with what the board echoed kept.
    const Text echoes[] = {u"Print \"lime 1\"\r\n", u"Prnt \"line 1\"\r\n",
                           u"Print \"line 11\"\r\n"};
    for (const Text& echo : echoes) {
        EchoCheck check;
        ExpectEcho(check, u"Print \"line 1\"", 3);
        EXPECT_EQ(FeedByCharacter(check, echo), EchoVerdict::Garbled) << Utf8FromText(echo);
        EXPECT_EQ(check.Garbled + u"\r\n", echo);
    }

    // The last character lost: a cut-off echo, garbled as soon as what follows cannot be
    // the board's reason (here the next line's text sent ahead), or when the wait ends.
    EchoCheck check;
    ExpectEcho(check, u"x = 12", 1);
    EXPECT_EQ(FeedEcho(check, u"x = 1\r\nE"), EchoVerdict::Waiting);
    EXPECT_EQ(FeedEcho(check, u"n"), EchoVerdict::Garbled);
    EXPECT_EQ(check.Garbled, u"x = 1");
    EchoCheck quiet;
    ExpectEcho(quiet, u"y = 12", 2);
    EXPECT_EQ(FeedEcho(quiet, u"y = 1\r\n"), EchoVerdict::Waiting);
    EXPECT_EQ(EndEchoWait(quiet), EchoVerdict::Garbled);
    EXPECT_EQ(quiet.Unechoed, 0);

    // Silence is not garbling: an echo that never came, or stopped before its line end.
    EchoCheck silent;
    ExpectEcho(silent, u"z = 3", 3);
    EXPECT_EQ(FeedEcho(silent, u"z ="), EchoVerdict::Waiting);
    EXPECT_EQ(EndEchoWait(silent), EchoVerdict::Waiting);
    EXPECT_EQ(silent.FirstUnechoed, 3);
}

}  // namespace
