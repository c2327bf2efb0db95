#include <gtest/gtest.h>

#include "source/crunch.h"

namespace {

TEST(Crunch, CommentsEndOnlyOutsideLiterals) {
    EXPECT_EQ(CrunchLine(u"PRINT \"it's here\""), u"PRINT \"it's here\"");
    EXPECT_EQ(CrunchLine(u"  PRINT \"a\"   ' say a  "), u"PRINT \"a\"");
    EXPECT_EQ(CrunchLine(u"A=1'no blank before"), u"A=1");
    EXPECT_EQ(CrunchLine(u"PRINT \"x'\" ' second one is the comment"), u"PRINT \"x'\"");
    // An unclosed literal swallows the apostrophe: the line stays whole.
    EXPECT_EQ(CrunchLine(u"PRINT \"abc ' not a comment"), u"PRINT \"abc ' not a comment");
    // REM is a statement, not a comment.
    EXPECT_EQ(CrunchLine(u"REM  keep"), u"REM keep");
}

TEST(Crunch, BlankRunsShrinkOutsideLiterals) {
    EXPECT_EQ(CrunchLine(u"A$   =   \"x  y\"  "), u"A$ = \"x  y\"");
    EXPECT_EQ(CrunchLine(u"A  \"b  c\"  d  \"e\"  f"), u"A \"b  c\" d \"e\" f");
    EXPECT_EQ(CollapseBlanks(u"a  \"b  "), u"a \"b  ");  // unclosed literal runs to the end
    // Tabs are neither trimmed nor collapsed.
    EXPECT_EQ(CrunchLine(u"\t\tA = 1\t "), u"\t\tA = 1\t");
    EXPECT_EQ(CrunchLine(u"\t' a comment after a tab"), u"\t");
}

TEST(Crunch, LinesThatVanishAndDirectivesThatStay) {
    EXPECT_EQ(CrunchLine(u""), u"");
    EXPECT_EQ(CrunchLine(u"     "), u"");
    EXPECT_EQ(CrunchLine(u"  ' only a comment"), u"");
    EXPECT_EQ(CrunchLine(u"' onload crunch"), u"");
    EXPECT_EQ(CrunchLine(u"'encode"), u"");
    EXPECT_EQ(CrunchLine(u"'crunch this"), u"");
    EXPECT_EQ(CrunchLine(u"'KELDAN!!!"), u"");
    EXPECT_EQ(CrunchLine(u"  'ECHO  two  blanks ' stay  "), u"'ECHO  two  blanks ' stay");
    EXPECT_EQ(CrunchLine(u"'onload  crunch  'x"), u"'onload  crunch  'x");
}

TEST(Crunch, WholeTextEndsEveryLineInCrLf) {
    const Text expected = u"10 A = 1\r\n20 PRINT \"a  b\"\r\n'echo  hi\r\n30 END\r\n";
    EXPECT_EQ(Crunch(u"10 A  =  1 ' set\n\n   \n' note\n20 PRINT \"a  b\"\n'echo  hi\n30 END"),
              expected);
    EXPECT_EQ(Crunch(u"10 A  =  1 ' set\r\n\r\n   \r\n' note\r\n20 PRINT \"a  b\"\r\n'echo  hi\r\n"
                     u"30 END\r\n"),
              expected);
    EXPECT_EQ(Crunch(expected), expected);  // a crunched text stays as it is
    EXPECT_EQ(Crunch(u""), u"");
    EXPECT_EQ(Crunch(u"\r\n\n  \n' all comment\n"), u"");
    EXPECT_EQ(Crunch(u"A\rB"), u"A\r\nB\r\n");  // a lone CR ends a line
}

TEST(Crunch, AMegabyteLineIsCrunchedInOnePass) {
    // Apostrophes inside literals and blank runs all along the line: a crunch that counts the
    // quotes again for every apostrophe, or builds its output by repeated copying, would not
    // finish this.
    Text line, expected;
    while (line.size() < (1u << 20)) {
        line += u"PRINT \"it's  'here'\"  :  ";
        expected += u"PRINT \"it's  'here'\" : ";
    }
    line += u"' the end";
    expected.pop_back();  // the blank before the comment is trimmed
    expected += u"\r\n";
    Text crunched = Crunch(line);
    EXPECT_EQ(crunched, expected);
    EXPECT_EQ(Crunch(crunched), crunched);
}

}  // namespace
