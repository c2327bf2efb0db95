// Our SHA3-256, AES-256 and the keystream built from them, checked against libcrypto.
#include <openssl/evp.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "source/aes.h"
#include "source/encoded.h"
#include "source/sha3.h"

namespace {

using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

std::vector<uint8_t> OpensslSha3(const std::string& message) {
    std::vector<uint8_t> digest(32);
    unsigned int size = 0;
    EVP_Digest(message.data(), message.size(), digest.data(), &size, EVP_sha3_256(), nullptr);
    digest.resize(size);
    return digest;
}

void OpensslAes256(const uint8_t key[32], const uint8_t in[16], uint8_t out[16]) {
    CipherContext ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    int length = 0;
    ASSERT_EQ(EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_ecb(), nullptr, key, nullptr), 1);
    EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
    ASSERT_EQ(EVP_EncryptUpdate(ctx.get(), out, &length, in, 16), 1);
    ASSERT_EQ(length, 16);
}

TEST(CryptoCrossCheck, Sha3AcrossTheBlockBoundaries) {
    std::mt19937 random(7);
    for (size_t n = 0; n <= 300; ++n) {
        std::string message(n, '\0');
        for (auto& c : message)
            c = static_cast<char>(random());
        Sha3Digest ours =
            ComputeSha3_256(reinterpret_cast<const uint8_t*>(message.data()), message.size());
        EXPECT_EQ(std::vector<uint8_t>(ours.begin(), ours.end()), OpensslSha3(message)) << n;
    }
}

TEST(CryptoCrossCheck, Aes256WithRandomKeys) {
    std::mt19937 random(11);
    for (int round = 0; round < 200; ++round) {
        uint8_t key[32], in[16], ours[16], theirs[16];
        for (auto& b : key)
            b = static_cast<uint8_t>(random());
        for (auto& b : in)
            b = static_cast<uint8_t>(random());
        EncryptAes256Block(ExpandAes256Key(key), in, ours);
        OpensslAes256(key, in, theirs);
        EXPECT_EQ(std::vector<uint8_t>(ours, ours + 16), std::vector<uint8_t>(theirs, theirs + 16));
    }
}

// The keystream as stored files were written with, built from libcrypto's primitives:
// key text in UTF-16LE, the even digest bytes in the first half of the register, and per
// block both halves enciphered, the 8-byte groups reversed, the first half enciphered again.
std::vector<uint8_t> OpensslKeystream(size_t n) {
    std::u16string keyText = u"Lanterns drift at evening" +
                             std::u16string(1, u'0' + kEncodingCounter) +
                             u"k3071496xd5q8bn2jrv67zeiwa18320#!{}-}^!";
    std::string units;
    for (char16_t c : keyText) {
        units += static_cast<char>(c & 0xFF);
        units += static_cast<char>(c >> 8);
    }
    std::vector<uint8_t> digest = OpensslSha3(units);
    uint8_t reg[32] = {};
    for (int i = 0; i < 16; ++i)
        reg[i] = digest[2 * i];
    std::vector<uint8_t> stream;
    while (stream.size() < n) {
        uint8_t key[32], next[32];
        std::copy(reg, reg + 32, key);
        OpensslAes256(key, reg, next);
        OpensslAes256(key, reg + 16, next + 16);
        for (int g = 0; g < 4; ++g)
            std::copy(next + 8 * (3 - g), next + 8 * (4 - g), reg + 8 * g);
        std::copy(reg, reg + 32, key);
        OpensslAes256(key, reg, reg);
        stream.insert(stream.end(), reg, reg + 16);
    }
    stream.resize(n);
    return stream;
}

TEST(CryptoCrossCheck, KeystreamOfALongBuffer) {
    const size_t n = 100003;  // many blocks and a short last one
    std::mt19937 random(3);
    std::vector<uint8_t> plain(n);
    for (auto& b : plain)
        b = static_cast<uint8_t>(random() % 8 == 0 ? 0 : random());
    std::vector<uint8_t> stream = OpensslKeystream(n);
    for (size_t i = 0; i < n; i += 997)
        plain[i] = stream[i];  // some bytes equal to their keystream byte

    std::vector<uint8_t> expected(n);
    for (size_t i = 0; i < n; ++i) {
        uint8_t d = plain[i], k = stream[i];
        expected[i] = (d == 0 || d == k) ? d : static_cast<uint8_t>(d ^ k);
    }
    std::vector<uint8_t> ours = plain;
    ASSERT_TRUE(KeystreamCipher(ours.data(), n, u"Lanterns drift at evening", kEncodingCounter));
    EXPECT_EQ(ours, expected);
}

}  // namespace
