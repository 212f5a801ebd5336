// kix_pack: appends a "kiX" resource archive to a file (usually a program), or lists one.
//
//   kix_pack <file> <entry>...   pack the entries (their base names) at the end of <file>
//   kix_pack -l <file>           list the archive at the end of <file>
//
// Layout written (integers 32-bit little-endian): per entry its unpacked length and its
// LZO1X-1 compressed bytes; the directory (name length, name, position, stored length per
// entry, then a 0 byte); "kiX" and the directory position. Positions are negative, counted
// from the end of the file, so the archive does not depend on what precedes it. An archive
// already at the end of <file> is replaced, not stacked. The file is rewritten through a
// temporary file and a rename, keeping its permissions.
#include <lzo/lzo1x.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr size_t kTrailerBytes = 7;
constexpr uint64_t kLimit = 0x7FFFFFF0;  // positions and lengths are signed 32-bit

struct Entry {
  std::string name;
  int64_t offset = 0;  // from the start of the file
  uint32_t stored = 0;
  uint32_t unpacked = 0;
};

int usage() {
  std::fprintf(stderr,
               "usage: kix_pack <file> <entry>...   append an archive of the entries to <file>\n"
               "       kix_pack -l <file>           list the archive at the end of <file>\n"
               "Entries are stored under their base names (at most 255 bytes, unique ignoring case).\n"
               "An archive already at the end of <file> is replaced.\n");
  return 2;
}

