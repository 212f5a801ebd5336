// WAV reader: the RIFF chunk walk that finds the format and the sample data of a WAV file
// held in memory. A plain function on bytes; it never reads outside them and allocates
// nothing, so a damaged or hostile file can only be refused.
//
// Accepted: PCM with 1..8 channels of 8-bit unsigned or 16-, 24- or 32-bit signed samples,
// and 32-bit float (format tags 1, 3 and the extensible tag 0xFFFE with either), a non-zero
// rate, and a block alignment of channels x bytes per sample.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/audio.h"

namespace qrn {

// WAV files larger than this are refused before they are read (256 MiB).
constexpr uint64_t MAX_WAV_FILE_BYTES = uint64_t{256} << 20;

struct WavSound {
  AudioFormat format;
  const uint8_t* samples = nullptr;  // inside the file's bytes
  size_t bytes = 0;                  // whole frames only
};

// Reads "RIFF" size "WAVE", skips chunks until "fmt " (at least 16 bytes), then skips
// chunks until "data". Chunks are padded to even sizes as RIFF requires. False for anything
// else: a short or truncated file, a chunk that claims more bytes than the file has, a
// format it does not accept, or data without one whole frame.
bool read_wav(const uint8_t* bytes, size_t size, WavSound& sound);

}  // namespace qrn
