// Builders of binary mesh files for the tests, and memory-file names for byte buffers.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "files/file_stream.h"
#include "3d/mesh.h"

namespace qrn::test {

using Bytes = std::vector<uint8_t>;

// Little-endian values appended to a byte buffer.
struct ByteWriter {
  Bytes bytes;
  ByteWriter& u8(uint8_t v) {
    bytes.push_back(v);
    return *this;
  }
  ByteWriter& u32(uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return *this;
  }
  ByteWriter& i32(int32_t v) { return u32(static_cast<uint32_t>(v)); }
  ByteWriter& f32(float v) {
    uint32_t raw;
    std::memcpy(&raw, &v, 4);
    return u32(raw);
  }
  ByteWriter& f64(double v) {
    uint64_t raw;
    std::memcpy(&raw, &v, 8);
    for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<uint8_t>(raw >> (8 * i)));
    return *this;
  }
};

// The header of a binary mesh: magic, version, frame, colour and pair counts, the colour
// table and the pairs.
inline ByteWriter binary_header(double version, int32_t frames, const std::vector<uint32_t>& colours,
                                const std::vector<float>& pairs) {
  ByteWriter w;
  w.u32(DDD_MAGIC).f64(version).i32(frames).i32(static_cast<int32_t>(colours.size()));
  w.i32(static_cast<int32_t>(pairs.size() / 2));
  for (uint32_t c : colours) w.u32(c);
  for (float p : pairs) w.f32(p);
  return w;
}

// One vertex of a version-2.0 frame.
struct FloatVertex {
  float x, y, z;
  uint8_t normal, colour;
};

// A version-2.0 mesh with one frame of these vertices; pairs default to one (i, 2i) per vertex.
inline Bytes float_mesh(const std::vector<uint32_t>& colours, const std::vector<FloatVertex>& vertices) {
  std::vector<float> pairs;
  for (size_t i = 0; i < vertices.size(); ++i) {
    pairs.push_back(static_cast<float>(i));
    pairs.push_back(static_cast<float>(2 * i));
  }
  ByteWriter w = binary_header(2.0, 1, colours, pairs);
  w.i32(static_cast<int32_t>(vertices.size()));
  for (const FloatVertex& v : vertices) w.f32(v.x).f32(v.y).f32(v.z).u8(v.normal).u8(v.colour);
  return w.bytes;
}

// The memory-file name of a buffer (valid while the buffer lives unchanged).
inline RtString memory_name(const Bytes& bytes) {
  return memory_file_name(bytes.data(), static_cast<uint32_t>(bytes.size()));
}
inline RtString memory_name(const std::string& text) {
  return memory_file_name(text.data(), static_cast<uint32_t>(text.size()));
}

}  // namespace qrn::test
