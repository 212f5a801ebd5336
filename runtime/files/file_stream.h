// File streams: one open disk file or block of memory read through one interface, the
// memory-file names ("mem://%8x.%8lx") that stand for blocks, and platform paths.
// Streams report failure by their result (1 or 0) and never touch the runtime's error state.
// A memory-file name opens only a block the runtime registered when it made the name and
// has not released since: a forged or stale name is a missing file, never raw memory.
// Limits: names longer than 1023 bytes are refused; a line never exceeds its buffer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/text_value.h"
#include "platform/handles.h"

namespace qrn {

// Longest name a platform call accepts, in bytes.
constexpr uint32_t MAX_PATH_BYTES = 1023;
// Number of file channels (RuntimeState::file_channels).
constexpr int32_t FILE_CHANNEL_COUNT = 8;

struct FileStream {
  FileHandle handle = nullptr;     // open disk file; null when closed and for memory files
  const uint8_t* memory = nullptr; // first byte of a memory file; null for disk files
  uint64_t size = 0;               // bytes in the file or block
  uint64_t position = 0;           // current read offset
};

// True when the stream holds a disk file or a memory block.
inline bool stream_is_open(const FileStream& stream) { return stream.handle || stream.memory; }

// ---- Names ----------------------------------------------------------------------------------
// True for names beginning with "mem://".
bool is_memory_file_name(const char* name);
// "mem://%8x.%8lx" of the block's size and address, and registers the block under that
// name: from now on the name opens it, until release_memory_file. Making the name again
// for the same block replaces the size it was registered with.
RtString memory_file_name(const void* block, uint32_t size);
// Forgets the block: its names open nothing from now on. free_block (when given) releases
// it, at once, or when the last stream still reading it closes.
void release_memory_file(const void* block, void (*free_block)(void*) = nullptr);
// True when the name is a memory-file name of a registered block (address and size).
bool memory_file_known(const char* name);
// The size and address written in a memory-file name (nothing is looked up); false when
// the name is not one or carries no address.
bool parse_memory_file_name(const char* name, const uint8_t*& block, uint64_t& size);
// Copies a runtime path into a platform path (at most MAX_PATH_BYTES bytes and a 0);
// false when the name is longer. The separator on this platform is "/" already.
bool platform_path(const char* name, char (&out)[MAX_PATH_BYTES + 1]);

// ---- Streams (1 success, 0 failure) ---------------------------------------------------------
// Closes what was open, then opens a registered memory-file name or an existing disk file
// for reading. A stream reading a block keeps it alive until stream_close.
int32_t stream_open_read(FileStream& stream, const char* name);
// Opens a disk file of that name emptied (made when missing; an empty directory of the name
// is removed first) for reading and writing; memory-file names fail, and so does a file that
// another open holds, which is left untouched.
int32_t stream_open_write(FileStream& stream, const char* name);
// Opens a disk file for writing at its end, creating it when missing.
int32_t stream_open_append(FileStream& stream, const char* name);
// For files in a shared folder (the temporary folder): removes whatever has the name (a
// link itself, never what it points to; an empty directory) and creates a new file that
// only this user may read, for reading and writing. Fails when the name cannot be freed.
int32_t stream_open_private_write(FileStream& stream, const char* name);
// Opens a memory-file name, or a disk file only when it is a regular file this user owns
// with no other link to it (a symbolic link is not followed), for reading.
int32_t stream_open_owned_read(FileStream& stream, const char* name);
// Disk: succeeds only when all n bytes arrive; position grows by n. Memory: copies what is
// left of n bytes (fails only when position is beyond the end); position grows by the copy.
int32_t stream_read(FileStream& stream, void* destination, uint64_t n);
int32_t stream_read_int32(FileStream& stream, int32_t& value);
// One line into destination without its line end (LF or CR LF), always 0-terminated within
// m bytes: a line of up to m - 1 bytes comes whole, a longer one in pieces of m - 1 bytes.
// Disk files and memory files split alike. line_ended (when given) tells whether the piece
// finished the line. 0 when no byte is left, and for m < 2 (no room for a byte).
int32_t stream_read_line(FileStream& stream, char* destination, uint32_t m, bool* line_ended = nullptr);
// Disk only: writes all n bytes at the platform position (the recorded position stays).
int32_t stream_write(FileStream& stream, const void* bytes, uint64_t n);
// mode 0 from the start, 1 from position, 2 from the end; a target before the start fails.
int32_t stream_seek(FileStream& stream, int64_t offset, int32_t mode);
// Closes the handle, lets go of the block (it is freed only when its owner released it
// while the stream read it) and clears every field.
void stream_close(FileStream& stream);

// A whole line of any length (pieces of stream_read_line joined); false at the end.
bool stream_read_whole_line(FileStream& stream, RtString& line);

// The C library's case-insensitive comparison in the "C" locale (A to Z equal a to z):
// <0, 0 or >0 as unsigned bytes. The _n form compares at most n bytes.
int32_t compare_text_nocase(const char* a, const char* b);
int32_t compare_text_nocase_n(const char* a, const char* b, size_t n);


}  // namespace qrn
