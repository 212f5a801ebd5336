// Fuzz entry for the MP3 length reader: any bytes give -1 or a length in milliseconds,
// never a read outside them.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "sound/mp3_length.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  double ms = qrn::mp3_length_ms(data, size);
  if (std::isnan(ms) || (ms < 0.0 && ms != -1.0)) std::abort();
  return 0;
}
