// Crunching: apostrophe comments, blank lines and runs of blanks outside string literals
// removed; lines are never joined. Output lines end in CR LF.
#pragma once

#include "source/text.h"

Text Crunch(TextView text);
Text CrunchLine(TextView line);
Text CollapseBlanks(TextView line);
