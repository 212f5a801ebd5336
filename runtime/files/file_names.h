// File names and the resource archive: a "kiX" archive appended to a file (the program
// file by default) supplies files that are missing on disk, unpacked into memory (under a
// memory-file name) or into a temporary file. Archive contents are never trusted: a damaged
// archive makes the lookup fail or yield an empty block, and nothing is read outside it.
// Limits: an entry unpacks to at most MAX_ARCHIVE_ENTRY_BYTES, and to no more than LZO1X can
// make of its stored bytes (256 per byte, plus 256); a larger claim unpacks to nothing.
#pragma once

#include <cstdint>

#include "core/text_value.h"
#include "files/file_stream.h"

namespace qrn {

// Largest unpacked archive entry: the largest image file (256 MiB of pixels and 64 KiB of
// headers) fits.
constexpr uint64_t MAX_ARCHIVE_ENTRY_BYTES = (uint64_t{256} << 20) + (uint64_t{64} << 10);

struct ResourceArchive {
  uint8_t enabled = 1;                          // lookups are attempted
  char archive_path[MAX_PATH_BYTES + 1] = {};   // the file whose end holds the archive
  char extracted_file[MAX_PATH_BYTES + 1] = {}; // temporary file of the last lookup
  uint8_t* held_memory = nullptr;               // unpacked block of the last lookup
};

// How archive_lookup hands out an entry.
enum : int32_t {
  ARCHIVE_MEMORY = 0,     // a memory-file name of a block kept until the next lookup
  ARCHIVE_TEMP_FILE = 1,  // a temporary file kept until the next lookup
};

// A new, enabled archive record with no path.
ResourceArchive* create_resource_archive();
// Releases a record: frees its block and deletes any file it extracted.
void release_resource_archive(ResourceArchive* archive);
// Points the primary and the extraction archive (RuntimeState::resource_archives, created
// when missing) at the files holding them, releasing their previous results.
void set_archive_paths(const RtString& primary_path, const RtString& extraction_path);
// 1 and in out the name to open: the name itself when it is a memory-file name or an
// existing disk file, else the unpacked entry of the same base name (case ignored).
// 0 and an empty out when it is found nowhere. Each lookup releases the record's previous
// result, except a lookup of that result's own name, which hands it back unchanged.
int32_t archive_lookup(ResourceArchive* archive, const RtString& name, RtString& out, int32_t mode);
// 1 when the file can be read under the name it has afterwards (unchanged on disk, or a
// memory-file name from the primary archive, valid until the next call: the block is then
// released, and a stream still reading it keeps it until it closes; or the same relative
// name in the program's data folder when the program is installed, see program_places.h);
// 0 otherwise.
int32_t resolve_file_name(RtString& name);
// 1 for a memory-file name of a block the runtime holds, or an existing path that is not a
// directory.
int32_t file_exists(const RtString& name);

}  // namespace qrn
