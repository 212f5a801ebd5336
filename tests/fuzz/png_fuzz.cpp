// Fuzz entry: the PNG decoder on the input read as a memory file, with the default colour
// key. What it decodes must come back byte for byte through the PNG writer.
#include <cstring>
#include <vector>

#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qrn;
  constexpr int32_t kKey = 0x008000FF;
  fuzz::MemoryInput input(data, size);
  Image image;
  if (!decode_png(image, input.name(), kKey)) return 0;
  fuzz::check_image(image);
  std::vector<uint8_t> written;
  if (!encode_png_bytes(image, written)) fuzz::fail("a decoded PNG cannot be written");
  Image again;
  if (!decode_png_bytes(again, written.data(), written.size(), -1, "again")) fuzz::fail("a written PNG does not decode");
  if (again.width != image.width || again.height != image.height ||
      std::memcmp(again.pixels, image.pixels, static_cast<size_t>(image.width) * image.height * 4) != 0) {
    fuzz::fail("a PNG changed through the writer");
  }
  return 0;
}
