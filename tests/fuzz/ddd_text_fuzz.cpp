// Fuzz entry: the text mesh reader ("DDDA") on arbitrary bytes; a mesh that reads is turned
// into triangles and prepared for drawing. Inputs that start like a binary mesh are left to
// the binary target.
#include <cstddef>
#include <cstdint>

#include "3d/mesh.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size >= 4 && (data[0] | data[1] << 8 | data[2] << 16 | static_cast<uint32_t>(data[3]) << 24) == qrn::DDD_MAGIC)
    return 0;
  qrn::MeshObjectX mesh;
  // A small vertex budget keeps every input fast; the limits are the same code at any budget.
  if (qrn::read_ddd_bytes(mesh, data, size, 1u << 16) == qrn::DddRead::ok) {
    mesh.build_triangles();
    qrn::prepare_mesh(mesh);
  }
  return 0;
}
