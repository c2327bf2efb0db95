// A firmware image for tests: whole UF2 blocks, each with its three magic numbers.
#pragma once

#include <string>

inline std::string Uf2Image(int blocks) {
    std::string image;
    for (int n = 0; n < blocks; ++n) {
        std::string block(512, '\0');
        block.replace(0, 8, "UF2\nWQ]\x9e");
        block.replace(508, 4, "0o\xb1\n");
        image += block;
    }
    return image;
}
