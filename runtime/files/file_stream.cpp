// File streams over the platform's files and over memory blocks (see file_stream.h).
#include "files/file_stream.h"
#include "platform/files.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace qrn {

namespace {

constexpr uint32_t kLinePiece = 64;  // disk lines are read in pieces of this size

// ---- Registered memory blocks ---------------------------------------------------------------
// Every block a memory-file name may open. Released blocks that streams still read stay
// here (closed to new opens) until the last of those streams closes.
struct MemoryBlock {
  const uint8_t* block;
  uint64_t size;
  int32_t readers;  // open streams reading the block
  bool released;
  void (*free_block)(void*);
};

struct MemoryBlocks {
  std::mutex lock;
  std::vector<MemoryBlock> blocks;
};

// Never destroyed: streams may still close from process-exit handlers.
MemoryBlocks& memory_blocks() {
  static MemoryBlocks* blocks = new MemoryBlocks();
  return *blocks;
}

MemoryBlock* find_block(std::vector<MemoryBlock>& blocks, const void* block, bool released) {
  for (MemoryBlock& entry : blocks) {
    if (entry.block == block && entry.released == released) return &entry;
  }
  return nullptr;
}

void erase_block(std::vector<MemoryBlock>& blocks, MemoryBlock* entry) {
  *entry = blocks.back();
  blocks.pop_back();
}

// A new reader of the registered block the name stands for; false for any other name.
bool open_memory_block(const char* name, const uint8_t*& block, uint64_t& size) {
  if (!parse_memory_file_name(name, block, size)) return false;
  MemoryBlocks& registry = memory_blocks();
  std::lock_guard<std::mutex> hold(registry.lock);
  MemoryBlock* entry = find_block(registry.blocks, block, false);
  if (!entry || entry->size != size) return false;
  ++entry->readers;
  return true;
}

// A reader is done; a released block goes when its last reader does. Blocks that were never
// registered (a stream set up over a private buffer) are not tracked.
void close_memory_block(const uint8_t* block) {
  void (*free_block)(void*) = nullptr;
  {
    MemoryBlocks& registry = memory_blocks();
    std::lock_guard<std::mutex> hold(registry.lock);
    MemoryBlock* entry = find_block(registry.blocks, block, true);
    if (!entry || entry->readers == 0) entry = find_block(registry.blocks, block, false);
    if (!entry || entry->readers == 0) return;
    if (--entry->readers == 0 && entry->released) {
      free_block = entry->free_block;
      erase_block(registry.blocks, entry);
    }
  }
  if (free_block) free_block(const_cast<uint8_t*>(block));
}

// Hexadecimal number after optional blanks; false when there are no digits or it overflows.
bool parse_hex(const char* text, uint64_t& value) {
  while (*text == ' ') ++text;
  value = 0;
  int digits = 0;
  for (;; ++text, ++digits) {
    int d;
    if (*text >= '0' && *text <= '9') {
      d = *text - '0';
    } else if (*text >= 'a' && *text <= 'f') {
      d = *text - 'a' + 10;
    } else if (*text >= 'A' && *text <= 'F') {
      d = *text - 'A' + 10;
    } else {
      break;
    }
    if (digits == 16) return false;
    value = value * 16 + static_cast<uint64_t>(d);
  }
  return digits > 0;
}

}  // namespace

bool is_memory_file_name(const char* name) { return name && std::strncmp(name, "mem://", 6) == 0; }

RtString memory_file_name(const void* block, uint32_t size) {
  char name[64];
  std::snprintf(name, sizeof name, "mem://%8x.%8lx", size,
                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(block)));
  if (block) {
    MemoryBlocks& registry = memory_blocks();
    std::lock_guard<std::mutex> hold(registry.lock);
    MemoryBlock* entry = find_block(registry.blocks, block, false);
    if (entry) {
      entry->size = size;
    } else {
      registry.blocks.push_back(MemoryBlock{static_cast<const uint8_t*>(block), size, 0, false, nullptr});
    }
  }
  return RtString(name);
}

void release_memory_file(const void* block, void (*free_block)(void*)) {
  if (!block) return;
  {
    MemoryBlocks& registry = memory_blocks();
    std::lock_guard<std::mutex> hold(registry.lock);
    MemoryBlock* entry = find_block(registry.blocks, block, false);
    if (entry && entry->readers > 0) {
      entry->released = true;  // the last reader to close frees it
      entry->free_block = free_block;
      return;
    }
    if (entry) erase_block(registry.blocks, entry);
  }
  if (free_block) free_block(const_cast<void*>(block));
}

bool memory_file_known(const char* name) {
  const uint8_t* block;
  uint64_t size;
  if (!parse_memory_file_name(name, block, size)) return false;
  MemoryBlocks& registry = memory_blocks();
  std::lock_guard<std::mutex> hold(registry.lock);
  MemoryBlock* entry = find_block(registry.blocks, block, false);
  return entry && entry->size == size;
}

