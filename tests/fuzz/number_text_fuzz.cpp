// Fuzz entry: conversions between numbers and texts. The input is read as a number text in
// every form; the numbers come back through their texts, and width-formatted texts have
// their exact lengths.
#include <cmath>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qrn;
  const uint8_t* front = data;
  size_t left = size;
  const int32_t width = static_cast<int32_t>(fuzz::take_u8(front, left)) - 128;  // -128 .. 127
  const int32_t decimals = static_cast<int32_t>(fuzz::take_u8(front, left) % 48) - 8;
  const RtString text = text_from_bytes(reinterpret_cast<const char*>(front), static_cast<uint32_t>(left));

  const int32_t whole = text_to_int(text);
  const int64_t wide = text_to_int64(text);
  const double real = text_to_double(text);
  if (text_to_int(RtString(whole)) != whole) fuzz::fail("a whole number does not come back from its text");
  if (text_to_int64(int64_to_text(wide)) != wide) fuzz::fail("a 64-bit number does not come back from its text");
  const RtString real_text = double_to_text(real);
  const double back = text_to_double(real_text);
  if (std::isfinite(real) && std::fabs(back - real) > std::fabs(real) * 1e-9) {
    fuzz::fail("a double does not come back from its text: " + std::string(real_text.data));
  }
  for (int32_t radix : {2, 10, 16, 36}) {
    const RtString digits = int64_to_text_radix(wide, radix);
    if (digits.length == 0 || digits.length > 65) fuzz::fail("a radix text has no sensible length");
  }
  const RtString fixed = format_fixed(width, decimals, real);
  if (fixed.length < static_cast<uint32_t>(std::abs(width))) fuzz::fail("a fixed text is narrower than its width");
  const RtString padded = format_int(width, whole);
  if (padded.length < static_cast<uint32_t>(std::abs(width))) fuzz::fail("an integer text is narrower than its width");
  if (text_to_int(padded) != whole) fuzz::fail("a width-formatted integer reads back differently");
  hex_text(whole);
  return 0;
}
