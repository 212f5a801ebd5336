// JPEG reading and writing over libjpeg. The library's default error handler ends the
// process; ours jumps back to the decoder instead, so corrupt data is an ordinary failure.
#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/errors.h"
#include "gfx/image_codecs.h"

namespace qrn {

namespace {

struct JpegErrors {
  jpeg_error_mgr manager;  // first, so the library's pointer is also ours
  jmp_buf jump;
};

[[noreturn]] void jump_back(j_common_ptr info) {
  longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1);
}
void no_message(j_common_ptr) {}

JpegErrors* returning_errors(JpegErrors& errors) {
  jpeg_std_error(&errors.manager);
  errors.manager.error_exit = jump_back;
  errors.manager.output_message = no_message;
  return &errors;
}

// Between setjmp and the end of decoding: false when the image is refused.
bool read_jpeg_rows(jpeg_decompress_struct& info, std::vector<uint8_t>& rows) {
  jpeg_read_header(&info, TRUE);
  if (!image_size_allowed(info.image_width, info.image_height)) return false;
  jpeg_start_decompress(&info);
  int components = info.output_components;
  if (components != 1 && components != 3 && components != 4) {
    char line[64];
    std::snprintf(line, sizeof line, "JPEG: Channels: %d not supported!\n", components);
    log_write(line);
    return false;
  }
  size_t row_bytes = static_cast<size_t>(info.output_width) * components;
  rows.resize(row_bytes * info.output_height);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = rows.data() + row_bytes * info.output_scanline;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  return true;
}

}  // namespace

bool decode_jpeg_bytes(Image& image, const uint8_t* data, size_t size) {
  image.clear();
  if (!data || size < 4) return false;
  jpeg_decompress_struct info;
  JpegErrors errors;
  info.err = &returning_errors(errors)->manager;
  jpeg_create_decompress(&info);
  std::vector<uint8_t> rows;
  bool ok = false;
  if (setjmp(errors.jump) == 0) {
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    ok = read_jpeg_rows(info, rows);
  }
  int32_t width = static_cast<int32_t>(info.output_width);
  int32_t height = static_cast<int32_t>(info.output_height);
  int components = info.output_components;
  jpeg_destroy_decompress(&info);
  if (!ok || !image.resize(width, height)) {
    image.clear();
    return false;
  }
  const uint8_t* in = rows.data();
  uint8_t* out = image.pixels;
  for (int64_t i = 0, n = static_cast<int64_t>(width) * height; i < n; ++i, out += 4) {
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
    in += components;
  }
  image.alpha_from_file = components == 4 ? 1 : 0;
  return true;
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
