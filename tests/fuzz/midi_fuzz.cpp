// Fuzz entry for the MIDI length reader: any bytes give -1 or a length that is a number
// of milliseconds, never a read outside them.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "sound/midi_length.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  double ms = qrn::midi_length_ms(data, size);
  if (std::isnan(ms) || (ms < 0.0 && ms != -1.0)) std::abort();
  if (ms >= 0.0 && !qrn::looks_like_midi(data, size)) std::abort();
  return 0;
}
