// File names and the resource archive (see file_names.h).
//
// Archive layout, all integers 32-bit little-endian: the entries' data, the directory (per
// entry: name length L, L name bytes, entry position, stored length; L = 0 ends it), then
// "kiX" and D, the directory position. Positions count from the end of the file when D < 0.
// An entry holds its unpacked length followed by the LZO1X-compressed bytes.
#include "files/file_names.h"

#include <lzo/lzo1x.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "core/runtime_state.h"
#include "files/program_places.h"
#include "platform/files.h"
#include "platform/process.h"

namespace qrn {

namespace {

constexpr uint64_t kTrailerBytes = 7;  // "kiX" and D
// The most bytes LZO1X stores the largest entry in (its worst case for data that does not
// compress), with the 4-byte unpacked length.
constexpr uint64_t kMostStoredBytes = MAX_ARCHIVE_ENTRY_BYTES + MAX_ARCHIVE_ENTRY_BYTES / 16 + 64 + 3 + 4;

bool lzo_ready() {
  static const bool ready = lzo_init() == LZO_E_OK;
  return ready;
}

void release_result(ResourceArchive& archive) {
  release_memory_file(archive.held_memory, std::free);
  archive.held_memory = nullptr;
  if (archive.extracted_file[0]) {
    if (os_files().path_kind(archive.extracted_file) == PathKind::directory) {
      os_files().remove_directory(archive.extracted_file);
    } else {
      os_files().remove_file(archive.extracted_file);
    }
    archive.extracted_file[0] = 0;
  }
}

// True when the name is the record's own last result (its memory-file name or its extracted
// file): looking that name up again hands it back instead of releasing what it names.
bool names_last_result(const ResourceArchive& archive, const RtString& name) {
  if (name.empty()) return false;
  if (archive.held_memory && is_memory_file_name(name.data)) {
    const uint8_t* block;
    uint64_t size;
    return parse_memory_file_name(name.data, block, size) && block == archive.held_memory &&
           memory_file_known(name.data);
  }
  return archive.extracted_file[0] && std::strcmp(archive.extracted_file, name.data) == 0;
}

void store_path(char (&field)[MAX_PATH_BYTES + 1], const RtString& path) {
  // A longer path cannot be opened anyway; an empty field disables the record.
  if (path.length > MAX_PATH_BYTES) {
    field[0] = 0;
    return;
  }
  std::memcpy(field, path.data, path.length + 1);
}

// The bytes after the last slash or backslash.
const char* base_name(const char* name) {
  const char* base = name;
  for (const char* at = name; *at; ++at) {
    if (*at == '/' || *at == '\\') base = at + 1;
  }
  return base;
}

uint32_t little_endian(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// Where an archive entry lies inside the archive file.
struct EntryPlace {
  uint64_t offset = 0;
  uint64_t stored = 0;
  char name[256] = {};
};

// Reads exactly n bytes that lie wholly before limit.
bool read_within(FileStream& file, void* into, uint64_t n, uint64_t limit) {
  if (file.position > limit || n > limit - file.position) return false;
  return stream_read(file, into, n) != 0;
}

// Outcome of reading the trailer and the directory.
enum class Search { found, missing, no_trailer };

Search find_entry(FileStream& file, const char* wanted, EntryPlace& place) {
  uint64_t size = file.size;
  uint8_t trailer[kTrailerBytes];
  if (size < kTrailerBytes || !stream_seek(file, static_cast<int64_t>(size - kTrailerBytes), 0) ||
      !stream_read(file, trailer, kTrailerBytes) || std::memcmp(trailer, "kiX", 3) != 0) {
    return Search::no_trailer;
  }
  int32_t d = static_cast<int32_t>(little_endian(trailer + 3));
  bool from_end = d < 0;
  int64_t directory = from_end ? static_cast<int64_t>(size) + d : d;
  uint64_t directory_end = size - kTrailerBytes;  // the directory lies before the trailer
  if (directory < 0 || static_cast<uint64_t>(directory) > directory_end || !stream_seek(file, directory, 0)) {
    return Search::missing;
  }
  size_t wanted_length = std::strlen(wanted);
  for (;;) {
    uint8_t length = 0;
    if (!read_within(file, &length, 1, directory_end) || length == 0) return Search::missing;
    uint8_t fields[8];
    if (!read_within(file, place.name, length, directory_end) ||
        !read_within(file, fields, sizeof fields, directory_end)) {
      return Search::missing;
    }
    place.name[length] = 0;
    if (length != wanted_length || compare_text_nocase_n(place.name, wanted, length) != 0) continue;
    int64_t offset = static_cast<int32_t>(little_endian(fields));
    int64_t stored = static_cast<int32_t>(little_endian(fields + 4));
    if (from_end) offset += static_cast<int64_t>(size);
    // An entry outside the file cannot be read at all: the directory is damaged.
    if (offset < 0 || stored < 0 || static_cast<uint64_t>(offset) > size ||
        static_cast<uint64_t>(stored) > size - static_cast<uint64_t>(offset)) {
      return Search::missing;
    }
    place.offset = static_cast<uint64_t>(offset);
    place.stored = static_cast<uint64_t>(stored);
    return Search::found;
  }
}

// An unpacked entry in a block of its own (malloc, at least one byte so that an empty entry
// still has an address).
struct Unpacked {
  uint8_t* block = nullptr;
  uint64_t size = 0;
};

// Unpacks a stored entry. An entry that does not unpack, or claims more than it can hold,
// gives an empty block: it counts as found, and the loader that reads it fails on its own
// terms.
bool unpack(const std::vector<uint8_t>& stored, Unpacked& out) {
  out.size = 0;
  uint64_t claimed = 0;
  if (stored.size() >= 4 && lzo_ready()) {
    int32_t unpacked = static_cast<int32_t>(little_endian(stored.data()));
    uint64_t packed = stored.size() - 4;
    // LZO1X makes at most 255 bytes of one: a larger claim is damage and allocates nothing.
    if (unpacked > 0 && static_cast<uint64_t>(unpacked) <= packed * 256 + 256 &&
        static_cast<uint64_t>(unpacked) <= MAX_ARCHIVE_ENTRY_BYTES) {
      claimed = static_cast<uint64_t>(unpacked);
    }
  }
  out.block = static_cast<uint8_t*>(std::malloc(claimed ? static_cast<size_t>(claimed) : 1));
  if (!out.block) return false;
  if (claimed) {
    lzo_uint produced = static_cast<lzo_uint>(claimed);
    int result = lzo1x_decompress_safe(stored.data() + 4, static_cast<lzo_uint>(stored.size() - 4), out.block,
                                       &produced, nullptr);
    out.size = result == LZO_E_OK ? produced : 0;
    if (out.size < claimed) {
      // Give back what the entry did not fill (all of it when it did not unpack).
      void* smaller = std::realloc(out.block, out.size ? static_cast<size_t>(out.size) : 1);
      if (smaller) out.block = static_cast<uint8_t*>(smaller);
    }
  }
  return true;
}

// "kix" + two letters from the entry's place + the entry name, in the temporary folder.
RtString extraction_path(const EntryPlace& place) {
  std::string folder = os_process().temp_folder();
  for (char& c : folder) {
    if (c == '\\') c = '/';
  }
  if (folder.empty() || folder.back() != '/') folder += '/';
  char letters[3] = {static_cast<char>('A' + (place.offset & 0xFF) % 26),
                     static_cast<char>('A' + (place.stored & 0xFF) % 26), 0};
  return RtString(folder.c_str()) + "kix" + letters + place.name;
}

bool write_whole_file(const char* path, const uint8_t* bytes, uint64_t size) {
  FileStream out;
  bool ok = stream_open_write(out, path) && stream_write(out, bytes, size);
  stream_close(out);
  return ok;
}

}  // namespace

ResourceArchive* create_resource_archive() { return new ResourceArchive(); }

void release_resource_archive(ResourceArchive* archive) {
  if (!archive) return;
  release_result(*archive);
  delete archive;
}

void set_archive_paths(const RtString& primary_path, const RtString& extraction_path) {
  const RtString* paths[2] = {&primary_path, &extraction_path};
  for (int i = 0; i < 2; ++i) {
    ResourceArchive*& archive = g_runtime.resource_archives[i];
    if (!archive) archive = create_resource_archive();
    release_result(*archive);
    archive->enabled = 1;
    store_path(archive->archive_path, *paths[i]);
  }
}

int32_t archive_lookup(ResourceArchive* archive, const RtString& name, RtString& out, int32_t mode) {
  if (archive && names_last_result(*archive, name)) {
    out = name;
    return 1;
  }
  if (archive) release_result(*archive);
  out = RtString();
  if (name.empty()) return 0;
  out = name;
  if (file_exists(name)) return 1;
  if (!archive || !archive->enabled) {
    out = RtString();
    return 0;
  }
  out = RtString();
  if (!archive->archive_path[0]) {
    archive->enabled = 0;
    return 0;
  }
  FileStream file;
  if (!stream_open_read(file, archive->archive_path)) return 0;
  EntryPlace place;
  Search search = find_entry(file, base_name(name.data), place);
  if (search == Search::no_trailer) archive->enabled = 0;
  std::vector<uint8_t> stored;
  bool read = false;
  if (search == Search::found && place.stored > kMostStoredBytes) {
    read = true;  // no entry within the limit is stored in so many bytes: it unpacks to nothing
  } else if (search == Search::found) {
    try {
      stored.resize(static_cast<size_t>(place.stored));
      read = stream_seek(file, static_cast<int64_t>(place.offset), 0) && stream_read(file, stored.data(), stored.size());
    } catch (const std::bad_alloc&) {
      read = false;
    }
  }
  stream_close(file);
  if (!read) return 0;

  Unpacked block;
  if (!unpack(stored, block)) return 0;
  stored = std::vector<uint8_t>();
  if (mode == ARCHIVE_TEMP_FILE) {
    RtString path = extraction_path(place);
    bool written = path.length <= MAX_PATH_BYTES && write_whole_file(path.data, block.block, block.size);
    std::free(block.block);
    if (!written) return 0;
    store_path(archive->extracted_file, path);
    out = path;
    return 1;
  }
  archive->held_memory = block.block;
  out = memory_file_name(block.block, static_cast<uint32_t>(block.size));
  return 1;
}

int32_t resolve_file_name(RtString& name) {
  if (name.empty()) return 0;
  RtString out;
  if (archive_lookup(g_runtime.resource_archives[0], name, out, ARCHIVE_MEMORY)) {
    name = out;
    return 1;
  }
  // An installed program's files lie in its data folder rather than beside it.
  if (!is_contained_name(name.data)) return 0;
  RtString data = program_data_folder();
  if (data.empty()) return 0;
  RtString installed = data + "/" + name;
  if (installed.length > MAX_PATH_BYTES || !file_exists(installed)) return 0;
  name = installed;
  return 1;
}

int32_t file_exists(const RtString& name) {
  if (is_memory_file_name(name.data)) return memory_file_known(name.data) ? 1 : 0;
  char path[MAX_PATH_BYTES + 1];
  return platform_path(name.data, path) && os_files().path_kind(path) == PathKind::file;
}

}  // namespace qrn
