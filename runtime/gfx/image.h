// Image: the RGBA pixel buffer every decoder fills and every encoder and texture builder
// reads. Plain data, no GL: rows top to bottom, four bytes per pixel (red, green, blue, alpha).
#pragma once

#include <cstdint>

namespace qrn {

// Limits on decoded images. Files claim any size they like; no decoder allocates for an
// image beyond these (a side of 16384, the largest texture GL drivers make, and 2^26 pixels:
// 256 MiB of RGBA), and none allocates for more pixels than the file's data can hold.
constexpr int32_t MAX_IMAGE_SIDE = 16384;
constexpr int64_t MAX_IMAGE_PIXELS = int64_t{1} << 26;

// True when a width × height image is within the limits (both sides at least 1).
bool image_size_allowed(int64_t width, int64_t height);

struct Image {
  uint8_t alpha_from_file = 1;  // 1: alpha values came from the file (or nothing decoded yet)
  int32_t width = 0;
  int32_t height = 0;
  uint8_t* pixels = nullptr;  // width × height × 4 bytes, owned
  int32_t capacity = 0;       // bytes owned at pixels

  Image() = default;
  ~Image();
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;

  // Sizes the image to w × h (reusing the buffer when it is large enough) and zeroes every
  // pixel. False (and an empty image) when the size is outside the limits or memory runs out.
  bool resize(int32_t w, int32_t h);
  // Makes room for rows 0..rows - 1 of a w-wide image that a decoder fills row by row,
  // final_height rows in the end: the rows already there stay, the new ones are zeroed, and
  // the buffer grows by doubling, so a file whose data ends early costs only what it held.
  // width becomes w and height rows. False (and an empty image) outside the limits or when
  // memory runs out.
  bool grow_rows(int32_t w, int32_t rows, int32_t final_height);
  // Forgets the size; the buffer stays for reuse.
  void clear() { width = height = 0; }
  void release();

  uint8_t* at(int32_t x, int32_t y) { return pixels + (static_cast<int64_t>(y) * width + x) * 4; }
  const uint8_t* at(int32_t x, int32_t y) const {
    return pixels + (static_cast<int64_t>(y) * width + x) * 4;
  }
};

// True when the pixel's red, green and blue equal those of a 0x00BBGGRR colour key
// (-1: no key never matches).
inline bool matches_colour_key(const uint8_t* rgb, int32_t colour_key) {
  if (colour_key == -1) return false;
  uint32_t key = static_cast<uint32_t>(colour_key);
  return rgb[0] == (key & 0xFF) && rgb[1] == ((key >> 8) & 0xFF) && rgb[2] == ((key >> 16) & 0xFF);
}

}  // namespace qrn
