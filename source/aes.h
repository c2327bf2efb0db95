// AES-256 block encryption (FIPS 197): the block function of the keystream cipher. Only
// encryption is needed, since the cipher runs AES forwards to make its keystream.
#pragma once

#include <cstdint>

struct Aes256Schedule {
    uint8_t RoundKeys[15][16];
};

// The round keys of a 32-byte key (bytes in FIPS-197 order).
Aes256Schedule ExpandAes256Key(const uint8_t key[32]);
// Encrypts one 16-byte block; `in` and `out` may be the same buffer.
void EncryptAes256Block(const Aes256Schedule& schedule, const uint8_t in[16], uint8_t out[16]);
