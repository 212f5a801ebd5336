// PNG reading and writing over libpng. libpng reports errors by jumping back to the setjmp
// point of the call, so each function keeps its state in plain records made before it.
// Nothing is allocated for the image before its compressed data is known to inflate to at
// least the pixel bytes the header claims: a small file cannot claim a big allocation.
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/errors.h"
#include "gfx/image_codecs.h"

namespace qrn {

namespace {

struct PngSource {
  const uint8_t* data;
  size_t size;
  size_t position;
};

void read_from_memory(png_structp png, png_bytep out, png_size_t count) {
  PngSource* source = static_cast<PngSource*>(png_get_io_ptr(png));
  if (count > source->size - source->position) png_error(png, "truncated");
  std::memcpy(out, source->data + source->position, count);
  source->position += count;
}

void write_to_vector(png_structp png, png_bytep data, png_size_t count) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + count);
}

void flush_nothing(png_structp) {}

// Errors end the decode (back at setjmp) quietly; warnings are ignored.
[[noreturn]] void quiet_error(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void quiet_warning(png_structp, png_const_charp) {}

void print_message(const char* format, const char* name, int value) {
  char line[1200];
  std::snprintf(line, sizeof line, format, name, value);
  print_stdout(line);
}

uint32_t big_endian(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 | p[3];
}

// True when the file's image data (its IDAT chunks, one zlib stream) inflates to at least
// needed bytes. The output goes to a small scratch buffer and the walk stops as soon as
// enough has come out, so the check costs no memory and at most one inflation of the data.
bool image_data_holds(const uint8_t* data, size_t size, uint64_t needed) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  uint8_t scratch[16384];
  uint64_t produced = 0;
  bool stream_ended = false;
  size_t at = 8;  // after the signature
  while (!stream_ended && produced < needed && size - at >= 8) {
    const uint32_t length = big_endian(data + at);
    const bool idat = std::memcmp(data + at + 4, "IDAT", 4) == 0;
    if (std::memcmp(data + at + 4, "IEND", 4) == 0) break;
    const size_t available = size - at - 8;
    const size_t taken = length < available ? length : available;  // a cut chunk gives what it has
    if (idat) {
      z.next_in = const_cast<Bytef*>(data + at + 8);
      z.avail_in = static_cast<uInt>(taken);
      while (z.avail_in > 0 && produced < needed) {
        z.next_out = scratch;
        z.avail_out = sizeof scratch;
        const int result = inflate(&z, Z_NO_FLUSH);
        produced += sizeof scratch - z.avail_out;
        if (result == Z_STREAM_END) {
          stream_ended = true;
          break;
        }
        if (result != Z_OK) {
          inflateEnd(&z);
          return false;
        }
      }
    }
    if (taken < length || available - taken < 4) break;  // no room for the chunk's check sum
    at += 8 + taken + 4;
  }
  inflateEnd(&z);
  return produced >= needed;
}

// Ancillary chunks the decoder has no use for: skipped unread, so none of them can make
// libpng allocate or inflate anything.
const png_byte kIgnoredChunks[] = "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0pHYs\0sBIT\0sCAL\0"
                                  "sPLT\0sRGB\0sTER\0tEXt\0tIME\0zTXt";

