// The Image buffer, the BMP reader and writer, the decoder chain, edge fill and the choice of
// encoder by file name. PNG and JPEG live in png_codec.cpp and jpeg_codec.cpp.
#include "gfx/image_codecs.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <new>

#include "gfx/image_file.h"

namespace qrn {

// ---- Image ------------------------------------------------------------------------------------

bool image_size_allowed(int64_t width, int64_t height) {
  return width >= 1 && height >= 1 && width <= MAX_IMAGE_SIDE && height <= MAX_IMAGE_SIDE &&
         width * height <= MAX_IMAGE_PIXELS;
}

Image::~Image() { release(); }

void Image::release() {
  std::free(pixels);
  pixels = nullptr;
  capacity = 0;
  width = height = 0;
}

bool Image::resize(int32_t w, int32_t h) {
  width = height = 0;
  if (!image_size_allowed(w, h)) return false;
  int32_t bytes = w * h * 4;  // at most 256 MiB by the limits
  if (bytes > capacity) {
    std::free(pixels);
    capacity = 0;
    pixels = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(bytes)));
    if (!pixels) return false;
    capacity = bytes;
  }
  std::memset(pixels, 0, static_cast<size_t>(bytes));
  width = w;
  height = h;
  return true;
}

bool Image::grow_rows(int32_t w, int32_t rows, int32_t final_height) {
  if (!image_size_allowed(w, final_height) || rows < 0 || rows > final_height || (height > 0 && width != w)) {
    width = height = 0;
    return false;
  }
  const int64_t row_bytes = static_cast<int64_t>(w) * 4;
  const int64_t needed = row_bytes * rows;
  if (needed > capacity) {
    int64_t grown = std::max<int64_t>({needed, int64_t{2} * capacity, row_bytes * 16});
    grown = std::min<int64_t>(grown, row_bytes * final_height);
    auto* bigger = static_cast<uint8_t*>(std::realloc(pixels, static_cast<size_t>(grown)));
    if (!bigger) {
      width = height = 0;
      return false;
    }
    pixels = bigger;
    capacity = static_cast<int32_t>(grown);
  }
  const int32_t had = height > 0 ? height : 0;
  if (rows > had) std::memset(pixels + row_bytes * had, 0, static_cast<size_t>(row_bytes * (rows - had)));
  width = w;
  height = rows;
  return true;
}

// ---- BMP reader -------------------------------------------------------------------------------

namespace {

uint32_t read_u16(const uint8_t* p) { return p[0] | (p[1] << 8); }
uint32_t read_u32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

struct BmpLayout {
  int64_t width = 0;
  int64_t height = 0;  // negative: top row first
  uint32_t bits = 0;
  size_t pixel_offset = 0;
  const uint8_t* palette = nullptr;
  uint32_t palette_entries = 0;
  uint32_t entry_size = 4;  // 3 for the OS/2 core header
};

// Reads and checks the headers; every offset it returns lies inside the data.
bool read_bmp_layout(const uint8_t* data, size_t size, BmpLayout& out) {
  if (size < 18 || data[0] != 'B' || data[1] != 'M') return false;
  out.pixel_offset = read_u32(data + 10);
  uint32_t header_size = read_u32(data + 14);
  size_t header_end = 14 + static_cast<size_t>(header_size);
  if (header_size == 12) {
    if (size < 26) return false;
    out.width = read_u16(data + 18);
    out.height = read_u16(data + 20);
    out.bits = read_u16(data + 24);
    out.entry_size = 3;
  } else if (header_size == 40) {
    if (size < 54) return false;
    out.width = static_cast<int32_t>(read_u32(data + 18));
    out.height = static_cast<int32_t>(read_u32(data + 22));
    out.bits = read_u16(data + 28);
    out.entry_size = 4;
  } else {
    return false;
  }
  if (out.bits != 1 && out.bits != 4 && out.bits != 8 && out.bits != 16 && out.bits != 24 &&
      out.bits != 32)
    return false;
  if (!image_size_allowed(out.width, out.height < 0 ? -out.height : out.height)) return false;
  if (out.pixel_offset < header_end || out.pixel_offset > size) return false;
  if (out.bits <= 8) {
    // The colour table is whatever lies between the header and the pixel data, at most one
    // entry per possible index.
    size_t entries = (out.pixel_offset - header_end) / out.entry_size;
    size_t most = size_t{1} << out.bits;
    out.palette_entries = static_cast<uint32_t>(entries < most ? entries : most);
    out.palette = data + header_end;
  }
  return true;
}

}  // namespace

