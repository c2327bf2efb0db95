// Keccak-f[1600] with the SHA3-256 parameters: rate 136 bytes, domain padding 0x06 ... 0x80.
// The state is kept as 25 little-endian lanes so the absorb step is a plain byte XOR.
#include "source/sha3.h"

namespace {

constexpr size_t kRate = 136;

constexpr uint64_t kRoundConstants[24] = {
    0x0000000000000001ULL, 0x0000000000008082ULL, 0x800000000000808AULL, 0x8000000080008000ULL,
    0x000000000000808BULL, 0x0000000080000001ULL, 0x8000000080008081ULL, 0x8000000000008009ULL,
    0x000000000000008AULL, 0x0000000000000088ULL, 0x0000000080008009ULL, 0x000000008000000AULL,
    0x000000008000808BULL, 0x800000000000008BULL, 0x8000000000008089ULL, 0x8000000000008003ULL,
    0x8000000000008002ULL, 0x8000000000000080ULL, 0x000000000000800AULL, 0x800000008000000AULL,
    0x8000000080008081ULL, 0x8000000000008080ULL, 0x0000000080000001ULL, 0x8000000080008008ULL};

// Rotation offsets and the lane order of the combined rho and pi steps.
constexpr int kRho[24] = {1,  3,  6,  10, 15, 21, 28, 36, 45, 55, 2,  14,
                          27, 41, 56, 8,  25, 43, 62, 18, 39, 61, 20, 44};
constexpr int kPi[24] = {10, 7,  11, 17, 18, 3, 5,  16, 8,  21, 24, 4,
                         15, 23, 19, 13, 12, 2, 20, 14, 22, 9,  6,  1};

uint64_t Rotl(uint64_t v, int s) {
    return (v << s) | (v >> (64 - s));
}

void PermuteKeccak(uint64_t a[25]) {
    for (uint64_t rc : kRoundConstants) {
        uint64_t c[5];
        for (int x = 0; x < 5; ++x)
            c[x] = a[x] ^ a[x + 5] ^ a[x + 10] ^ a[x + 15] ^ a[x + 20];
        for (int x = 0; x < 5; ++x) {
            uint64_t d = c[(x + 4) % 5] ^ Rotl(c[(x + 1) % 5], 1);
            for (int y = 0; y < 25; y += 5)
                a[y + x] ^= d;
        }
        uint64_t carried = a[1];
        for (int i = 0; i < 24; ++i) {
            uint64_t next = a[kPi[i]];
            a[kPi[i]] = Rotl(carried, kRho[i]);
            carried = next;
        }
        for (int y = 0; y < 25; y += 5) {
            uint64_t row[5];
            for (int x = 0; x < 5; ++x)
                row[x] = a[y + x];
            for (int x = 0; x < 5; ++x)
                a[y + x] = row[x] ^ (~row[(x + 1) % 5] & row[(x + 2) % 5]);
        }
        a[0] ^= rc;
    }
}

void XorByteIntoState(uint64_t a[25], size_t position, uint8_t b) {
    a[position / 8] ^= static_cast<uint64_t>(b) << (8 * (position % 8));
}

}  // namespace

Sha3Digest ComputeSha3_256(const uint8_t* data, size_t n) {
    uint64_t a[25] = {};
    size_t position = 0;
    for (size_t i = 0; i < n; ++i) {
        XorByteIntoState(a, position++, data[i]);
        if (position == kRate) {
            PermuteKeccak(a);
            position = 0;
        }
    }
    XorByteIntoState(a, position, 0x06);
    XorByteIntoState(a, kRate - 1, 0x80);
    PermuteKeccak(a);
    Sha3Digest digest;
    for (size_t i = 0; i < digest.size(); ++i)
        digest[i] = static_cast<uint8_t>(a[i / 8] >> (8 * (i % 8)));
    return digest;
}
