// The persistence file's records as plain data (no GL): what the device writes and reads, and
// what the fuzz target feeds with arbitrary bytes.
//
// A record is the sprite id, width and height as 32-bit little-endian integers, then width ×
// height pixels of four bytes (red, green, blue, alpha), rows from the top. The file is the
// records one after another, with no header and no padding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "files/file_stream.h"
#include "gfx/image.h"

namespace qrn {

constexpr int32_t PERSISTED_MAX_ID = 65535;  // ids 0..65535 are saved
constexpr uint64_t TEXTURE_RECORD_HEADER_BYTES = 12;

// True when a record with this header may be read: id 0..65535, both sizes at least 1 and
// within the image limits, and its pixels within the bytes that follow the header.
bool texture_record_allowed(int32_t id, int32_t width, int32_t height, uint64_t bytes_after_header);

// Appends the record of image as sprite id.
void append_texture_record(std::vector<uint8_t>& out, int32_t id, const Image& image);

// Receives one record's sprite; false when it could not be made (the reading goes on).
using TextureRecordSink = std::function<bool(int32_t id, Image& image)>;

// Reads records from the stream's position to its end, handing each to sink. Stops at the
// first record that is refused or cut short, before reading or allocating anything for it.
// True when every record was read and sink took each.
bool read_texture_records(FileStream& stream, const TextureRecordSink& sink);
// The same over bytes in memory.
bool read_texture_records(const uint8_t* data, size_t size, const TextureRecordSink& sink);

// Deletes the persistence file (a link of that name itself, never what it points to).
void delete_persistence_file();

}  // namespace qrn