bool parse_memory_file_name(const char* name, const uint8_t*& block, uint64_t& size) {
  block = nullptr;
  size = 0;
  if (!is_memory_file_name(name) || std::strlen(name) < 16) return false;
  uint64_t address = 0;
  if (!parse_hex(name + 6, size) || !parse_hex(name + 15, address) || address == 0) return false;
  block = reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(address));
  return true;
}

bool platform_path(const char* name, char (&out)[MAX_PATH_BYTES + 1]) {
  out[0] = 0;
  if (!name) return false;
  size_t length = std::strlen(name);
  if (length > MAX_PATH_BYTES) return false;
  std::memcpy(out, name, length + 1);
  return true;
}

namespace {

int32_t open_for_reading(FileStream& stream, const char* name, FileOpenMode mode) {
  stream_close(stream);
  if (!name || !*name) return 0;
  if (is_memory_file_name(name)) {
    const uint8_t* block;
    uint64_t size;
    if (!open_memory_block(name, block, size)) return 0;
    stream.memory = block;
    stream.size = size;
    return 1;
  }
  char path[MAX_PATH_BYTES + 1];
  if (!platform_path(name, path)) return 0;
  FileHandle file = os_files().file_open(path, mode);
  if (!file) return 0;
  int64_t length = os_files().file_length(file);
  stream.handle = file;
  stream.size = length > 0 ? static_cast<uint64_t>(length) : 0;
  return 1;
}

}  // namespace

int32_t stream_open_read(FileStream& stream, const char* name) {
  return open_for_reading(stream, name, FileOpenMode::read);
}

int32_t stream_open_owned_read(FileStream& stream, const char* name) {
  return open_for_reading(stream, name, FileOpenMode::read_owned);
}

// Closes the stream and gives the platform path of a disk file to write; memory files and
// names that are empty or too long cannot be written.
static bool writable_path(FileStream& stream, const char* name, char (&path)[MAX_PATH_BYTES + 1]) {
  stream_close(stream);
  return name && *name && !is_memory_file_name(name) && platform_path(name, path);
}

int32_t stream_open_write(FileStream& stream, const char* name) {
  char path[MAX_PATH_BYTES + 1];
  if (!writable_path(stream, name, path)) return 0;
  // An existing file is emptied in place under its lock rather than deleted and made anew,
  // so a file another open holds is left exactly as it is.
  if (os_files().path_kind(path) == PathKind::directory) os_files().remove_directory(path);
  FileHandle file = os_files().file_open(path, FileOpenMode::create);
  if (!file) return 0;
  stream.handle = file;
  return 1;
}

int32_t stream_open_private_write(FileStream& stream, const char* name) {
  char path[MAX_PATH_BYTES + 1];
  if (!writable_path(stream, name, path)) return 0;
  // remove_file takes a link away itself; the new file is made only where nothing is left.
  os_files().remove_file(path);
  if (os_files().path_kind(path) == PathKind::directory) os_files().remove_directory(path);
  FileHandle file = os_files().file_open(path, FileOpenMode::create_private);
  if (!file) return 0;
  stream.handle = file;
  return 1;
}

int32_t stream_open_append(FileStream& stream, const char* name) {
  char path[MAX_PATH_BYTES + 1];
  if (!writable_path(stream, name, path)) return 0;
  FileHandle file = os_files().file_open(path, FileOpenMode::append);
  if (!file) return 0;
  int64_t length = os_files().file_length(file);
  stream.handle = file;
  stream.size = length > 0 ? static_cast<uint64_t>(length) : 0;
  stream.position = stream.size;
  return 1;
}

int32_t stream_read(FileStream& stream, void* destination, uint64_t n) {
  if (stream.memory) {
    if (stream.position > stream.size) return 0;
    uint64_t left = stream.size - stream.position;
    uint64_t take = n < left ? n : left;
    if (take) std::memcpy(destination, stream.memory + stream.position, take);
    stream.position += take;
    return 1;
  }
  if (!stream.handle) return 0;
  int64_t got = os_files().file_read(stream.handle, destination, n);
  stream.position += n;
  return got >= 0 && static_cast<uint64_t>(got) == n;
}

int32_t stream_read_int32(FileStream& stream, int32_t& value) {
  uint8_t bytes[4] = {0, 0, 0, 0};
  int32_t ok = stream_read(stream, bytes, 4);
  value = static_cast<int32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24);
  return ok;
}

namespace {

// How a piece of a line ends, given the up to two bytes that follow it (ahead bytes were
// readable). A piece that stopped at a line feed or at the end of the data ends its line; a
// full piece ends it too when a line end (LF, or CR LF, or a CR at the end of the data)
// comes right after, so a line of exactly m - 1 bytes is one line. A CR directly before the
// line feed is dropped. Returns the bytes after the piece that belong to it (0 to 2).
uint32_t finish_piece(char* piece, uint32_t& length, bool full, const char* next, uint32_t ahead,
                      bool& ended) {
  uint32_t consumed = 0;
  bool drop_cr = false;
  if (!full) {
    ended = true;
    drop_cr = true;
    consumed = ahead > 0 && next[0] == '\n' ? 1 : 0;
  } else if (ahead == 0) {
    ended = drop_cr = true;
  } else if (next[0] == '\n') {
    ended = drop_cr = true;
    consumed = 1;
  } else if (next[0] == '\r' && (ahead == 1 || next[1] == '\n')) {
    ended = true;
    consumed = ahead == 1 ? 1 : 2;
  }
  if (drop_cr && length && piece[length - 1] == '\r') --length;
  piece[length] = 0;
  return consumed;
}

}  // namespace

