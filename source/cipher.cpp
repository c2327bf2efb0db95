// The keystream cipher of encoded program files. The key material is built in, so every
// file is enciphered with the same keystream from its first byte on; the layout of the
// register and the block steps below are what stored files were written with and must not
// change, or old files stop decoding.
#include <cstring>

#include "source/aes.h"
#include "source/encoded.h"
#include "source/sha3.h"

namespace {

const char16_t kFixedSalt[] = u"k3071496xd5q8bn2jrv67zeiwa18320#!{}-}^!";

using Register = uint8_t[32];

// SHA3-256 of the key text as UTF-16LE code units, two bytes a character, no terminator.
Sha3Digest DigestKeyText(TextView keyText) {
    std::string units;
    units.reserve(2 * keyText.size());
    for (char16_t c : keyText) {
        units.push_back(static_cast<char>(c & 0xFF));
        units.push_back(static_cast<char>(c >> 8));
    }
    return ComputeSha3_256(reinterpret_cast<const uint8_t*>(units.data()), units.size());
}

// Only the even digest bytes enter the register (digest byte 2i is register byte i); the
// second half stays zero.
void FillRegister(Register reg, const Sha3Digest& digest) {
    std::memset(reg, 0, 32);
    for (int i = 0; i < 16; ++i)
        reg[i] = digest[2 * i];
}

// One step of the register; afterwards its first 16 bytes are the next keystream block.
void AdvanceRegister(Register reg) {
    Aes256Schedule schedule = ExpandAes256Key(reg);  // from the register before it changes
    EncryptAes256Block(schedule, reg, reg);
    EncryptAes256Block(schedule, reg + 16, reg + 16);
    // Exchange the 8-byte groups 0-7 with 24-31 and 8-15 with 16-23.
    uint8_t swapped[32];
    std::memcpy(swapped, reg + 24, 8);
    std::memcpy(swapped + 8, reg + 16, 8);
    std::memcpy(swapped + 16, reg + 8, 8);
    std::memcpy(swapped + 24, reg, 8);
    std::memcpy(reg, swapped, 32);
    schedule = ExpandAes256Key(reg);
    EncryptAes256Block(schedule, reg, reg);
}

// A zero byte, and a byte equal to its keystream byte, stay as they are: the enciphered text
// then holds no zero byte that the plain text did not, and the operation is its own inverse.
uint8_t CipherByte(uint8_t d, uint8_t k) {
    return (d == 0 || d == k) ? d : static_cast<uint8_t>(d ^ k);
}

}  // namespace

bool KeystreamCipher(uint8_t* bytes, size_t n, TextView passPhrase, int counter) {
    if (n == 0 || passPhrase.empty()) return false;
    Text keyText = Text(passPhrase) + DecimalText(counter) + kFixedSalt;
    Register reg;
    FillRegister(reg, DigestKeyText(keyText));
    for (size_t start = 0; start < n; start += 16) {
        AdvanceRegister(reg);
        size_t blockEnd = n - start < 16 ? n : start + 16;
        for (size_t i = start; i < blockEnd; ++i)
            bytes[i] = CipherByte(bytes[i], reg[i - start]);
    }
    return true;
}
