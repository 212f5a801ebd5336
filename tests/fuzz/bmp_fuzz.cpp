// Fuzz entry: the BMP decoder on the input read as a memory file, with the default colour
// key. What it decodes must survive edge fill and come back unchanged through the BMP writer.
#include <cstring>
#include <vector>

#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qrn;
  constexpr int32_t kKey = 0x008000FF;  // RGB(255, 0, 128)
  fuzz::MemoryInput input(data, size);
  Image image;
  if (!decode_bmp(image, input.name(), kKey)) return 0;
  fuzz::check_image(image);
  // Every pixel is opaque or keyed to (0, 0, 0, 0), so the 24-bit writer keeps it exactly.
  std::vector<uint8_t> written;
  if (!encode_bmp_bytes(image, written)) fuzz::fail("a decoded BMP cannot be written");
  Image again;
  if (!decode_bmp_bytes(again, written.data(), written.size(), kKey)) fuzz::fail("a written BMP does not decode");
  if (again.width != image.width || again.height != image.height ||
      std::memcmp(again.pixels, image.pixels, static_cast<size_t>(image.width) * image.height * 4) != 0) {
    fuzz::fail("a BMP changed through the writer");
  }
  edge_fill(image);
  fuzz::check_image(image);
  return 0;
}
