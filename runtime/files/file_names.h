// File names, memory files and the resource archive appended to the program file.
#pragma once

#include <cstdint>

#include "core/text_value.h"

namespace qrn {

struct ResourceArchive;

// A new, enabled archive record with no path.
ResourceArchive* create_resource_archive();
// Releases a record and deletes any file it extracted.
void release_resource_archive(ResourceArchive* archive);
// Points the primary and the extraction archive at the files holding them.
void set_archive_paths(const RtString& primary_path, const RtString& extraction_path);
// 1 when the file can be read under the name it has afterwards (unchanged on disk, or a
// memory-file name from the archive); 0 otherwise.
int32_t resolve_file_name(RtString& name);

}  // namespace qrn
