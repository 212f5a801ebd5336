// Fuzz entry: hexadecimal and URL forms. The input is decoded as a URL text and folded from
// UTF-8; every text comes back from its URL form, and hexadecimal forms have their lengths.
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qrn;
  const RtString text = text_from_bytes(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size));
  const RtString decoded = url_decode(text);
  if (decoded.length > text.length) fuzz::fail("URL decoding made a text longer");
  RtString folded = text;
  utf8_to_8bit(folded);
  if (folded.length > text.length) fuzz::fail("folding UTF-8 made a text longer");
  const RtString encoded = url_encode(text);
  const RtString back = url_decode(encoded);
  if (back.length != text.length || std::memcmp(back.data, text.data, text.length) != 0) {
    fuzz::fail("a text does not come back from its URL form");
  }
  const RtString hex = bytes_to_hex(data, static_cast<int32_t>(size), static_cast<int32_t>(size & 1));
  if (hex.length != 2 * size) fuzz::fail("a hexadecimal form has the wrong length");
  for (size_t i = 0; i + 1 < size; i += 2) {
    int32_t value = hex_pair_value(static_cast<char>(data[i]), static_cast<char>(data[i + 1]));
    if (value < 0 || value > 255 * 16 + 255) fuzz::fail("a hexadecimal pair out of range");
  }
  for (size_t i = 0; i < hex.length; i += 2) {
    if (hex_pair_value(hex.data[i], hex.data[i + 1]) != data[i / 2]) fuzz::fail("a byte does not come back from its hexadecimal form");
  }
  return 0;
}
