// Fuzz entry: the text cipher. The input is a key length byte, the key, then a text that is
// both decrypted as hexadecimal digits (any bytes) and encrypted and decrypted again (which
// must give the text back up to its first 0 byte).
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qrn;
  size_t key_length = fuzz::take_u8(data, size);
  if (key_length > size) key_length = size;
  const RtString key = text_from_bytes(reinterpret_cast<const char*>(data), static_cast<uint32_t>(key_length));
  const RtString text =
      text_from_bytes(reinterpret_cast<const char*>(data + key_length), static_cast<uint32_t>(size - key_length));
  decrypt_text(key, text);
  const RtString back = decrypt_text(key, encrypt_text(key, text));
  const size_t until_zero = strnlen(text.data, text.length);
  if (back.length != until_zero || std::memcmp(back.data, text.data, until_zero) != 0) {
    fuzz::fail("a text does not come back through the cipher");
  }
  return 0;
}
