// The interpreter's reading of text: a cursor over one statement and expression evaluation.
#pragma once

#include <string>

#include "board/basic.h"

struct BasicCursor {
    const std::string& Text;
    size_t Pos = 0;
    std::string Error;  // set by the first failure; every reader gives up once it is set
};

void SkipBlanks(BasicCursor& c);
bool AtEnd(BasicCursor& c);
// Takes `ch` after blanks when it is next.
bool TakeChar(BasicCursor& c, char ch);
// Takes the keyword `word` (upper case) after blanks when it is next as a whole word.
bool TakeWord(BasicCursor& c, const char* word);
// Takes a variable name with its optional suffix ($ % !), upper-cased; empty when none.
std::string TakeName(BasicCursor& c);
BasicValue EvaluateExpression(BasicContext& context, BasicCursor& c);
void Fail(BasicCursor& c, const std::string& message);
