// The file layer's record in RuntimeState: the eight file channels and the line-file cache.
#pragma once

#include <string>
#include <vector>

#include "files/file_stream.h"

namespace qrn {

struct LineFileCache;

// The bytes of a changed line file whose file another open held when it was to be written.
struct UnwrittenLineFile {
  std::string name;
  std::string bytes;
};

struct FilesState {
  FileStream channels[FILE_CHANNEL_COUNT];
  LineFileCache* line_cache = nullptr;  // made on first use
  // Tried again at every switch of the cache and at the end; switching back to such a file
  // takes its lines back into the cache.
  std::vector<UnwrittenLineFile> unwritten_line_files;
};

// RuntimeState::files, made on first use.
FilesState& files_state();
// Closes every channel, writes a changed line file back and frees the record.
void release_files_state();

}  // namespace qrn
