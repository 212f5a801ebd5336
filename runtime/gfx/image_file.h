// Whole-file reading and writing for the image codecs: disk files and memory-file names read
// the same way, with a cap on the bytes accepted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "files/file_names.h"
#include "gfx/image.h"

namespace qrn {

// Largest file the image loaders read: an uncompressed 32-bit BMP of the most pixels, with
// 64 KiB for its headers and colour table.
constexpr size_t MAX_IMAGE_FILE_BYTES = static_cast<size_t>(MAX_IMAGE_PIXELS) * 4 + (size_t{64} << 10);
static_assert(MAX_IMAGE_FILE_BYTES <= MAX_ARCHIVE_ENTRY_BYTES, "an image file must fit in the resource archive");

// Reads the whole file or memory file; false when it is missing, unreadable (a directory)
// or larger than MAX_IMAGE_FILE_BYTES.
bool read_image_file(const char* name, std::vector<uint8_t>& bytes);
// Creates (or replaces) a disk file with the bytes; false on any failure. A memory-file
// name cannot be written.
bool write_image_file(const char* name, const uint8_t* data, size_t size);

}  // namespace qrn