int32_t stream_read_line(FileStream& stream, char* destination, uint32_t m, bool* line_ended) {
  bool ended_here = false;
  bool& ended = line_ended ? *line_ended : ended_here;
  ended = false;
  if (!destination || m == 0) return 0;
  destination[0] = 0;
  if (m < 2) return 0;  // no room for a byte: nothing could ever be read
  const uint32_t limit = m - 1;  // room for the terminator

  if (stream.memory) {
    if (stream.position >= stream.size) return 0;
    const uint8_t* start = stream.memory + stream.position;
    const uint64_t left = stream.size - stream.position;
    uint32_t count = 0;
    while (count < limit && count < left && start[count] != '\n') ++count;
    std::memcpy(destination, start, count);
    const uint64_t after = left - count;
    const uint32_t ahead = after < 2 ? static_cast<uint32_t>(after) : 2;
    uint32_t length = count;
    uint32_t consumed = finish_piece(destination, length, count == limit, reinterpret_cast<const char*>(start + count),
                                     ahead, ended);
    stream.position += count + consumed;
    return 1;
  }

  if (!stream.handle) return 0;
  // Disk: pieces of at most 64 bytes straight into the destination, up to the first line
  // feed; the platform position is then set to just after what the line took.
  uint32_t filled = 0;
  bool at_end = false;  // the file ended before the piece was full
  char next[2];
  uint32_t ahead = 0;
  while (filled < limit) {
    uint32_t want = limit - filled < kLinePiece ? limit - filled : kLinePiece;
    int64_t got = os_files().file_read(stream.handle, destination + filled, want);
    if (got <= 0) {
      at_end = true;
      break;
    }
    char* feed = static_cast<char*>(std::memchr(destination + filled, '\n', static_cast<size_t>(got)));
    if (feed) {
      filled = static_cast<uint32_t>(feed - destination);
      next[0] = '\n';
      ahead = 1;
      break;
    }
    filled += static_cast<uint32_t>(got);
    if (static_cast<uint32_t>(got) < want) {
      at_end = true;
      break;
    }
  }
  if (filled == 0 && at_end) return 0;
  bool full = filled == limit;
  if (full) {
    int64_t got = os_files().file_read(stream.handle, next, 2);
    ahead = got > 0 ? static_cast<uint32_t>(got) : 0;
  }
  uint32_t length = filled;
  uint32_t consumed = finish_piece(destination, length, full, next, ahead, ended);
  stream.position += filled + consumed;
  os_files().file_seek(stream.handle, static_cast<int64_t>(stream.position));
  return 1;
}

int32_t stream_write(FileStream& stream, const void* bytes, uint64_t n) {
  if (!stream.handle) return 0;
  if (n == 0) return 1;
  int64_t written = os_files().file_write(stream.handle, bytes, n);
  return written >= 0 && static_cast<uint64_t>(written) == n;
}

int32_t stream_seek(FileStream& stream, int64_t offset, int32_t mode) {
  if (!stream_is_open(stream)) return 0;
  int64_t base = mode == 0 ? 0 : mode == 1 ? static_cast<int64_t>(stream.position) : static_cast<int64_t>(stream.size);
  int64_t target = base + offset;
  if (target < 0) return 0;
  stream.position = static_cast<uint64_t>(target);
  if (stream.handle) return os_files().file_seek(stream.handle, target) ? 1 : 0;
  return 1;
}

void stream_close(FileStream& stream) {
  if (stream.handle) os_files().file_close(stream.handle);
  if (stream.memory) close_memory_block(stream.memory);
  stream = FileStream{};
}

bool stream_read_whole_line(FileStream& stream, RtString& line) {
  std::string whole;
  char piece[1024];
  bool ended = false;
  int32_t pieces = 0;
  // A piece that did not end its line is followed by at least one more byte of it.
  while (!ended && stream_read_line(stream, piece, sizeof piece, &ended)) {
    ++pieces;
    whole += piece;
  }
  line = text_from_bytes(whole.data(), static_cast<uint32_t>(whole.size()));
  return pieces > 0;
}

int32_t compare_text_nocase_n(const char* a, const char* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    int ca = static_cast<unsigned char>(a[i]);
    int cb = static_cast<unsigned char>(b[i]);
    if (ca >= 'A' && ca <= 'Z') ca += 'a' - 'A';
    if (cb >= 'A' && cb <= 'Z') cb += 'a' - 'A';
    if (ca != cb) return ca - cb;
    if (ca == 0) return 0;
  }
  return 0;
}

int32_t compare_text_nocase(const char* a, const char* b) { return compare_text_nocase_n(a, b, SIZE_MAX); }


}  // namespace qrn