bool decode_bmp_bytes(Image& image, const uint8_t* data, size_t size, int32_t colour_key) {
  image.clear();
  BmpLayout bmp;
  if (!data || !read_bmp_layout(data, size, bmp)) return false;
  const int32_t w = static_cast<int32_t>(bmp.width);
  const int32_t h = static_cast<int32_t>(bmp.height < 0 ? -bmp.height : bmp.height);
  const size_t row_bytes = ((static_cast<size_t>(w) * bmp.bits + 31) / 32) * 4;
  if (row_bytes * static_cast<size_t>(h) > size - bmp.pixel_offset) return false;  // truncated
  if (!image.resize(w, h)) return false;

  for (int32_t y = 0; y < h; ++y) {
    // Bottom-up files store the last row first; top-down files are read in order.
    int32_t file_row = bmp.height > 0 ? h - 1 - y : y;
    const uint8_t* row = data + bmp.pixel_offset + row_bytes * static_cast<size_t>(file_row);
    uint8_t* out = image.at(0, y);
    for (int32_t x = 0; x < w; ++x, out += 4) {
      switch (bmp.bits) {
        case 1:
        case 4:
        case 8: {
          uint32_t per_byte = 8 / bmp.bits;
          uint32_t byte = row[x / per_byte];
          uint32_t shift = 8 - bmp.bits * (x % per_byte + 1);
          uint32_t index = (byte >> shift) & ((1u << bmp.bits) - 1);
          if (index >= bmp.palette_entries) {
            image.clear();
            return false;  // an index past the colour table
          }
          const uint8_t* entry = bmp.palette + index * bmp.entry_size;
          out[0] = entry[2];
          out[1] = entry[1];
          out[2] = entry[0];
          break;
        }
        case 16: {
          uint32_t v = read_u16(row + x * 2);
          out[0] = static_cast<uint8_t>(((v >> 10) & 31) * 255 / 31);
          out[1] = static_cast<uint8_t>(((v >> 5) & 31) * 255 / 31);
          out[2] = static_cast<uint8_t>((v & 31) * 255 / 31);
          break;
        }
        default: {  // 24 and 32 bits: blue, green, red (and one ignored byte)
          const uint8_t* p = row + x * (bmp.bits / 8);
          out[0] = p[2];
          out[1] = p[1];
          out[2] = p[0];
          break;
        }
      }
      if (matches_colour_key(out, colour_key)) {
        out[0] = out[1] = out[2] = out[3] = 0;
      } else {
        out[3] = 255;
      }
    }
  }
  image.alpha_from_file = 0;
  return true;
}

bool decode_bmp(Image& image, const RtString& path, int32_t colour_key) {
  std::vector<uint8_t> bytes;
  image.clear();
  if (!read_image_file(path.c_str(), bytes)) return false;
  return decode_bmp_bytes(image, bytes.data(), bytes.size(), colour_key);
}

bool decode_any(Image& image, const RtString& path, int32_t colour_key) {
  std::vector<uint8_t> bytes;
  image.clear();
  if (!read_image_file(path.c_str(), bytes)) return false;
  return decode_any_bytes(image, bytes.data(), bytes.size(), colour_key, path.c_str());
}

bool decode_any_bytes(Image& image, const uint8_t* data, size_t size, int32_t colour_key,
                      const char* name_for_messages) {
  image.clear();
  return decode_bmp_bytes(image, data, size, colour_key) ||
         decode_png_bytes(image, data, size, colour_key, name_for_messages) ||
         decode_jpeg_bytes(image, data, size);
}

bool decode_png(Image& image, const RtString& path, int32_t colour_key) {
  std::vector<uint8_t> bytes;
  image.clear();
  if (!read_image_file(path.c_str(), bytes)) return false;
  return decode_png_bytes(image, bytes.data(), bytes.size(), colour_key, path.c_str());
}

