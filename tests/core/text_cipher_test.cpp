// The text cipher: Blowfish against the published test vectors (on 32-bit halves, and through
// the text commands with each half's bytes reversed), padding, hex input that is cut short
// or not hex at all, and the empty key.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/text_test_helpers.h"
#include "quarnel.h"

using qrn::RtString;

namespace {

using qrn::test::bytes;
using qrn::test::str;

std::vector<uint8_t> unhex(const std::string& hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

uint32_t big_endian(const uint8_t* b) {
  return static_cast<uint32_t>(b[0]) << 24 | static_cast<uint32_t>(b[1]) << 16 |
         static_cast<uint32_t>(b[2]) << 8 | b[3];
}

// A published vector (key, plain, cipher: hex, halves most significant byte first) turned into
// the text cipher's order, where each half is read least significant byte first.
std::string reverse_halves(const std::string& hex) {
  std::string out;
  for (size_t block = 0; block < hex.size(); block += 8)
    for (int b = 3; b >= 0; --b) out += hex.substr(block + 2 * b, 2);
  return out;
}

struct Vector {
  const char* key;
  const char* plain;
  const char* cipher;
};

// Eric Young's electronic-code-book vectors and his variable key-length set.
const Vector kVectors[] = {
    {"0000000000000000", "0000000000000000", "4ef997456198dd78"},
    {"ffffffffffffffff", "ffffffffffffffff", "51866fd5b85ecb8a"},
    {"3000000000000000", "1000000000000001", "7d856f9a613063f2"},
    {"1111111111111111", "1111111111111111", "2466dd878b963c9d"},
    {"0123456789abcdef", "1111111111111111", "61f9c3802281b096"},
    {"1111111111111111", "0123456789abcdef", "7d0cc630afda1ec7"},
    {"fedcba9876543210", "0123456789abcdef", "0aceab0fc6a0a28d"},
    {"f0", "fedcba9876543210", "f9ad597c49db005e"},
    {"f0e1", "fedcba9876543210", "e91d21c1d961a6d6"},
    {"f0e1d2", "fedcba9876543210", "e9c2b70a1bc65cf3"},
};

}  // namespace

TEST(TextCipher, BlowfishMatchesThePublishedVectors) {
  for (const Vector& v : kVectors) {
    std::vector<uint8_t> key = unhex(v.key), plain = unhex(v.plain), cipher = unhex(v.cipher);
    qrn::Blowfish bf;
    qrn::blowfish_set_key(bf, key.data(), key.size());
    uint32_t left = big_endian(&plain[0]), right = big_endian(&plain[4]);
    qrn::blowfish_encrypt(bf, left, right);
    EXPECT_EQ(left, big_endian(&cipher[0])) << v.key << " " << v.plain;
    EXPECT_EQ(right, big_endian(&cipher[4])) << v.key << " " << v.plain;
    qrn::blowfish_decrypt(bf, left, right);
    EXPECT_EQ(left, big_endian(&plain[0]));
    EXPECT_EQ(right, big_endian(&plain[4]));

    // The same vector through the text commands, in their byte order.
    RtString key_text = bytes(std::string(key.begin(), key.end()));
    std::vector<uint8_t> reordered = unhex(reverse_halves(v.plain));
    RtString plain_text = bytes(std::string(reordered.begin(), reordered.end()));
    EXPECT_EQ(str(qrn::encrypt_text(key_text, plain_text)), reverse_halves(v.cipher)) << v.key;
  }
}

TEST(TextCipher, SchneiersTextVectorsInTheTextByteOrder) {
  // "BLOWFISH" under the alphabet is 324ed0fe f413a203 with halves read most significant first.
  EXPECT_EQ(str(qrn::encrypt_text("abcdefghijklmnopqrstuvwxyz", "WOLBHSIF")), "fed04e3203a213f4");
  EXPECT_EQ(str(qrn::decrypt_text("abcdefghijklmnopqrstuvwxyz", "FED04E3203A213F4")), "WOLBHSIF");
  // fedcba98 76543210 under "Who is John Galt?" is cc91732b 8022f684.
  EXPECT_EQ(str(qrn::encrypt_text("Who is John Galt?", "\x98\xba\xdc\xfe\x10\x32\x54\x76")),
            "2b7391cc84f62280");
}

TEST(TextCipher, PaddingAndRoundTrips) {
  EXPECT_EQ(str(qrn::encrypt_text("key", "")), "");
  EXPECT_EQ(str(qrn::decrypt_text("key", "")), "");
  EXPECT_EQ(qrn::encrypt_text("key", "12345678").length, 16u);  // a whole block is not padded
  EXPECT_EQ(qrn::encrypt_text("key", "123456789").length, 32u);
  // Padding is 0 bytes: the short text encrypts like the text with its zeros written out.
  EXPECT_EQ(str(qrn::encrypt_text("key", "abc")), str(qrn::encrypt_text("key", bytes(std::string("abc\0\0\0\0\0", 8)))));
  for (const char* text : {"x", "seven b", "exactly8", "a somewhat longer text with \xE9 bytes"}) {
    RtString hex = qrn::encrypt_text("secret", text);
    EXPECT_EQ(str(qrn::decrypt_text("secret", hex)), text);
    EXPECT_NE(str(qrn::decrypt_text("Secret", hex)), text);
  }
  // The plain text ends at its first 0 byte.
  RtString hex = qrn::encrypt_text("k", bytes(std::string("ab\0cd", 5)));
  EXPECT_EQ(str(qrn::decrypt_text("k", hex)), "ab");
}

TEST(TextCipher, BadHexStaysInsideTheText) {
  RtString hex = qrn::encrypt_text("key", "sixteen bytes!!!");
  ASSERT_EQ(hex.length, 32u);
  EXPECT_EQ(str(qrn::decrypt_text("key", hex + "a")), "sixteen bytes!!!");        // odd digit
  EXPECT_EQ(str(qrn::decrypt_text("key", hex + "0123")), "sixteen bytes!!!");     // short block
  EXPECT_EQ(str(qrn::decrypt_text("key", qrn::mid_text(hex, 0, 16))), "sixteen ");
  EXPECT_EQ(str(qrn::decrypt_text("key", "abc")), "");                              // no block
  RtString junk = qrn::decrypt_text("key", "zz!!zz!!zz!!zz!!");  // decodes to some bytes
  EXPECT_LE(junk.length, 8u);
}

TEST(TextCipher, EmptyKeyActsAsOneZeroByte) {
  RtString zero_key = qrn::char_from_code(0);
  RtString with_empty = qrn::encrypt_text("", "plain text");
  EXPECT_EQ(str(with_empty), str(qrn::encrypt_text(zero_key, "plain text")));
  EXPECT_EQ(str(qrn::decrypt_text("", with_empty)), "plain text");
  EXPECT_NE(str(with_empty), str(qrn::encrypt_text("a", "plain text")));
}
