// Length of an MPEG audio (MP3) file from its frames: every audio frame's samples, less the
// encoder delay and padding that a LAME "Info"/"Xing" frame records. The decoder behind the
// music player estimates MP3 lengths from the first frames, which can be far off; this count
// is exact. Plain code on bytes: it reads nothing outside them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qrn {

// True for the start of an MP3 file: an ID3v2 tag or an MPEG audio frame header.
bool looks_like_mp3(const uint8_t* bytes, size_t size);
// The length in milliseconds; -1 when no MPEG audio frame is found.
double mp3_length_ms(const uint8_t* bytes, size_t size);

}  // namespace qrn
