#include <gtest/gtest.h>

#include "app/readback.h"

namespace {

TEST(StoredText, IsComparedAsBoardsKeepTextAndTheFirstDifferencesAreNamed) {
    std::vector<Text> sent{u"print \"Hi\"", u"\tfor i = 1 to 2", u"", u"next"};
    EXPECT_TRUE(
        StoredTextDifferences(sent, u"PRINT \"Hi\"\r\n        For i = 1  to 2  \r\nnext\r\n")
            .empty());
    EXPECT_EQ(StoredTextDifferences(sent, u"print \"hi\"\nfor i = 1 to 2\n"),
              (std::vector<Text>{u"Line 1 differs: sent \"print \"Hi\"\", the board has "
                                 u"\"print \"hi\"\"",
                                 u"Line 4 is missing on the board: \"next\""}));
    EXPECT_EQ(StoredTextDifferences({u"a"}, u"a\nb\nc\n"),
              std::vector<Text>{u"The board has 2 lines more than were sent, from \"b\""});
}

}  // namespace
