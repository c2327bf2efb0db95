// SHA3-256 (FIPS 202): the digest from which the keystream cipher builds its register.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

using Sha3Digest = std::array<uint8_t, 32>;

Sha3Digest ComputeSha3_256(const uint8_t* data, size_t n);
