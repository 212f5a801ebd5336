// Whole-file reading and writing for the image codecs: disk files and memory-file names read
// the same way, with a cap on the bytes accepted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qrn {

// Largest file the image loaders read (a maximal 32-bit BMP is about 64 MB).
constexpr size_t MAX_IMAGE_FILE_BYTES = size_t{256} << 20;

// Reads the whole file or memory file; false when it is missing, unreadable (a directory)
// or larger than MAX_IMAGE_FILE_BYTES.
bool read_image_file(const char* name, std::vector<uint8_t>& bytes);
// Creates (or replaces) a disk file with the bytes; false on any failure. A memory-file
// name cannot be written.
bool write_image_file(const char* name, const uint8_t* data, size_t size);

}  // namespace qrn
