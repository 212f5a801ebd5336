// The file layer's record in RuntimeState: the eight file channels and the line-file cache.
#pragma once

#include "files/file_stream.h"

namespace qrn {

struct LineFileCache;

struct FilesState {
  FileStream channels[FILE_CHANNEL_COUNT];
  LineFileCache* line_cache = nullptr;  // made on first use
};

// RuntimeState::files, made on first use.
FilesState& files_state();
// Closes every channel, writes a changed line file back and frees the record.
void release_files_state();

}  // namespace qrn
