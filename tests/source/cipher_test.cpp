#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "source/aes.h"
#include "source/encoded.h"
#include "source/sha3.h"

namespace {

std::string Hex(const uint8_t* p, size_t n) {
    static const char kDigits[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += kDigits[p[i] >> 4];
        s += kDigits[p[i] & 15];
    }
    return s;
}

std::string Sha3Hex(const std::string& message) {
    Sha3Digest d =
        ComputeSha3_256(reinterpret_cast<const uint8_t*>(message.data()), message.size());
    return Hex(d.data(), d.size());
}

// Published SHA3-256 example values (FIPS 202 examples).
TEST(Sha3, PublishedVectors) {
    EXPECT_EQ(Sha3Hex(""), "a7ffc6f8bf1ed76651c14756a061d662f580ff4de43b49fa82d80a4b80f8434a");
    EXPECT_EQ(Sha3Hex("abc"), "3a985da74fe225b2045c172d6bd390bd855f086e3e9d525b46bfe24511431532");
    // 200 bytes: more than one 136-byte block.
    EXPECT_EQ(Sha3Hex(std::string(200, '\xA3')),
              "79f38adec5c20307a98ef76e8324afbfd46cfd81b22e3973c65fa1bd9de31787");
}

// FIPS-197 appendix C.3.
TEST(Aes256, PublishedVector) {
    uint8_t key[32], block[16];
    for (int i = 0; i < 32; ++i)
        key[i] = static_cast<uint8_t>(i);
    for (int i = 0; i < 16; ++i)
        block[i] = static_cast<uint8_t>(i * 0x11);
    EncryptAes256Block(ExpandAes256Key(key), block, block);
    EXPECT_EQ(Hex(block, 16), "8ea2b7ca516745bfeafc49904b496089");
}

std::vector<uint8_t> Ciphered(std::vector<uint8_t> bytes, int counter = kEncodingCounter) {
    KeystreamCipher(bytes.data(), bytes.size(), u"Lanterns drift at evening", counter);
    return bytes;
}

TEST(KeystreamCipher, IsItsOwnInverseAndNeverMakesZeroBytes) {
    std::vector<uint8_t> plain;
    for (int i = 0; i < 5000; ++i)
        plain.push_back(static_cast<uint8_t>(i * 7 + i / 256));
    std::vector<uint8_t> once = Ciphered(plain);
    EXPECT_NE(once, plain);
    EXPECT_EQ(Ciphered(once), plain);
    for (size_t i = 0; i < plain.size(); ++i)
        EXPECT_EQ(once[i] == 0, plain[i] == 0) << "at " << i;
}

TEST(KeystreamCipher, ByteEqualToItsKeystreamByteStaysUnchanged) {
    // Of the 255 non-zero values of the first byte exactly one equals the keystream byte (and
    // stays); every other one changes and none becomes zero. A zero keystream byte would
    // leave all of them unchanged.
    int unchanged = 0;
    for (int v = 1; v < 256; ++v) {
        uint8_t out = Ciphered({static_cast<uint8_t>(v)})[0];
        EXPECT_NE(out, 0);
        unchanged += out == v;
    }
    EXPECT_TRUE(unchanged == 1 || unchanged == 255) << unchanged;
}

TEST(KeystreamCipher, EveryTextStartsWithTheSameKeystream) {
    std::vector<uint8_t> longer(100, 0x55);
    std::vector<uint8_t> full = Ciphered(longer);
    for (size_t n : {1, 15, 16, 17, 31, 32, 33, 99}) {
        std::vector<uint8_t> part = Ciphered(std::vector<uint8_t>(n, 0x55));
        EXPECT_TRUE(std::equal(part.begin(), part.end(), full.begin())) << n;
    }
    // The blocks differ: the register moves on after every block.
    EXPECT_FALSE(std::equal(full.begin(), full.begin() + 16, full.begin() + 16));
    // The counter is part of the key text.
    EXPECT_NE(Ciphered(longer, 2), full);
}

TEST(KeystreamCipher, RefusesNothingToDoAndNoPassPhrase) {
    uint8_t bytes[3] = {1, 2, 3};
    EXPECT_FALSE(KeystreamCipher(bytes, 0, u"Lanterns drift at evening", 1));
    EXPECT_FALSE(KeystreamCipher(bytes, 3, u"", 1));
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(bytes[1], 2);
    EXPECT_EQ(bytes[2], 3);
    EXPECT_TRUE(KeystreamCipher(bytes, 3, u"x", 1));
}

}  // namespace
