// Settings file: the process-wide store, its reader and writer (see settings_file.h).
#include "files/settings_file.h"

#include <cstdlib>
#include <cstring>

#include "core/errors.h"
#include "files/channels.h"
#include "files/file_names.h"
#include "files/file_stream.h"
#include "files/program_places.h"
#include "platform/platform.h"

namespace qrn {

namespace {

IniStore* g_store = nullptr;

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool ends_word(char c) { return c == 0 || is_blank(c) || c == '='; }

const char* skip_blanks(const char* at) {
  while (is_blank(*at)) ++at;
  return at;
}

IniSection* find_section(IniStore& store, const RtString& name, size_t* index = nullptr) {
  for (size_t i = 0; i < store.sections.size(); ++i) {
    if (compare_text_nocase(store.sections[i].name.data, name.data) == 0) {
      if (index) *index = i;
      return &store.sections[i];
    }
  }
  return nullptr;
}

IniEntry* find_entry(IniSection& section, const RtString& key, size_t* index = nullptr) {
  for (size_t i = 0; i < section.entries.size(); ++i) {
    if (compare_text_nocase(section.entries[i].key.data, key.data) == 0) {
      if (index) *index = i;
      return &section.entries[i];
    }
  }
  return nullptr;
}

// Removal moves the last element into the freed place.
template <typename T>
void remove_at(std::vector<T>& list, size_t index) {
  if (index + 1 != list.size()) list[index] = std::move(list.back());
  list.pop_back();
}

// At process exit a changed store is written back, then released. The program's channels
// are closed first, as at its end, so that a file one of them holds can be written.
void exit_step() {
  if (!g_store) return;
  close_all_channels();
  ini_flush();
  delete g_store;
  g_store = nullptr;
}

IniStore& store() {
  if (!g_store) {
    g_store = new IniStore();
    std::atexit(exit_step);
  }
  return *g_store;
}

// Writes the bytes over the named file; an empty directory of the name gives way.
ReplaceResult write_settings(const RtString& file_name, const std::string& bytes) {
  char path[MAX_PATH_BYTES + 1];
  if (!platform_path(file_name.data, path)) return ReplaceResult::failed;
  PathKind kind = os_files().path_kind(path);
  if (kind == PathKind::directory || kind == PathKind::unknown) os_files().remove_directory(path);
  // The user's settings folder is made on its first write; other folders are the program's.
  RtString user_folder = user_settings_folder();
  if (kind == PathKind::missing && !user_folder.empty() &&
      std::strncmp(file_name.data, user_folder.data, user_folder.length) == 0 &&
      file_name.data[user_folder.length] == '/') {
    make_folders_for(path);
  }
  return os_files().replace_file(path, bytes.data(), bytes.size());
}

// Writes the store when it has changed and names a disk file; nothing to write counts as
// written.
ReplaceResult write_store(const IniStore& ini) {
  if (!ini.dirty || ini.file_name.empty() || is_memory_file_name(ini.file_name.data)) return ReplaceResult::replaced;
  return write_settings(ini.file_name, ini_file_bytes(ini));
}

// Writes the changes kept for held files; those whose file is still held stay kept.
void write_unwritten(IniStore& ini) {
  for (size_t i = 0; i < ini.unwritten.size();) {
    if (write_settings(ini.unwritten[i].file_name, ini.unwritten[i].bytes) == ReplaceResult::held) {
      ++i;
    } else {
      ini.unwritten.erase(ini.unwritten.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
}

// The changes kept for a file, or null.
IniUnwritten* find_unwritten(IniStore& ini, const RtString& file_name) {
  for (IniUnwritten& kept : ini.unwritten) {
    if (kept.file_name.length == file_name.length && compare_text(kept.file_name.data, file_name.data) == 0) return &kept;
  }
  return nullptr;
}

// Reads the sections of a settings file's bytes into the store.
void load_bytes(IniStore& ini, const char* bytes, size_t size) {
  FileStream in;
  in.memory = reinterpret_cast<const uint8_t*>(bytes);
  in.size = size;
  IniSection collecting;
  RtString line;
  while (stream_read_whole_line(in, line)) ini_read_line(ini, collecting, line.data);
  ini_finish_section(ini, collecting);
}

}  // namespace

void ini_finish_section(IniStore& store, IniSection& collecting) {
  if (!collecting.entries.empty()) {
    store.sections.push_back(IniSection{collecting.name, std::move(collecting.entries)});
  }
  collecting.entries.clear();
}

void ini_read_line(IniStore& store, IniSection& collecting, const char* line) {
  const char* at = skip_blanks(line);
  if (*at == 0 || *at == ';') return;

  if (*at == '[') {
    ini_finish_section(store, collecting);
    const char* name = skip_blanks(at + 1);
    const char* end = name;
    while (!ends_word(*end)) ++end;
    if (end > name && end[-1] == ']') --end;
    if (end > name) collecting.name = text_from_bytes(name, static_cast<uint32_t>(end - name));
    return;
  }

  const char* key_end = at;
  while (!ends_word(*key_end)) ++key_end;
  if (*key_end == 0) return;
  const char* after = key_end;
  if (*after != '=') {
    after = skip_blanks(after);
    if (*after != '=') return;
  }
  const char* value = skip_blanks(after + 1);
  const char* value_end = value;
  while (*value_end) ++value_end;
  while (value_end > value && static_cast<unsigned char>(value_end[-1]) < 32) --value_end;
  if (value_end == value) return;
  IniEntry entry;
  entry.key = text_from_bytes(at, static_cast<uint32_t>(key_end - at));
  entry.value = text_from_bytes(value, static_cast<uint32_t>(value_end - value));
  collecting.entries.push_back(std::move(entry));
}

std::string ini_file_bytes(const IniStore& store) {
  std::string bytes;
  for (const IniSection& section : store.sections) {
    bytes.append("[").append(section.name.data, section.name.length).append("]\r\n");
    for (const IniEntry& entry : section.entries) {
      bytes.append(entry.key.data, entry.key.length).append("=");
      bytes.append(entry.value.data, entry.value.length).append("\r\n");
    }
  }
  return bytes;
}

void ini_open(const RtString& file_name) {
  IniStore& ini = store();
  write_unwritten(ini);
  // A held file keeps its old content; the changes wait for it (and for this store's next
  // opening of the same file).
  if (write_store(ini) == ReplaceResult::held) {
    IniUnwritten* kept = find_unwritten(ini, ini.file_name);
    if (!kept) {
      ini.unwritten.push_back(IniUnwritten{ini.file_name, std::string()});
      kept = &ini.unwritten.back();
    }
    kept->bytes = ini_file_bytes(ini);
  }
  ini.dirty = false;
  ini.file_name = RtString();
  ini.sections.clear();
  if (file_name.empty()) return;

  // What is read: the name as resolved (on disk, in the archive, in an installed program's
  // data folder). Where changes go: the same file, but a copy found in the data folder is
  // written beside the program as the name says, and a name whose folder cannot be written
  // goes to the user's settings folder, read from there once a copy exists.
  RtString resolved = file_name;
  if (!resolve_file_name(resolved)) resolved = file_name;
  RtString target = resolved;
  if (!is_memory_file_name(resolved.data) && resolved != file_name && is_contained_name(file_name.data)) {
    target = file_name;
  }
  RtString fallback;
  if (!is_memory_file_name(resolved.data) && settings_fallback_path(file_name, fallback)) {
    target = fallback;
    if (file_exists(fallback)) resolved = fallback;
  }
  ini.file_name = target;
  if (IniUnwritten* kept = find_unwritten(ini, target)) {
    std::string bytes = std::move(kept->bytes);
    ini.unwritten.erase(ini.unwritten.begin() + (kept - ini.unwritten.data()));
    load_bytes(ini, bytes.data(), bytes.size());
    ini.dirty = true;  // still to be written
    return;
  }
  FileStream in;
  if (!stream_open_read(in, resolved.data)) return;
  if (in.size > MAX_SETTINGS_FILE_BYTES) {
    // Not read, and never written: writing the store back would replace the file by it.
    stream_close(in);
    ini.file_name = RtString();
    log_write("Settings file too large\n");
    return;
  }
  // A disk file is read in one piece and its lines taken from memory: the same lines, without
  // a system call for every one of them.
  if (in.handle) {
    std::string bytes(static_cast<size_t>(in.size), '\0');
    bool read = bytes.empty() || stream_read(in, &bytes[0], bytes.size());
    stream_close(in);
    if (read) load_bytes(ini, bytes.data(), bytes.size());
    return;
  }
  load_bytes(ini, reinterpret_cast<const char*>(in.memory), static_cast<size_t>(in.size));
  stream_close(in);
}

RtString ini_get(const RtString& section, const RtString& key, const RtString& default_value) {
  IniSection* found = find_section(store(), section);
  IniEntry* entry = found ? find_entry(*found, key) : nullptr;
  return entry ? entry->value : default_value;
}

void ini_put(const RtString& section, const RtString& key, const RtString& value) {
  IniStore& ini = store();
  size_t section_index = 0;
  IniSection* found = find_section(ini, section, &section_index);
  if (key.empty()) {
    if (!found) return;
    remove_at(ini.sections, section_index);
    ini.dirty = true;
    return;
  }
  if (!found) {
    ini.sections.push_back(IniSection{section, {}});
    found = &ini.sections.back();
  }
  size_t entry_index = 0;
  IniEntry* entry = find_entry(*found, key, &entry_index);
  if (entry) {
    ini.dirty = true;
    if (value.empty()) {
      remove_at(found->entries, entry_index);
    } else {
      entry->value = value;
    }
  } else if (!value.empty()) {
    found->entries.push_back(IniEntry{key, value});
    ini.dirty = true;
  }
}

// The file is replaced in one step (temporary file, flush to disk, rename), so a crash or a
// full disk while writing leaves the old file as it was.
void ini_flush() {
  IniStore& ini = store();
  write_unwritten(ini);
  write_store(ini);
}

}  // namespace qrn
