// JPEG reading and writing over libjpeg. The library's default error handler ends the
// process; ours jumps back to the decoder instead, so corrupt data is an ordinary failure.
// libjpeg repairs data that ends early or is damaged (with a warning) and goes on; here such
// a warning fails the decode. What a file can make the decoder allocate is bounded: the
// image grows as rows arrive, a file with many scans gets a memory budget that grows with
// its size, more than MAX_JPEG_SCANS scans are refused, and so is an image of more than
// MAX_JPEG_PIXELS_PER_BYTE pixels for each byte of the file.
#include <cstdio>
// jpeglib.h needs size_t and FILE declared first; jerror.h needs its configuration.
#include <jpeglib.h>
#include <jerror.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/errors.h"
#include "gfx/image_codecs.h"

namespace qrn {

namespace {

// libjpeg's own memory (beyond a few rows) is the coefficient store of a progressive or
// multi-scan file: at most this much, plus kJpegMemoryPerByte for every byte of the file.
constexpr long kJpegBaseMemory = 16L << 20;
constexpr long kJpegMemoryPerByte = 256;

struct JpegErrors {
  jpeg_error_mgr manager;  // first, so the library's pointer is also ours
  jmp_buf jump;
};

[[noreturn]] void jump_back(j_common_ptr info) {
  longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1);
}
void no_message(j_common_ptr) {}

// Warnings (level -1) that mean the data ended early or is damaged end the decode; others
// (an unknown JFIF revision or colour transform, junk between markers) and trace messages
// are dropped.
void fail_on_damage(j_common_ptr info, int level) {
  if (level >= 0) return;
  switch (info->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_BOGUS_PROGRESSION:
      jump_back(info);
    default:
      return;
  }
}

JpegErrors* returning_errors(JpegErrors& errors) {
  jpeg_std_error(&errors.manager);
  errors.manager.error_exit = jump_back;
  errors.manager.output_message = no_message;
  return &errors;
}

// Called by libjpeg as it works through the file: a file with too many scans is refused
// before it can spend time without end on them.
void limit_scans(j_common_ptr info) {
  if (info->is_decompressor &&
      reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > MAX_JPEG_SCANS) {
    jump_back(info);
  }
}

// Between setjmp and the end of decoding: false when the image is refused. The image grows
// row by row as the scanlines arrive; row holds one scanline.
bool read_jpeg_rows(jpeg_decompress_struct& info, size_t size, Image& image, std::vector<uint8_t>& row) {
  jpeg_read_header(&info, TRUE);
  if (!image_size_allowed(info.image_width, info.image_height)) return false;
  // Huffman-coded data cannot hold more than 512 pixels a byte (a bit for each block of 64),
  // but arithmetic-coded data whose end is missing reads as zeros without a warning, so a
  // few hundred bytes could claim a full-size image.
  if (static_cast<int64_t>(info.image_width) * info.image_height > MAX_JPEG_PIXELS_PER_BYTE * static_cast<int64_t>(size)) {
    return false;
  }
  info.mem->max_memory_to_use = kJpegBaseMemory + kJpegMemoryPerByte * static_cast<long>(size);
  jpeg_start_decompress(&info);
  const int components = info.output_components;
  if (components != 1 && components != 3 && components != 4) {
    char line[64];
    std::snprintf(line, sizeof line, "JPEG: Channels: %d not supported!\n", components);
    log_write(line);
    return false;
  }
  const int32_t width = static_cast<int32_t>(info.output_width);
  const int32_t height = static_cast<int32_t>(info.output_height);
  if (!image_size_allowed(width, height)) return false;
  row.resize(static_cast<size_t>(width) * components);
  while (info.output_scanline < info.output_height) {
    const int32_t y = static_cast<int32_t>(info.output_scanline);
    if (!image.grow_rows(width, y + 1, height)) return false;
    JSAMPROW into = row.data();
    if (jpeg_read_scanlines(&info, &into, 1) != 1) return false;
    const uint8_t* in = row.data();
    uint8_t* out = image.at(0, y);
    for (int32_t x = 0; x < width; ++x, out += 4, in += components) {
      if (components == 1) {
        out[0] = out[1] = out[2] = in[0];
        out[3] = 255;
      } else if (components == 3) {
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
        out[3] = 255;
      } else {
        std::memcpy(out, in, 4);
      }
    }
  }
  jpeg_finish_decompress(&info);
  image.alpha_from_file = components == 4 ? 1 : 0;
  return true;
}

}  // namespace

bool decode_jpeg_bytes(Image& image, const uint8_t* data, size_t size) {
  image.clear();
  if (!data || size < 4) return false;
  jpeg_decompress_struct info;
  JpegErrors errors;
  info.err = &returning_errors(errors)->manager;
  errors.manager.emit_message = fail_on_damage;
  jpeg_progress_mgr progress{};
  progress.progress_monitor = limit_scans;
  jpeg_create_decompress(&info);
  info.progress = &progress;
  std::vector<uint8_t> row;
  bool ok = false;
  if (setjmp(errors.jump) == 0) {
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    ok = read_jpeg_rows(info, size, image, row);
  }
  jpeg_destroy_decompress(&info);
  if (!ok) image.clear();
  return ok;
}

bool encode_jpeg_bytes(const Image& image, std::vector<uint8_t>& out) {
  out.clear();
  if (image.width < 1 || image.height < 1 || !image.pixels) return false;
  jpeg_compress_struct info;
  JpegErrors errors;
  info.err = &returning_errors(errors)->manager;
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long buffer_size = 0;
  std::vector<uint8_t> row(static_cast<size_t>(image.width) * 3);
  bool ok = false;
  if (setjmp(errors.jump) == 0) {
    jpeg_mem_dest(&info, &buffer, &buffer_size);
    info.image_width = static_cast<JDIMENSION>(image.width);
    info.image_height = static_cast<JDIMENSION>(image.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 80, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
      const uint8_t* in = image.at(0, static_cast<int32_t>(info.next_scanline));
      for (int32_t x = 0; x < image.width; ++x) std::memcpy(&row[x * 3], in + x * 4, 3);
      JSAMPROW pointer = row.data();
      jpeg_write_scanlines(&info, &pointer, 1);
    }
    jpeg_finish_compress(&info);
    ok = true;
  }
  jpeg_destroy_compress(&info);
  if (ok && buffer) out.assign(buffer, buffer + buffer_size);
  std::free(buffer);
  return ok;
}

}  // namespace qrn