bool decode_jpeg(Image& image, const RtString& path) {
  std::vector<uint8_t> bytes;
  image.clear();
  if (!read_image_file(path.c_str(), bytes)) return false;
  return decode_jpeg_bytes(image, bytes.data(), bytes.size());
}

// ---- Edge fill ----------------------------------------------------------------------------------

void edge_fill(Image& image) {
  const int32_t w = image.width, h = image.height;
  for (int32_t y = 1; y < h - 1; ++y) {
    for (int32_t x = 1; x < w - 1; ++x) {
      uint8_t* p = image.at(x, y);
      if (p[3] != 0) continue;
      // All three colour channels are averaged: the aim is the neighbours' colour, and a
      // channel left alone would keep whatever the key colour put there.
      uint32_t sum[3] = {0, 0, 0}, count = 0;
      for (int32_t dy = -1; dy <= 1; ++dy) {
        int32_t ny = y + dy;
        if (ny < 1 || ny >= h - 1) continue;
        for (int32_t dx = -1; dx <= 1; ++dx) {
          int32_t nx = x + dx;
          if ((dx == 0 && dy == 0) || nx < 1 || nx >= w - 1) continue;
          const uint8_t* n = image.at(nx, ny);
          if (n[3] == 0) continue;
          sum[0] += n[0];
          sum[1] += n[1];
          sum[2] += n[2];
          ++count;
        }
      }
      for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(count ? sum[c] / count : 0);
    }
  }
}

// ---- BMP writer and encoder choice ---------------------------------------------------------

bool encode_bmp_bytes(const Image& image, std::vector<uint8_t>& out) {
  out.clear();
  if (image.width < 1 || image.height < 1 || !image.pixels) return false;
  const uint32_t row_bytes = (static_cast<uint32_t>(image.width) * 3 + 3) & ~3u;
  const uint32_t file_size = 54 + row_bytes * static_cast<uint32_t>(image.height);
  out.assign(file_size, 0);
  uint8_t* p = out.data();
  auto put32 = [](uint8_t* at, uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
  };
  p[0] = 'B';
  p[1] = 'M';
  put32(p + 2, file_size);
  put32(p + 10, 54);
  put32(p + 14, 40);
  put32(p + 18, static_cast<uint32_t>(image.width));
  put32(p + 22, static_cast<uint32_t>(image.height));
  p[26] = 1;   // planes
  p[28] = 24;  // bits
  put32(p + 38, 10000);
  put32(p + 42, 10000);
  for (int32_t y = 0; y < image.height; ++y) {
    uint8_t* row = p + 54 + static_cast<size_t>(row_bytes) * (image.height - 1 - y);
    for (int32_t x = 0; x < image.width; ++x) {
      const uint8_t* px = image.at(x, y);
      uint8_t* o = row + x * 3;
      if (px[3] == 255) {
        o[0] = px[2];
        o[1] = px[1];
        o[2] = px[0];
      } else {  // the default key RGB(255, 0, 128), so loading restores the transparency
        o[0] = 128;
        o[1] = 0;
        o[2] = 255;
      }
    }
  }
  return true;
}

// True when the path ends in a dot and the three letters, in either case.
static bool has_extension(const RtString& path, const char* letters) {
  if (path.length < 4) return false;
  const char* end = path.data + path.length - 4;
  if (end[0] != '.') return false;
  for (int i = 0; i < 3; ++i) {
    if (std::tolower(static_cast<unsigned char>(end[1 + i])) != letters[i]) return false;
  }
  return true;
}

bool encode_image(const RtString& path, const Image& image) {
  std::vector<uint8_t> bytes;
  bool encoded;
  if (has_extension(path, "png")) {
    encoded = encode_png_bytes(image, bytes);
  } else if (has_extension(path, "jpg")) {
    encoded = encode_jpeg_bytes(image, bytes);
  } else {
    encoded = encode_bmp_bytes(image, bytes);
  }
  return encoded && write_image_file(path.c_str(), bytes.data(), bytes.size());
}

}  // namespace qrn