bool read_file(const std::string& path, std::vector<uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

uint32_t get32(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
         static_cast<uint32_t>(at[3]) << 24;
}

void put32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

std::string base_name(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool same_ignoring_case(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// Reads the archive at the end of bytes. 0: none there; 1: read, with start = the first
// byte that belongs to it; -1: a trailer whose directory or entries lie outside the file.
int read_archive(const std::vector<uint8_t>& bytes, std::vector<Entry>& entries, uint64_t& start) {
  entries.clear();
  uint64_t size = bytes.size();
  if (size < kTrailerBytes || std::memcmp(&bytes[size - kTrailerBytes], "kiX", 3) != 0) return 0;
  int32_t d = static_cast<int32_t>(get32(&bytes[size - 4]));
  bool from_end = d < 0;
  int64_t at = from_end ? static_cast<int64_t>(size) + d : d;
  uint64_t end = size - kTrailerBytes;
  if (at < 0 || static_cast<uint64_t>(at) > end) return -1;
  start = static_cast<uint64_t>(at);
  uint64_t p = start;
  for (;;) {
    if (p >= end) return -1;
    uint8_t length = bytes[p++];
    if (length == 0) break;
    if (end - p < length + 8u) return -1;
    Entry entry;
    entry.name.assign(reinterpret_cast<const char*>(&bytes[p]), length);
    p += length;
    int64_t offset = static_cast<int32_t>(get32(&bytes[p]));
    int64_t stored = static_cast<int32_t>(get32(&bytes[p + 4]));
    p += 8;
    if (from_end) offset += static_cast<int64_t>(size);
    if (offset < 0 || stored < 4 || static_cast<uint64_t>(offset + stored) > end) return -1;
    entry.offset = offset;
    entry.stored = static_cast<uint32_t>(stored);
    entry.unpacked = get32(&bytes[static_cast<size_t>(offset)]);
    if (static_cast<uint64_t>(offset) < start) start = static_cast<uint64_t>(offset);
    entries.push_back(entry);
  }
  return 1;
}

int list(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (!read_file(path, bytes)) {
    std::fprintf(stderr, "kix_pack: cannot read %s\n", path.c_str());
    return 1;
  }
  std::vector<Entry> entries;
  uint64_t start = 0;
  int found = read_archive(bytes, entries, start);
  if (found == 0) {
    std::printf("%s: no archive\n", path.c_str());
    return 1;
  }
  if (found < 0) {
    std::fprintf(stderr, "kix_pack: %s: damaged archive\n", path.c_str());
    return 1;
  }
  for (const Entry& entry : entries) {
    std::printf("%10u %10u  %s\n", entry.unpacked, entry.stored, entry.name.c_str());
  }
  return 0;
}

bool write_replacing(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::string temp = path + ".kix_pack.tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) {
      std::error_code ignored;
      fs::remove(temp, ignored);
      return false;
    }
  }
  std::error_code error;
  fs::permissions(temp, fs::status(path).permissions(), error);
  fs::rename(temp, path, error);
  if (error) {
    fs::remove(temp, error);
    return false;
  }
  return true;
}

int pack(const std::string& target, const std::vector<std::string>& inputs) {
  std::vector<uint8_t> bytes;
  if (!read_file(target, bytes)) {
    std::fprintf(stderr, "kix_pack: cannot read %s\n", target.c_str());
    return 1;
  }
  std::vector<Entry> old_entries;
  uint64_t old_start = 0;
  int found = read_archive(bytes, old_entries, old_start);
  if (found < 0) {
    std::fprintf(stderr, "kix_pack: %s ends with a damaged archive; not changed\n", target.c_str());
    return 1;
  }
  if (found > 0) {
    std::printf("replacing the archive of %zu %s at the end of %s\n", old_entries.size(),
                old_entries.size() == 1 ? "entry" : "entries", target.c_str());
    bytes.resize(static_cast<size_t>(old_start));
  }

  if (lzo_init() != LZO_E_OK) {
    std::fprintf(stderr, "kix_pack: LZO does not start\n");
    return 1;
  }
  std::vector<uint8_t> work(LZO1X_1_MEM_COMPRESS);
  std::vector<uint8_t> archive;  // entries, directory and trailer
  std::vector<Entry> entries;
  for (const std::string& input : inputs) {
    Entry entry;
    entry.name = base_name(input);
    if (entry.name.empty() || entry.name.size() > 255) {
      std::fprintf(stderr, "kix_pack: %s: the name must have 1 to 255 bytes\n", input.c_str());
      return 1;
    }
    for (const Entry& other : entries) {
      if (same_ignoring_case(other.name, entry.name)) {
        std::fprintf(stderr, "kix_pack: %s: a second entry named %s\n", input.c_str(), other.name.c_str());
        return 1;
      }
    }
    std::vector<uint8_t> data;
    if (!read_file(input, data) || fs::is_directory(input)) {
      std::fprintf(stderr, "kix_pack: cannot read %s\n", input.c_str());
      return 1;
    }
    if (data.size() > kLimit) {
      std::fprintf(stderr, "kix_pack: %s is too large\n", input.c_str());
      return 1;
    }
    std::vector<uint8_t> packed(data.size() + data.size() / 16 + 64 + 3);
    lzo_uint packed_size = 0;
    if (lzo1x_1_compress(data.data(), data.size(), packed.data(), &packed_size, work.data()) != LZO_E_OK) {
      std::fprintf(stderr, "kix_pack: cannot compress %s\n", input.c_str());
      return 1;
    }
    entry.offset = static_cast<int64_t>(archive.size());  // within the archive for now
    entry.unpacked = static_cast<uint32_t>(data.size());
    entry.stored = static_cast<uint32_t>(packed_size + 4);
    put32(archive, entry.unpacked);
    archive.insert(archive.end(), packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(packed_size));
    entries.push_back(entry);
    if (archive.size() > kLimit) {
      std::fprintf(stderr, "kix_pack: the archive would exceed 2 GB\n");
      return 1;
    }
  }

  // Everything is placed relative to the end, so the sizes of the directory and trailer
  // decide where each entry lies.
  uint64_t directory_size = 1;
  for (const Entry& entry : entries) directory_size += 1 + entry.name.size() + 8;
  uint64_t archive_size = archive.size() + directory_size + kTrailerBytes;
  if (archive_size > kLimit) {
    std::fprintf(stderr, "kix_pack: the archive would exceed 2 GB\n");
    return 1;
  }
  int64_t from_end = -static_cast<int64_t>(archive_size);  // position of the archive's first byte
  int64_t directory_at = from_end + static_cast<int64_t>(archive.size());
  for (const Entry& entry : entries) {
    archive.push_back(static_cast<uint8_t>(entry.name.size()));
    archive.insert(archive.end(), entry.name.begin(), entry.name.end());
    put32(archive, static_cast<uint32_t>(static_cast<int32_t>(from_end + entry.offset)));
    put32(archive, entry.stored);
  }
  archive.push_back(0);
  archive.insert(archive.end(), {'k', 'i', 'X'});
  put32(archive, static_cast<uint32_t>(static_cast<int32_t>(directory_at)));

  bytes.insert(bytes.end(), archive.begin(), archive.end());
  if (!write_replacing(target, bytes)) {
    std::fprintf(stderr, "kix_pack: cannot write %s: %s\n", target.c_str(), std::strerror(errno));
    return 1;
  }
  std::printf("packed %zu %s (%zu bytes) at the end of %s\n", entries.size(), entries.size() == 1 ? "entry" : "entries",
              archive.size(), target.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 2 && args[0] == "-l") return list(args[1]);
  if (args.size() < 2 || args[0].empty() || args[0][0] == '-') return usage();
  return pack(args[0], std::vector<std::string>(args.begin() + 1, args.end()));
}
