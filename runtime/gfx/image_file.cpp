// Whole-file reading and writing for the image codecs (see image_file.h).
#include "gfx/image_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qrn {

namespace {

bool is_memory_name(const char* name) { return name && std::strncmp(name, "mem://", 6) == 0; }

// "mem://%8x.%8lx": the size starts 6 bytes in, the address 15 bytes in.
bool read_memory_file(const char* name, std::vector<uint8_t>& bytes) {
  if (std::strlen(name) < 16) return false;
  unsigned long long size = std::strtoull(name + 6, nullptr, 16);
  unsigned long long address = std::strtoull(name + 15, nullptr, 16);
  if (address == 0 || size > MAX_IMAGE_FILE_BYTES) return false;
  const uint8_t* data = reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(address));
  bytes.assign(data, data + size);
  return true;
}

}  // namespace

bool read_image_file(const char* name, std::vector<uint8_t>& bytes) {
  bytes.clear();
  if (!name || !*name) return false;
  if (is_memory_name(name)) return read_memory_file(name, bytes);
  std::FILE* file = std::fopen(name, "rb");
  if (!file) return false;
  // Read in chunks rather than trusting a size query: directories and special files report
  // sizes that mean nothing.
  bool ok = true;
  uint8_t chunk[65536];
  for (;;) {
    size_t got = std::fread(chunk, 1, sizeof chunk, file);
    if (bytes.size() + got > MAX_IMAGE_FILE_BYTES) {
      ok = false;
      break;
    }
    bytes.insert(bytes.end(), chunk, chunk + got);
    if (got < sizeof chunk) {
      ok = !std::ferror(file);
      break;
    }
  }
  std::fclose(file);
  if (!ok) bytes.clear();
  return ok;
}

bool write_image_file(const char* name, const uint8_t* data, size_t size) {
  if (!name || !*name || is_memory_name(name)) return false;
  std::remove(name);  // an old file, or an empty directory of that name
  std::FILE* file = std::fopen(name, "wb");
  if (!file) return false;
  bool ok = std::fwrite(data, 1, size, file) == size;
  if (std::fclose(file) != 0) ok = false;
  return ok;
}

}  // namespace qrn
