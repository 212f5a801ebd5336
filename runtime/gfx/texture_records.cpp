// The persistence file's records (see texture_persistence_internal.h): plain functions on
// bytes, apart from the device so that they can be fuzzed alone.
#include "gfx/texture_persistence_internal.h"

namespace qrn {

namespace {

void put_int32(std::vector<uint8_t>& out, int32_t value) {
  const uint32_t v = static_cast<uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

int32_t get_int32(const uint8_t* bytes) {
  return static_cast<int32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24);
}

}  // namespace

bool texture_record_allowed(int32_t id, int32_t width, int32_t height, uint64_t bytes_after_header) {
  if (id < 0 || id > PERSISTED_MAX_ID) return false;
  if (!image_size_allowed(width, height)) return false;  // also refuses sizes below 1
  return static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4 <= bytes_after_header;
}

void append_texture_record(std::vector<uint8_t>& out, int32_t id, const Image& image) {
  put_int32(out, id);
  put_int32(out, image.width);
  put_int32(out, image.height);
  const size_t bytes = static_cast<size_t>(image.width) * image.height * 4;
  out.insert(out.end(), image.pixels, image.pixels + bytes);
}

bool read_texture_records(FileStream& stream, const TextureRecordSink& sink) {
  bool all = true;
  Image image;
  while (stream.position < stream.size) {
    uint8_t header[TEXTURE_RECORD_HEADER_BYTES];
    const uint64_t left = stream.size - stream.position;
    if (left < TEXTURE_RECORD_HEADER_BYTES || !stream_read(stream, header, sizeof header)) return false;
    const int32_t id = get_int32(header), width = get_int32(header + 4), height = get_int32(header + 8);
    if (!texture_record_allowed(id, width, height, left - TEXTURE_RECORD_HEADER_BYTES)) return false;
    if (!image.resize(width, height)) return false;
    if (!stream_read(stream, image.pixels, static_cast<uint64_t>(width) * height * 4)) return false;
    image.alpha_from_file = 1;
    if (!sink(id, image)) all = false;
  }
  return all;
}

bool read_texture_records(const uint8_t* data, size_t size, const TextureRecordSink& sink) {
  if (!data && size) return false;
  FileStream stream;
  static const uint8_t kNothing = 0;
  stream.memory = data ? data : &kNothing;
  stream.size = size;
  return read_texture_records(stream, sink);
}

}  // namespace qrn
