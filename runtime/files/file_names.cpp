// File names and the resource archive (see file_names.h). Placeholder until the module is built.
#include "files/file_names.h"

#include <cstdio>

namespace qrn {

struct ResourceArchive {};

ResourceArchive* create_resource_archive() { return new ResourceArchive(); }
void release_resource_archive(ResourceArchive* archive) { delete archive; }
void set_archive_paths(const RtString&, const RtString&) {}
int32_t resolve_file_name(RtString& name) {
  if (name.empty()) return 0;
  FILE* file = std::fopen(name.data, "rb");
  if (file) std::fclose(file);
  return file != nullptr;
}

}  // namespace qrn
