// File channels, files by name and the line-file cache (see channels.h).
#include "files/channels.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/runtime_state.h"
#include "files/file_names.h"
#include "files/files_state.h"
#include "platform/files.h"

namespace qrn {

namespace {

constexpr uint32_t kLineBytes = 1024;  // line buffer of read_line and of the line-file cache
constexpr int32_t kLineFileLines = 256;

// The channel, or the program's end (fatal 7) for a number outside 0..7.
FileStream& channel(int32_t n) {
  if (static_cast<uint32_t>(n) >= static_cast<uint32_t>(FILE_CHANNEL_COUNT)) fatal_error(ERROR_OUT_OF_MEMORY);
  return files_state().channels[n];
}

void write_bytes(int32_t n, const void* bytes, uint64_t count) {
  FileStream& stream = channel(n);
  if (!stream.handle || !stream_write(stream, bytes, count)) fatal_error(ERROR_NO_FILE);
}

void write_little_endian(int32_t n, uint64_t value, int bytes) {
  uint8_t out[8];
  for (int i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
  write_bytes(n, out, static_cast<uint64_t>(bytes));
}

// Reads a little-endian value of the given size; missing high bytes of a memory file stay 0.
uint64_t read_little_endian(int32_t n, int bytes) {
  FileStream& stream = channel(n);
  uint8_t in[8] = {};
  if (!stream_read(stream, in, static_cast<uint64_t>(bytes))) fatal_error(ERROR_NO_FILE);
  uint64_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | in[i];
  return value;
}

// ---- Line-file cache ------------------------------------------------------------------------

}  // namespace

struct LineFileCache {
  char name[MAX_PATH_BYTES + 1];
  char requested[MAX_PATH_BYTES + 1];  // the name the program gave, before resolving
  char lines[kLineFileLines][kLineBytes];
  int32_t highest;  // highest line index in use; -1 when none
  bool dirty;
};

namespace {

std::string line_file_bytes(const LineFileCache& cache) {
  std::string bytes;
  for (int32_t i = 0; i <= cache.highest; ++i) bytes.append(cache.lines[i]).append("\r\n");
  return bytes;
}

// Writes the bytes over the named file; false only when another open holds it (any other
// failure writes nothing and is not reported).
bool write_line_file(const char* name, const std::string& bytes) {
  FileStream out;
  if (!stream_open_write(out, name)) {
    char path[MAX_PATH_BYTES + 1];
    return !(platform_path(name, path) && os_files().file_held(path));
  }
  stream_write(out, bytes.data(), bytes.size());
  stream_close(out);
  return true;
}

// Writes the line files kept for held files, then the cache's file when it changed. A file
// that is (still) held keeps its bytes for a later try.
void write_back_line_files(FilesState& files) {
  std::vector<UnwrittenLineFile>& kept = files.unwritten_line_files;
  for (size_t i = 0; i < kept.size();) {
    if (write_line_file(kept[i].name.c_str(), kept[i].bytes)) {
      kept.erase(kept.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
  LineFileCache* cache = files.line_cache;
  if (!cache || !cache->name[0] || !cache->dirty) return;
  std::string bytes = line_file_bytes(*cache);
  if (!write_line_file(cache->name, bytes)) kept.push_back(UnwrittenLineFile{cache->name, std::move(bytes)});
  cache->dirty = false;
}

// At process exit a changed line file is written back. The program's channels are closed
// first, as at its end, so that a file one of them holds can be written.
void line_file_exit_step() {
  if (!g_runtime.files) return;
  close_all_channels();
  write_back_line_files(*g_runtime.files);
}

LineFileCache& line_cache() {
  FilesState& files = files_state();
  if (!files.line_cache) {
    files.line_cache = static_cast<LineFileCache*>(std::calloc(1, sizeof(LineFileCache)));
    if (!files.line_cache) fatal_error(ERROR_OUT_OF_MEMORY);
    files.line_cache->highest = -1;
    static bool exit_step_registered = false;
    if (!exit_step_registered) std::atexit(line_file_exit_step);
    exit_step_registered = true;
  }
  return *files.line_cache;
}

// Makes the cache hold the named file (resolved from requested), writing a changed previous
// file back first. A file that cannot be read leaves the cache empty but named, with error
// 3. A memory-file name only counts as the cached file when the program asked for it by the
// same name too: the block a cached name stood for is gone by the next look-up, and the
// entry of another name may have taken its address, and so its name.
bool switch_line_file(const char* requested, const char* name) {
  clear_error();
  LineFileCache& cache = line_cache();
  if (std::strcmp(name, cache.name) == 0 &&
      (!is_memory_file_name(name) || std::strcmp(requested, cache.requested) == 0)) {
    return true;
  }
  FilesState& files = files_state();
  write_back_line_files(files);
  std::memset(cache.lines, 0, sizeof cache.lines);
  cache.dirty = false;
  cache.name[0] = 0;
  cache.highest = -1;
  if (!platform_path(requested, cache.requested)) cache.requested[0] = 0;
  FileStream in;
  if (!platform_path(name, cache.name)) {
    set_error(ERROR_NO_FILE);
    return false;
  }
  // Lines that could not be written yet come back as the cache's changed content.
  std::string kept_bytes;
  for (size_t i = 0; i < files.unwritten_line_files.size(); ++i) {
    if (files.unwritten_line_files[i].name == cache.name) {
      kept_bytes = std::move(files.unwritten_line_files[i].bytes);
      files.unwritten_line_files.erase(files.unwritten_line_files.begin() + static_cast<std::ptrdiff_t>(i));
      in.memory = reinterpret_cast<const uint8_t*>(kept_bytes.data());
      in.size = kept_bytes.size();
      cache.dirty = true;
      break;
    }
  }
  if (!in.memory && !stream_open_read(in, name)) {
    set_error(ERROR_NO_FILE);
    return false;
  }
  int32_t count = 0;
  while (count < kLineFileLines && stream_read_line(in, cache.lines[count], kLineBytes)) ++count;
  cache.highest = count - 1;
  stream_close(in);
  return true;
}

// The index as a line number, or -1 with error 7 when it lies outside 0..255.
int32_t line_index(double index) {
  if (!(index > -1.0 && index < kLineFileLines)) {
    set_error(ERROR_OUT_OF_MEMORY);
    return -1;
  }
  return static_cast<int32_t>(index);
}

}  // namespace

FilesState& files_state() {
  if (!g_runtime.files) g_runtime.files = new FilesState();
  return *g_runtime.files;
}

void release_files_state() {
  FilesState* files = g_runtime.files;
  if (!files) return;
  close_all_channels();
  write_back_line_files(*files);
  std::free(files->line_cache);
  delete files;
  g_runtime.files = nullptr;
}

int32_t open_channel(int32_t n, const RtString& name, int32_t mode) {
  clear_error();
  if (static_cast<uint32_t>(n) >= static_cast<uint32_t>(FILE_CHANNEL_COUNT)) {
    set_error(ERROR_OUT_OF_MEMORY);
    return 0;
  }
  FileStream& stream = files_state().channels[n];
  stream_close(stream);
  bool opened;
  if (mode > 0) {
    RtString resolved = name;
    opened = resolve_file_name(resolved) && stream_open_read(stream, resolved.data);
  } else if (mode == 0) {
    opened = stream_open_write(stream, name.data);
  } else {
    opened = stream_open_append(stream, name.data);
  }
  if (!opened) {
    set_error(ERROR_NO_FILE);
    return 0;
  }
  return 1;
}

void close_channel(int32_t n) {
  clear_error();
  stream_close(channel(n));
}

void close_all_channels() {
  if (!g_runtime.files) return;
  for (FileStream& stream : g_runtime.files->channels) stream_close(stream);
}

int32_t free_channel() {
  for (int32_t n = 0; n < FILE_CHANNEL_COUNT; ++n) {
    if (!stream_is_open(files_state().channels[n])) return n;
  }
  return 255;
}

int32_t end_of_channel(int32_t n) {
  FileStream& stream = channel(n);
  return stream.position >= stream.size ? 1 : 0;
}

void seek_channel(int32_t n, int64_t offset, int32_t mode) {
  FileStream& stream = channel(n);
  if (!stream_is_open(stream)) return;
  stream_seek(stream, offset, mode < 0 ? 2 : mode > 0 ? 1 : 0);
}

int64_t channel_position(int32_t n) { return static_cast<int64_t>(channel(n).position); }

void write_text(int32_t n, const RtString& text) {
  channel(n);
  if (text.length) write_bytes(n, text.data, text.length);
}

void write_line(int32_t n, const RtString& text) {
  write_text(n, text);
  write_bytes(n, "\r\n", 2);
}

void write_float32(int32_t n, double value) {
  float single = static_cast<float>(value);
  uint32_t bits;
  std::memcpy(&bits, &single, 4);
  write_little_endian(n, bits, 4);
}

void write_float64(int32_t n, double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, 8);
  write_little_endian(n, bits, 8);
}

void write_int32(int32_t n, int32_t value) { write_little_endian(n, static_cast<uint32_t>(value), 4); }
void write_int16(int32_t n, int32_t value) { write_little_endian(n, static_cast<uint32_t>(value), 2); }
void write_int8(int32_t n, int32_t value) { write_little_endian(n, static_cast<uint32_t>(value), 1); }

void read_line(int32_t n, RtString& target) {
  FileStream& stream = channel(n);
  char line[kLineBytes];
  if (!stream_read_line(stream, line, kLineBytes)) fatal_error(ERROR_NO_FILE);
  target = line;
}

int32_t read_line_int(int32_t n) {
  RtString line;
  read_line(n, line);
  return text_to_int(line);
}

double read_line_double(int32_t n) {
  RtString line;
  read_line(n, line);
  return text_to_double(line);
}

void read_bytes_text(int32_t n, RtString& target, int32_t count) {
  if (count <= 0) {
    target = RtString();
    return;
  }
  FileStream& stream = channel(n);
  // A disk file shorter than the count can never deliver it: fail before allocating.
  if (!stream_is_open(stream)) fatal_error(ERROR_NO_FILE);
  if (stream.handle && static_cast<int64_t>(count) > os_files().file_length(stream.handle)) {
    fatal_error(ERROR_NO_FILE);
  }
  RtString bytes;
  bytes.reserve(static_cast<uint32_t>(count), false);
  std::memset(bytes.data, 0, static_cast<size_t>(count) + 1);
  if (!stream_read(stream, bytes.data, static_cast<uint64_t>(count))) fatal_error(ERROR_NO_FILE);
  bytes.length = static_cast<uint32_t>(count);
  target = std::move(bytes);
}

double read_float32(int32_t n) {
  uint32_t bits = static_cast<uint32_t>(read_little_endian(n, 4));
  float single;
  std::memcpy(&single, &bits, 4);
  return static_cast<double>(single);
}

double read_float64(int32_t n) {
  uint64_t bits = read_little_endian(n, 8);
  double value;
  std::memcpy(&value, &bits, 8);
  return value;
}

int32_t read_uint32(int32_t n) { return static_cast<int32_t>(static_cast<uint32_t>(read_little_endian(n, 4))); }
int32_t read_int32(int32_t n) { return read_uint32(n); }
int32_t read_uint16(int32_t n) { return static_cast<int32_t>(read_little_endian(n, 2)); }
int32_t read_int16(int32_t n) { return static_cast<int16_t>(read_little_endian(n, 2)); }
int32_t read_uint8(int32_t n) { return static_cast<int32_t>(read_little_endian(n, 1)); }
int32_t read_int8(int32_t n) { return static_cast<int8_t>(read_little_endian(n, 1)); }

int64_t file_size(const RtString& name) {
  clear_error();
  FileStream stream;
  if (!stream_open_read(stream, name.data)) {
    set_error(ERROR_NO_FILE);
    return 0;
  }
  int64_t size = static_cast<int64_t>(stream.size);
  stream_close(stream);
  return size;
}

RtString file_time(const RtString& name) {
  clear_error();
  char path[MAX_PATH_BYTES + 1];
  int64_t seconds = 0;
  if (is_memory_file_name(name.data) || !platform_path(name.data, path) ||
      !os_files().file_modified_time(path, seconds)) {
    set_error(ERROR_NO_FILE);
    return RtString();
  }
  std::time_t moment = static_cast<std::time_t>(seconds);
  std::tm* local = std::localtime(&moment);
  if (!local) {
    set_error(ERROR_NO_FILE);
    return RtString();
  }
  char text[64];
  std::snprintf(text, sizeof text, "%.4d-%.2d-%.2d %.2d:%.2d:%.2d", local->tm_year + 1900, local->tm_mon + 1,
                local->tm_mday, local->tm_hour, local->tm_min, local->tm_sec);
  return RtString(text);
}

RtString read_file_line(const RtString& name, double index) {
  clear_error();
  int32_t line = line_index(index);
  if (line < 0) return RtString("NO_DATA");
  RtString resolved = name;
  resolve_file_name(resolved);
  if (!switch_line_file(name.data, resolved.data)) return RtString("NO_FILE");
  const char* text = line_cache().lines[line];
  size_t length = std::strlen(text);
  while (length && static_cast<unsigned char>(text[length - 1]) < 32) --length;
  if (length == 0) return RtString("NO_DATA");
  return text_from_bytes(text, static_cast<uint32_t>(length));
}

int32_t read_file_line_int(const RtString& name, double index) { return text_to_int(read_file_line(name, index)); }

double read_file_line_double(const RtString& name, double index) {
  return text_to_double(read_file_line(name, index));
}

void write_file_line(const RtString& name, double index, const RtString& text) {
  clear_error();
  int32_t line = line_index(index);
  if (line < 0) return;
  switch_line_file(name.data, name.data);
  LineFileCache& cache = line_cache();
  size_t length = text.length < kLineBytes - 1 ? text.length : kLineBytes - 1;
  std::memcpy(cache.lines[line], text.data, length);
  cache.lines[line][length] = 0;
  if (cache.highest < line) cache.highest = line;
  cache.dirty = true;
}

void write_file_line(const RtString& name, double index, double value) {
  write_file_line(name, index, double_to_text(value));
}

}  // namespace qrn
