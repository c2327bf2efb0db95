// The interpreter itself, on the programs and mistakes that uploads bring.
#include <gtest/gtest.h>

#include "board/basic.h"

namespace {

std::string Output(const std::vector<std::string>& lines, std::string* error = nullptr) {
    BasicContext context;
    std::string e = RunProgram(context, lines);
    if (error) *error = e;
    return context.Output;
}

TEST(Basic, ExpressionsFollowPrecedence) {
    EXPECT_EQ(
        Output({"print 2 + 3 * 4 - 6 / 2; \" \"; (2 + 3) * 4; \" \"; -2 ^ 2; \" \"; 7 mod 3"}),
        "11 20 -4 1\r\n");
    EXPECT_EQ(Output({"print 1 / 3; \" \"; 10 \\ 3; \" \"; 1e3; \" \"; 2.5 * 2"}),
              "0.333333 3 1000 5\r\n");
    EXPECT_EQ(Output({"print 3 > 2 and 2 > 3; 1 = 1 or 0; not 0; \"a\" < \"b\""}), "0111\r\n");
    EXPECT_EQ(
        Output({"a$ = \"abc\": print len(a$ + \"de\"); left$(a$, 2); right$(a$, 1); str$(4)"}),
        "5abc4\r\n");
}

TEST(Basic, LoopsBranchesAndEnd) {
    EXPECT_EQ(Output({"10 for i = 3 to 1 step -1", "20 for j = 1 to 2: print i * 10 + j;: next j",
                      "30 next i", "40 print"}),
              "313221221112\r\n");
    EXPECT_EQ(Output({"for i = 5 to 1", "print \"never\"", "next", "print \"after\""}),
              "after\r\n");
    EXPECT_EQ(Output({"x = 3", "if x > 2 then print \"big\" else print \"small\"",
                      "if x > 5 then print \"huge\" else print \"not huge\": print \"same line\"",
                      "end", "print \"not reached\""}),
              "big\r\nnot huge\r\nsame line\r\n");
    EXPECT_EQ(Output({"print \"a:b\" ' a comment: print 1", "rem print 2", "print \"x\"; ' tail",
                      "print \"y\""}),
              "a:b\r\nxy\r\n");
}

TEST(Basic, ErrorsNameTheLine) {
    std::string error;
    EXPECT_EQ(Output({"print 1", "print 1 / 0"}, &error), "1\r\n");
    EXPECT_EQ(error, "Error in line 2: Division by zero");
    Output({"a = \"text\""}, &error);
    EXPECT_EQ(error, "Error in line 1: Type mismatch");
    Output({"print \"open"}, &error);
    EXPECT_EQ(error, "Error in line 1: Missing closing quote");
    Output({"next"}, &error);
    EXPECT_EQ(error, "Error in line 1: NEXT without FOR");
    Output({"print 1 +"}, &error);
    EXPECT_EQ(error, "Error in line 1: Syntax error");
}

TEST(Basic, RunawayProgramsAreStopped) {
    std::string error;
    Output({"for i = 1 to 1e12", "next"}, &error);
    EXPECT_EQ(error, "Error in line 2: Step limit reached");
    std::string out = Output({"for i = 1 to 100000: print \"0123456789\": next"}, &error);
    EXPECT_EQ(error, "Error in line 1: Output limit");
    EXPECT_LE(out.size(), kBasicOutputLimit + 64);
}

TEST(Basic, ImmediateLinesKeepVariablesAndRunKeepsNone) {
    BasicContext context;
    EXPECT_EQ(ExecuteImmediate(context, "n% = 7.9"), "");
    EXPECT_EQ(ExecuteImmediate(context, "print n% * 2"), "");
    EXPECT_EQ(context.Output, "14\r\n");
    context.Output.clear();
    EXPECT_EQ(RunProgram(context, {"print n%"}), "");
    EXPECT_EQ(context.Output, "0\r\n");
    EXPECT_EQ(ExecuteImmediate(context, "frob"), "Error: Unknown command");
}

TEST(Basic, InputPausesTheRunUntilTheAnswerInsideLoops) {
    BasicContext context;
    EXPECT_EQ(RunProgram(context, {"for i = 1 to 2", "input \"n\"; a$", "print a$; i", "next",
                                   "input k%: print k% * 2"}),
              "");
    ASSERT_TRUE(context.Paused);
    EXPECT_EQ(ResumeProgram(context, "x"), "");
    EXPECT_EQ(ResumeProgram(context, "y"), "");
    EXPECT_EQ(ResumeProgram(context, "7.9"), "");
    EXPECT_FALSE(context.Paused);
    EXPECT_EQ(context.Output, "n? x1\r\nn? y2\r\n? 14\r\n");
    EXPECT_EQ(RunProgram(context, {"input"}), "Error in line 1: Syntax error");
}

}  // namespace
