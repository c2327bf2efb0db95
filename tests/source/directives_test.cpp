#include <gtest/gtest.h>

#include "source/program.h"

namespace {

TEST(Directives, EncodedMagicIsCaseSensitiveAndAtTheStart) {
    EXPECT_TRUE(StartsWithEncodedMagic(u"QZHEX"));
    EXPECT_TRUE(StartsWithEncodedMagic(u"QZHEX\x01\xff"));
    EXPECT_FALSE(StartsWithEncodedMagic(u"qzhex..."));
    EXPECT_FALSE(StartsWithEncodedMagic(u" QZHEX"));
    EXPECT_FALSE(StartsWithEncodedMagic(u"QZHE"));
    EXPECT_FALSE(StartsWithEncodedMagic(u""));
}

TEST(Directives, EditorMarkersAreRemovedOnlyAtTheTop) {
    EXPECT_EQ(StripEditorMarkers(u"'KELDAN!!! v1\r\n  'keldan!!!\nA=1\n"), u"A=1\n");
    // A marker after code stays, and so does the line after a non-marker.
    EXPECT_EQ(StripEditorMarkers(u"A=1\n'KELDAN!!!\n"), u"A=1\n'KELDAN!!!\n");
    EXPECT_EQ(StripEditorMarkers(u"'KELDAN!!\n'KELDAN!!!\n"), u"'KELDAN!!\n'KELDAN!!!\n");
    // A marker line without a line end is not a line of its own and stays.
    EXPECT_EQ(StripEditorMarkers(u"'KELDAN!!!"), u"'KELDAN!!!");
    EXPECT_EQ(StripEditorMarkers(u"'KELDAN!!!\n'KELDAN!!!"), u"'KELDAN!!!");
    // Tabs are not blanks: a tab before the marker keeps the line.
    EXPECT_EQ(StripEditorMarkers(u"\t'KELDAN!!!\nA\n"), u"\t'KELDAN!!!\nA\n");
    EXPECT_EQ(StripEditorMarkers(u""), u"");

    // Many marker lines go in one pass.
    Text many;
    for (int i = 0; i < 100000; ++i)
        many += u"'KELDAN!!!\r\n";
    EXPECT_EQ(StripEditorMarkers(many + u"END"), u"END");
}

TEST(Directives, EncodeRequest) {
    EXPECT_TRUE(IsEncodeRequest(u"'encode\nA=1"));
    EXPECT_TRUE(IsEncodeRequest(u"   'ENCODE crunch  \r\nA=1"));
    EXPECT_TRUE(IsEncodeRequest(u"'Encoded by me\n"));
    EXPECT_FALSE(IsEncodeRequest(u"'encode"));  // no line end: no first line
    EXPECT_FALSE(IsEncodeRequest(u"\t'encode\n"));
    EXPECT_FALSE(IsEncodeRequest(u"' encode\n"));
    EXPECT_FALSE(IsEncodeRequest(u"A=1\n'encode\n"));
    EXPECT_FALSE(IsEncodeRequest(u"'encod\n"));
}

TEST(Directives, OptionsFirstLine) {
    EXPECT_TRUE(IsOptionsFirstLine(u"'onload crunch\nA=1"));
    EXPECT_TRUE(IsOptionsFirstLine(u"\t' ONLOAD com5:9600\r\n"));  // tabs become blanks
    EXPECT_TRUE(IsOptionsFirstLine(u"  'OnLoad\n"));
    EXPECT_FALSE(IsOptionsFirstLine(u"'onload crunch"));  // no line end
    EXPECT_FALSE(IsOptionsFirstLine(u"'  onload\n"));
    EXPECT_FALSE(IsOptionsFirstLine(u"A=1 'onload\n"));
}

TEST(Directives, StreamedLines) {
    EXPECT_TRUE(IsEchoLine(u"'echo"));
    EXPECT_TRUE(IsEchoLine(u"'ECHO  word"));
    EXPECT_TRUE(IsEchoLine(u"'echoes"));
    EXPECT_FALSE(IsEchoLine(u"'ech"));
    EXPECT_FALSE(IsEchoLine(u"' echo"));
    EXPECT_EQ(EchoLineText(u"'echo"), u"");
    EXPECT_EQ(EchoLineText(u"'echo "), u"");
    EXPECT_EQ(EchoLineText(u"'ECHO  word"), u" word");
    EXPECT_EQ(EchoLineText(u"'echo hello there"), u"hello there");

    EXPECT_TRUE(IsOnloadLine(u"'onload"));
    EXPECT_TRUE(IsOnloadLine(u"'ONLOAD crunch"));
    EXPECT_TRUE(IsOnloadLine(u"' onload"));
    EXPECT_FALSE(IsOnloadLine(u"'onloa"));
    EXPECT_FALSE(IsOnloadLine(u"' onloa"));
    EXPECT_FALSE(IsOnloadLine(u"'  onload"));
    EXPECT_FALSE(IsOnloadLine(u""));
}

TEST(Directives, CrunchThisLooksAtTheFirstTwentyCharacters) {
    EXPECT_TRUE(HasCrunchThis(u"'Crunch This\nA=1"));
    EXPECT_TRUE(HasCrunchThis(u"' crunch this"));
    EXPECT_TRUE(HasCrunchThis(u"A=1\n'crunch this\n"));     // any line, within 20 characters
    EXPECT_TRUE(HasCrunchThis(u"12345678'crunch this"));    // ends at character 20
    EXPECT_FALSE(HasCrunchThis(u"123456789'crunch this"));  // ends at character 21
    EXPECT_FALSE(HasCrunchThis(u"'crunch  this"));
    EXPECT_FALSE(HasCrunchThis(u""));
}

}  // namespace
