// Fuzz entry: the scene reader (";DDW"): sections, keys, counts and the paths and texture
// numbers it makes of them, on arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "3d/objects.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qrn::SceneEntries entries;
  qrn::read_scene_entries(data, size, "scenes/", entries);
  return 0;
}
