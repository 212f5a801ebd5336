// Fuzz entry for the WAV reader: any bytes are either refused or give a format the runtime
// accepts and a sample view that lies wholly inside them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "sound/wav_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qrn::WavSound sound;
  if (!qrn::read_wav(data, size, sound)) return 0;
  const qrn::AudioFormat& f = sound.format;
  if (f.channels < 1 || f.channels > qrn::AUDIO_MAX_CHANNELS || f.samples_per_second <= 0 ||
      f.block_align != f.channels * (f.bits_per_sample / 8) || sound.bytes == 0 ||
      sound.bytes % static_cast<size_t>(f.block_align) != 0 || sound.samples < data ||
      sound.samples + sound.bytes > data + size) {
    std::abort();
  }
  // Touch every sample byte so a view outside the input shows up under the address sanitizer.
  volatile uint8_t sum = 0;
  for (size_t i = 0; i < sound.bytes; ++i) sum = static_cast<uint8_t>(sum + sound.samples[i]);
  return 0;
}
