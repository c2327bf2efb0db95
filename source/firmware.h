// Firmware files: a .uf2 image is a run of 512-byte blocks, each marked by magic numbers at
// its start and end. A file is checked whole before a board is reset for it.
#pragma once

#include <cstddef>
#include <string_view>

#include "source/text.h"

// The number of the first block (from 1) that is not a UF2 block; 0 when every block is
// one. A file that is empty or not a whole number of blocks fails at its last block.
size_t FirstNonUf2Block(std::string_view bytes);
// Why the file at `path` cannot be installed as firmware ("x.uf2 is not a UF2 file (...)."),
// empty when it is a readable regular file of UF2 blocks.
Text FirmwareFileProblem(TextView path);
