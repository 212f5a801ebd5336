// Shared pieces of the fuzz entry points (see fuzz_support.h).
#include "fuzz/fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qrn::fuzz {

MemoryInput::MemoryInput(const uint8_t* data, size_t size)
    : bytes_(static_cast<uint8_t*>(std::malloc(size))), size_(size) {
  if (!bytes_) bytes_ = static_cast<uint8_t*>(std::malloc(1));
  if (size) std::memcpy(bytes_, data, size);
  name_ = memory_file_name(bytes_, static_cast<uint32_t>(size));
}

MemoryInput::~MemoryInput() { release_memory_file(bytes_, std::free); }

std::string disk_copy(const char* name, const uint8_t* data, size_t size) {
  const char* folder = std::getenv("TMPDIR");
  std::string path = std::string(folder && *folder ? folder : "/tmp") + "/qrn_fuzz_" +
                     std::to_string(static_cast<long>(getpid())) + "_" + name;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) fail("cannot write " + path);
  if (size && std::fwrite(data, 1, size, file) != size) fail("cannot write " + path);
  std::fclose(file);
  return path;
}

void fail(const std::string& what) {
  std::fprintf(stderr, "fuzz property broken: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

uint32_t check_image(const Image& image) {
  if (!image_size_allowed(image.width, image.height)) fail("decoded image outside the limits");
  if (image.capacity < image.width * image.height * 4) fail("decoded image larger than its buffer");
  uint32_t sum = 0;
  const int64_t bytes = static_cast<int64_t>(image.width) * image.height * 4;
  for (int64_t i = 0; i < bytes; ++i) sum += image.pixels[i];
  return sum;
}

uint32_t take_u8(const uint8_t*& data, size_t& size) {
  if (size < 1) return 0;
  uint32_t value = data[0];
  ++data;
  --size;
  return value;
}

uint32_t take_u16(const uint8_t*& data, size_t& size) {
  uint32_t low = take_u8(data, size);
  return low | take_u8(data, size) << 8;
}

}  // namespace qrn::fuzz
