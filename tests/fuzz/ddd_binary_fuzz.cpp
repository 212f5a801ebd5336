// Fuzz entry: the binary mesh reader. The first byte picks a version the reader accepts (the
// refusal of other versions is a single comparison), the rest is the file after the version;
// a mesh that reads is turned into triangles and prepared for drawing.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "3d/mesh.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const double kVersions[] = {qrn::DDD_MIN_VERSION, 1.5, qrn::DDD_MAX_VERSION};
  const double version = kVersions[data[0] % 3];
  std::vector<uint8_t> file(12);
  const uint32_t magic = qrn::DDD_MAGIC;
  for (int i = 0; i < 4; ++i) file[static_cast<size_t>(i)] = static_cast<uint8_t>(magic >> (8 * i));
  std::memcpy(&file[4], &version, 8);  // little-endian hosts only, like the format
  file.insert(file.end(), data + 1, data + size);
  qrn::MeshObjectX mesh;
  // A small vertex budget keeps every input fast; the limits are the same code at any budget.
  if (qrn::read_ddd_bytes(mesh, file.data(), file.size(), 1u << 16) == qrn::DddRead::ok) {
    mesh.build_triangles();
    qrn::prepare_mesh(mesh);
  }
  return 0;
}
