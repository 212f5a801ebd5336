// The text cipher: Blowfish (16 rounds, P array and S boxes from the hexadecimal digits of
// pi, the key cycled over the P array) in electronic code book mode on 8-byte blocks, each
// 32-bit half read and written least significant byte first. Texts travel as lower-case hex.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/text_value.h"

namespace qrn {

// Lower-case hexadecimal of the text's bytes, padded with 0 bytes to a multiple of 8 and
// encrypted block by block. An empty key works as a key of one 0 byte.
RtString encrypt_text(const RtString& key, const RtString& text);
// The bytes of the complete digit pairs, decrypted block by block (an incomplete last block is
// ignored), up to the first 0 byte.
RtString decrypt_text(const RtString& key, const RtString& hex);

// The cipher itself, on 32-bit halves.
struct Blowfish {
  uint32_t p[18];
  uint32_t s[4][256];
};
// Sets up the tables from a key of any length (none: as one 0 byte).
void blowfish_set_key(Blowfish& cipher, const uint8_t* key, size_t length);
void blowfish_encrypt(const Blowfish& cipher, uint32_t& left, uint32_t& right);
void blowfish_decrypt(const Blowfish& cipher, uint32_t& left, uint32_t& right);

}  // namespace qrn
