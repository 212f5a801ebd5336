// Fuzz target: the texture-persistence restore on arbitrary bytes. The records are read as
// the device reads its file, without a window; every record handed over must be one the
// checks allow, with all its pixels inside the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "gfx/texture_persistence_internal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint64_t consumed = 0;
  qrn::read_texture_records(data, size, [&](int32_t id, qrn::Image& image) {
    const uint64_t bytes = static_cast<uint64_t>(image.width) * static_cast<uint64_t>(image.height) * 4;
    consumed += qrn::TEXTURE_RECORD_HEADER_BYTES + bytes;
    if (id < 0 || id > qrn::PERSISTED_MAX_ID || image.width < 1 || image.height < 1 || consumed > size ||
        !image.pixels) {
      std::abort();
    }
    // Touch the last pixel so that a buffer shorter than the record shows.
    volatile uint8_t last = image.pixels[bytes - 1];
    (void)last;
    return (id & 1) == 0;  // some sprites "fail", as an upload can
  });
  return 0;
}