// The work of decode_png_bytes between setjmp and the end; false on an unacceptable image.
// rows is filled with the decoded bytes (row_bytes each).
bool read_png_rows(png_structp png, png_infop info, const uint8_t* data, size_t size, std::vector<uint8_t>& rows,
                   std::vector<png_bytep>& row_pointers, int& channels, const char* name) {
  png_set_user_limits(png, MAX_IMAGE_SIDE, MAX_IMAGE_SIDE);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kIgnoredChunks,
                              static_cast<int>(sizeof kIgnoredChunks / 5));
  png_read_info(png, info);
  png_uint_32 width = png_get_image_width(png, info);
  png_uint_32 height = png_get_image_height(png, info);
  if (!image_size_allowed(width, height)) return false;
  // Every layout, interlaced or not, inflates to at least a row's packed pixels per row.
  if (!image_data_holds(data, size, static_cast<uint64_t>(png_get_rowbytes(png, info)) * height)) return false;
  png_set_palette_to_rgb(png);  // these expansions only act where they apply
  png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  png_set_strip_16(png);
  png_set_packing(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);

  channels = png_get_channels(png, info);
  if (channels != 1 && channels != 3 && channels != 4) return false;  // grey with alpha
  int depth = png_get_bit_depth(png, info);
  if (depth != 8) {
    print_message("File %s has bit depth %d.\n", name, depth);
    print_stdout("Only bit depth of 8 is supported.");
    return false;
  }
  int type = png_get_color_type(png, info);
  if (type != PNG_COLOR_TYPE_GRAY && type != PNG_COLOR_TYPE_RGB && type != PNG_COLOR_TYPE_RGBA) {
    print_message("File %s has unsupported color type.\n", name, 0);
    print_stdout("Types GRAY, RGB and RGB_ALPHA are supported.");
    return false;
  }
  size_t row_bytes = png_get_rowbytes(png, info);
  if (row_bytes < width * static_cast<size_t>(channels)) return false;
  rows.resize(row_bytes * height);
  row_pointers.resize(height);
  for (png_uint_32 y = 0; y < height; ++y) row_pointers[y] = rows.data() + row_bytes * y;
  png_read_image(png, row_pointers.data());
  return true;
}

}  // namespace

bool decode_png_bytes(Image& image, const uint8_t* data, size_t size, int32_t colour_key,
                      const char* name_for_messages) {
  image.clear();
  if (!data || size < 8 || std::memcmp(data + 1, "PNG", 3) != 0) return false;
  png_structp png = png_create_read_struct(png_get_libpng_ver(nullptr), nullptr, quiet_error,
                                           quiet_warning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  PngSource source{data, size, 0};
  png_set_read_fn(png, &source, read_from_memory);
  // Containers are made before setjmp so a jump back leaves nothing half-built on the stack.
  std::vector<uint8_t> rows;
  std::vector<png_bytep> row_pointers;
  int channels = 0;
  bool ok = false;
  if (setjmp(png_jmpbuf(png)) == 0) {
    ok = read_png_rows(png, info, data, size, rows, row_pointers, channels,
                       name_for_messages ? name_for_messages : "");
  }
  png_uint_32 width = ok ? png_get_image_width(png, info) : 0;
  png_uint_32 height = ok ? png_get_image_height(png, info) : 0;
  png_destroy_read_struct(&png, &info, nullptr);
  if (!ok || !image.resize(static_cast<int32_t>(width), static_cast<int32_t>(height))) {
    image.clear();
    return false;
  }
  for (png_uint_32 y = 0; y < height; ++y) {
    const uint8_t* in = row_pointers[y];
    uint8_t* out = image.at(0, static_cast<int32_t>(y));
    for (png_uint_32 x = 0; x < width; ++x, out += 4, in += channels) {
      if (channels == 1) {
        out[0] = out[1] = out[2] = in[0];
        out[3] = 255;
      } else if (channels == 3) {
        if (matches_colour_key(in, colour_key)) continue;  // stays (0, 0, 0, 0)
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
        out[3] = 255;
      } else {
        std::memcpy(out, in, 4);  // the file's own alpha: the key does not apply
      }
    }
  }
  image.alpha_from_file = channels == 4 ? 1 : 0;
  return true;
}

bool encode_png_bytes(const Image& image, std::vector<uint8_t>& out) {
  out.clear();
  if (image.width < 1 || image.height < 1 || !image.pixels) return false;
  png_structp png = png_create_write_struct(png_get_libpng_ver(nullptr), nullptr, quiet_error,
                                            quiet_warning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  std::vector<png_bytep> rows(static_cast<size_t>(image.height));
  for (int32_t y = 0; y < image.height; ++y) rows[y] = const_cast<png_bytep>(image.at(0, y));
  bool ok = false;
  if (setjmp(png_jmpbuf(png)) == 0) {
    png_set_write_fn(png, &out, write_to_vector, flush_nothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
                 static_cast<png_uint_32>(image.height), 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color_16 white{};
    white.red = white.green = white.blue = 255;
    png_set_bKGD(png, info, &white);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, info);
    ok = true;
  }
  png_destroy_write_struct(&png, &info);
  if (!ok) out.clear();
  return ok;
}

}  // namespace qrn
