// MP3 length (see mp3_length.h).
#include "sound/mp3_length.h"

#include <cstring>

namespace qrn {

namespace {

struct FrameHeader {
  int32_t version = 0;  // 1 MPEG-1, 2 MPEG-2, 25 MPEG-2.5
  int32_t layer = 0;
  int32_t rate = 0;
  int32_t samples = 0;  // per frame
  size_t bytes = 0;     // whole frame
  bool mono = false;
};

bool parse_header(const uint8_t* p, FrameHeader& h) {
  if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return false;
  int32_t version_bits = (p[1] >> 3) & 3;
  int32_t layer_bits = (p[1] >> 1) & 3;
  int32_t bitrate_index = p[2] >> 4;
  int32_t rate_index = (p[2] >> 2) & 3;
  if (version_bits == 1 || layer_bits == 0 || bitrate_index == 0 || bitrate_index == 15 || rate_index == 3) {
    return false;
  }
  static const int32_t kBitrates[5][14] = {
      {32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},  // MPEG-1 layer I
      {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},     // MPEG-1 layer II
      {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},      // MPEG-1 layer III
      {32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},     // MPEG-2 layer I
      {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},          // MPEG-2 layers II, III
  };
  static const int32_t kRates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
  h.version = version_bits == 3 ? 1 : (version_bits == 2 ? 2 : 25);
  h.layer = 4 - layer_bits;
  bool mpeg1 = h.version == 1;
  int32_t table = mpeg1 ? h.layer - 1 : (h.layer == 1 ? 3 : 4);
  int32_t bitrate = kBitrates[table][bitrate_index - 1] * 1000;
  h.rate = kRates[mpeg1 ? 0 : (h.version == 2 ? 1 : 2)][rate_index];
  int32_t padding = (p[2] >> 1) & 1;
  if (h.layer == 1) {
    h.samples = 384;
    h.bytes = static_cast<size_t>((12 * bitrate / h.rate + padding) * 4);
  } else if (h.layer == 2 || mpeg1) {
    h.samples = 1152;
    h.bytes = static_cast<size_t>(144 * bitrate / h.rate + padding);
  } else {
    h.samples = 576;
    h.bytes = static_cast<size_t>(72 * bitrate / h.rate + padding);
  }
  h.mono = (p[3] >> 6) == 3;
  return h.bytes >= 4;
}

uint32_t be32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// Bytes of an ID3v2 tag at the start, 0 without one.
size_t id3_size(const uint8_t* bytes, size_t size) {
  if (size < 10 || std::memcmp(bytes, "ID3", 3) != 0) return 0;
  const uint8_t* s = bytes + 6;
  if ((s[0] | s[1] | s[2] | s[3]) & 0x80) return 0;
  size_t body = (size_t{s[0]} << 21) | (size_t{s[1]} << 14) | (size_t{s[2]} << 7) | s[3];
  size_t total = 10 + body + ((bytes[5] & 0x10) ? 10 : 0);
  return total <= size ? total : size;
}

// A frame that carries a "Xing", "Info" or "VBRI" header holds no audio. For a LAME header
// the encoder's delay and padding (in samples) are read too.
bool metadata_frame(const uint8_t* frame, const FrameHeader& h, int64_t& trimmed) {
  size_t side = h.version == 1 ? (h.mono ? 17 : 32) : (h.mono ? 9 : 17);
  size_t at = 4 + side;
  if (h.layer == 3 && at + 8 <= h.bytes &&
      (std::memcmp(frame + at, "Xing", 4) == 0 || std::memcmp(frame + at, "Info", 4) == 0)) {
    uint32_t flags = be32(frame + at + 4);
    size_t lame = at + 8 + ((flags & 1) ? 4 : 0) + ((flags & 2) ? 4 : 0) + ((flags & 4) ? 100 : 0) +
                  ((flags & 8) ? 4 : 0);
    if (lame + 24 <= h.bytes && std::memcmp(frame + lame, "LAME", 4) == 0) {
      const uint8_t* d = frame + lame + 21;
      int64_t delay = (int64_t{d[0]} << 4) | (d[1] >> 4);
      int64_t padding = (int64_t{d[1] & 0x0F} << 8) | d[2];
      trimmed = delay + padding;
    }
    return true;
  }
  return h.layer == 3 && 36 + 4 <= h.bytes && std::memcmp(frame + 36, "VBRI", 4) == 0;
}

}  // namespace

bool looks_like_mp3(const uint8_t* bytes, size_t size) {
  if (!bytes) return false;
  if (size >= 3 && std::memcmp(bytes, "ID3", 3) == 0) return true;
  FrameHeader h;
  return size >= 4 && parse_header(bytes, h);
}

double mp3_length_ms(const uint8_t* bytes, size_t size) {
  if (!bytes) return -1.0;
  size_t at = id3_size(bytes, size);
  int64_t samples = 0;
  int64_t trimmed = 0;
  int32_t rate = 0;
  bool first = true;
  while (size - at >= 4) {
    if (size - at == 128 && std::memcmp(bytes + at, "TAG", 3) == 0) break;  // ID3v1 at the end
    FrameHeader h;
    if (!parse_header(bytes + at, h) || (rate && h.rate != rate)) {
      ++at;  // not a frame (damage, or a tag): look for the next one
      continue;
    }
    if (h.bytes > size - at) {
      // The last frame is cut short; a decoder still plays it, unless it is damage.
      if (rate == 0) break;
      samples += h.samples;
      break;
    }
    if (first && metadata_frame(bytes + at, h, trimmed)) {
      rate = h.rate;
    } else {
      samples += h.samples;
      rate = h.rate;
    }
    first = false;
    at += h.bytes;
  }
  if (rate == 0) return -1.0;
  samples -= trimmed;
  if (samples < 0) samples = 0;
  return static_cast<double>(samples) * 1000.0 / rate;
}

}  // namespace qrn
