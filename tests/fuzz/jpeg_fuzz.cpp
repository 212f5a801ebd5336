// Fuzz entry: the JPEG decoder on the input read as a memory file. A small decoded image is
// written again as JPEG and must decode to the same size.
#include <vector>

#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qrn;
  fuzz::MemoryInput input(data, size);
  Image image;
  if (!decode_jpeg(image, input.name())) return 0;
  fuzz::check_image(image);
  if (static_cast<int64_t>(image.width) * image.height > 65536) return 0;
  std::vector<uint8_t> written;
  if (!encode_jpeg_bytes(image, written)) fuzz::fail("a decoded JPEG cannot be written");
  Image again;
  if (!decode_jpeg_bytes(again, written.data(), written.size()) || again.width != image.width ||
      again.height != image.height) {
    fuzz::fail("a written JPEG does not decode to its size");
  }
  return 0;
}
