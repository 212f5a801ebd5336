// File-system operations (see file_system.h).
#include "files/file_system.h"

#include <string>
#include <vector>

#include "core/errors.h"
#include "files/file_names.h"
#include "files/file_stream.h"
#include "platform/platform.h"

namespace qrn {

namespace {

constexpr uint64_t kCopyPiece = 4096;

// Case-insensitive order; names that differ only in case keep a fixed (byte) order, so a
// listing does not depend on the order the system returned them in.
int listing_order(const char* a, const char* b) {
  int32_t order = compare_text_nocase(a, b);
  return order != 0 ? order : compare_text(a, b);
}

void sort_names(std::vector<RtString>& names) {
  if (names.size() > 1) array_sort(&names.front(), &names.back(), listing_order);
}

}  // namespace

RtString get_current_directory() {
  RtString path(os_process().working_directory().c_str());
  slash_path(path);
  if (path.length == 0 || path.data[path.length - 1] != '/') path.append("/");
  return path;
}

int32_t set_current_directory(const RtString& path) {
  clear_error();
  char platform_name[MAX_PATH_BYTES + 1];
  if (path.empty() || !platform_path(path.data, platform_name) || !os_process().set_working_directory(platform_name)) {
    set_error(ERROR_NO_FILE);
    return 0;
  }
  return 1;
}

int32_t delete_file(const RtString& path) {
  char name[MAX_PATH_BYTES + 1];
  if (!platform_path(path.data, name) || !*name) return 0;
  if (os_files().path_kind(name) == PathKind::directory) return os_files().remove_directory(name) ? 1 : 0;
  return os_files().remove_file(name) ? 1 : 0;
}

int32_t create_directory(const RtString& path) {
  char name[MAX_PATH_BYTES + 1];
  return platform_path(path.data, name) && *name && os_files().make_directory(name) ? 1 : 0;
}

int32_t is_directory(const RtString& path) {
  char name[MAX_PATH_BYTES + 1];
  return platform_path(path.data, name) && *name && os_files().path_kind(name) == PathKind::directory ? 1 : 0;
}

void copy_file(const RtString& source, const RtString& destination) {
  clear_error();
  RtString from = source;
  resolve_file_name(from);
  FileStream in, out;
  // The destination is opened (and so emptied) only once the source is open: a missing or
  // held source never costs the destination its content.
  bool opened = stream_open_read(in, from.data) && stream_open_write(out, destination.data);
  if (!opened) {
    stream_close(in);
    stream_close(out);
    set_error(ERROR_NO_FILE);
    return;
  }
  uint8_t piece[kCopyPiece];
  uint64_t left = in.size;
  bool ok = true;
  while (ok && left) {
    uint64_t n = left < kCopyPiece ? left : kCopyPiece;
    ok = stream_read(in, piece, n) && stream_write(out, piece, n);
    left -= n;
  }
  stream_close(in);
  stream_close(out);
  if (!ok) delete_file(destination);
}

int32_t wildcard_match(const RtString& pattern, const RtString& name) {
  const char* p = pattern.data;
  const char* n = name.data;
  if (compare_text(p, "*.*") == 0) return 1;
  const char* star = nullptr;   // pattern just after the last "*"
  const char* resume = nullptr; // where the name restarts after a mismatch
  auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  while (*n) {
    if (*p == '*') {
      while (*p == '*') ++p;
      if (!*p) return 1;
      star = p;
      resume = n;
      continue;
    }
    bool same = *p && (*p == '?' ? *n != '.' : fold(*p) == fold(*n));
    if (same) {
      ++p;
      ++n;
      continue;
    }
    if (!star) return 0;
    p = star;
    n = ++resume;
  }
  while (*p == '*') ++p;
  return *p == 0 ? 1 : 0;
}

// A symbolic link to a folder is listed through; the system follows it for us.
int32_t list_directory(const RtString& pattern, RtArray<RtString>& target) {
  RtString directory = get_current_directory();
  std::vector<DirectoryEntry> entries;
  char path[MAX_PATH_BYTES + 1];
  if (!platform_path(directory.data, path) || !os_files().read_directory(path, entries)) entries.clear();
  std::vector<RtString> folders, files;
  for (const DirectoryEntry& entry : entries) {
    RtString name(entry.name.c_str());
    if (entry.directory) {
      folders.push_back(name);
    } else if (wildcard_match(pattern, name)) {
      files.push_back(name);
    }
  }
  sort_names(folders);
  sort_names(files);
  int32_t total = static_cast<int32_t>(folders.size() + files.size());
  array_dim(target, total);
  int32_t at = 0;
  for (const RtString& name : folders) target(at++) = name;
  for (const RtString& name : files) target(at++) = name;
  return static_cast<int32_t>(folders.size()) * 65536 + static_cast<int32_t>(files.size());
}

RtString get_environment(const RtString& name) {
  if (name.empty()) {
    std::string all;
    for (const std::string& entry : os_process().env_entries()) all += entry + "\n";
    return RtString(all.c_str());
  }
  std::string value;
  os_process().env_get(name.data, value);
  return RtString(value.c_str());
}

// The entry is the text name=value; like the C library, the name ends at its first "=".
void set_environment(const RtString& name, const RtString& value) {
  std::string entry = std::string(name.data, name.length) + "=" + std::string(value.data, value.length);
  size_t equals = entry.find('=');
  os_process().env_set(entry.substr(0, equals).c_str(), entry.c_str() + equals + 1);
}

void slash_path(RtString& text) {
  for (uint32_t i = 0; i < text.length; ++i) {
    if (text.data[i] == '\\') text.data[i] = '/';
  }
}

}  // namespace qrn
