// Encoded program files: "QZHEX" followed by the program text enciphered with the keystream
// cipher (source/cipher.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

#include "source/text.h"

// The pass phrase and the one-digit counter both the encoder and the decoder pass to the
// cipher.
inline constexpr TextView kEncodingPassPhrase = u"Lanterns drift at evening";
inline constexpr int kEncodingCounter = 1;

// Enciphers or deciphers `n` bytes in place (the same operation does both). False, and
// nothing changed, when n is 0 or the pass phrase is empty.
bool KeystreamCipher(uint8_t* bytes, size_t n, TextView passPhrase, int counter);

// The bytes of an encoded file for this text: magic, then the enciphered text.
std::string EncodeProgramBytes(TextView text);
// The program text of an encoded file's bytes (magic skipped, stops at a zero byte).
Text DecodeProgramBytes(std::string_view fileBytes);

// The path with ".bae" appended when its file name has no extension.
Text WithDefaultExtension(TextView path);
// The name an encoded file is written to: as WithDefaultExtension, except that a device
// (/dev/stdout) is taken as named.
Text EncodedFileName(TextView path);
