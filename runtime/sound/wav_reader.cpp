// WAV reader (see wav_reader.h).
#include "sound/wav_reader.h"

#include <cstring>

namespace qrn {

namespace {

constexpr uint16_t WAVE_FORMAT_PCM = 1;
constexpr uint16_t WAVE_FORMAT_IEEE_FLOAT = 3;
constexpr uint16_t WAVE_FORMAT_EXTENSIBLE = 0xFFFE;
constexpr size_t FORMAT_BYTES = 16;
constexpr size_t EXTENSIBLE_FORMAT_BYTES = 40;  // with the sub-format's tag at offset 24

uint16_t u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t u32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

// Walks from offset to the chunk named id; on success offset is its content and size its
// length, which lies wholly inside the file.
bool find_chunk(const uint8_t* bytes, size_t total, size_t& offset, const char* id, size_t& size) {
  for (;;) {
    if (total - offset < 8) return false;
    const uint8_t* header = bytes + offset;
    uint64_t length = u32(header + 4);
    offset += 8;
    if (length > total - offset) return false;
    if (std::memcmp(header, id, 4) == 0) {
      size = static_cast<size_t>(length);
      return true;
    }
    uint64_t skip = length + (length & 1);  // the pad byte after an odd-sized chunk
    if (skip > total - offset) return false;
    offset += static_cast<size_t>(skip);
  }
}

}  // namespace

bool read_wav(const uint8_t* bytes, size_t size, WavSound& sound) {
  sound = WavSound();
  if (!bytes || size < 12) return false;
  if (std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0) return false;
  size_t offset = 12;
  size_t format_size = 0;
  if (!find_chunk(bytes, size, offset, "fmt ", format_size) || format_size < FORMAT_BYTES) return false;
  const uint8_t* fmt = bytes + offset;
  uint16_t tag = u16(fmt);
  AudioFormat format;
  format.channels = u16(fmt + 2);
  uint32_t rate = u32(fmt + 4);
  format.block_align = u16(fmt + 12);
  format.bits_per_sample = u16(fmt + 14);
  if (tag == WAVE_FORMAT_EXTENSIBLE && format_size >= EXTENSIBLE_FORMAT_BYTES) tag = u16(fmt + 24);
  if (tag == WAVE_FORMAT_IEEE_FLOAT) {
    format.floating = true;
  } else if (tag != WAVE_FORMAT_PCM) {
    return false;  // compressed or unknown encodings would play as noise
  }
  uint64_t format_skip = uint64_t{format_size} + (format_size & 1);
  if (format_skip > size - offset) return false;
  offset += static_cast<size_t>(format_skip);

  if (format.channels < 1 || format.channels > AUDIO_MAX_CHANNELS) return false;
  if (rate == 0 || rate > INT32_MAX) return false;
  format.samples_per_second = static_cast<int32_t>(rate);
  int32_t bits = format.bits_per_sample;
  bool integer_bits = bits == 8 || bits == 16 || bits == 24 || bits == 32;
  if (format.floating ? bits != 32 : !integer_bits) return false;
  if (format.block_align == 0 || format.block_align != format.channels * (bits / 8)) return false;

  size_t data_size = 0;
  if (!find_chunk(bytes, size, offset, "data", data_size)) return false;
  size_t whole = data_size - data_size % static_cast<size_t>(format.block_align);
  if (whole == 0) return false;
  sound.format = format;
  sound.samples = bytes + offset;
  sound.bytes = whole;
  return true;
}

}  // namespace qrn
