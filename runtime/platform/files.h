// File service: locked file handles, durable replacement, paths and directories. The system
// always has it, so the class is the POSIX implementation (posix_files.cpp); a fake derives
// and overrides what it scripts. Paths use "/".
//
// An open file is held exclusively until it is closed, by readers and writers alike and
// across processes (an advisory lock every runtime process takes): an open that meets a held
// file fails without touching it, and so do removing and replacing a held file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "platform/service.h"

namespace qrn {

// How file_open opens a file.
enum class FileOpenMode : int32_t {
  read,    // an existing file, for reading
  // Created when missing, else emptied in place once its lock is taken (so its permissions
  // and other names stay), for reading and writing. A symbolic link at the name is replaced
  // by a new file, never written through.
  create,
  append,  // created when missing, for writing, positioned at its end
  // A new file only this user may read and write, for reading and writing; fails when
  // anything (a file, a link, a folder) already has the name. For files in shared folders.
  create_private,
  // An existing regular file owned by this user with no other name (link) to it, for
  // reading; a symbolic link is not followed. For files read back from shared folders.
  read_owned,
};

// What a path names.
enum class PathKind : int32_t { missing, file, directory, unknown /* cannot be examined */ };

// How replace_file ended.
enum class ReplaceResult : int32_t {
  replaced,
  held,    // another open holds the file: nothing was touched
  failed,  // the new content could not be written: nothing was touched
};

// One entry of a directory listing.
struct DirectoryEntry {
  std::string name;
  bool directory = false;
};

class FileService {
 public:
  virtual ~FileService() = default;

  // Null on failure (missing file, a directory, a file held by another open).
  virtual FileHandle file_open(const char* path, FileOpenMode mode);
  // Reads up to count bytes at the file position; the bytes read (fewer only at the end), or
  // -1 on an error.
  virtual int64_t file_read(FileHandle file, void* buffer, size_t count);
  // Writes at the file position; the bytes written, or -1 on an error.
  virtual int64_t file_write(FileHandle file, const void* bytes, size_t count);
  virtual bool file_seek(FileHandle file, int64_t offset);  // from the start
  virtual int64_t file_length(FileHandle file);             // -1 when unknown
  virtual void file_close(FileHandle file);
  // Opens path for appending, writes the bytes and closes it again. False when the file is
  // held or could not be written.
  virtual bool append_file_exclusive(const char* path, const char* bytes, size_t count);
  // Replaces path's content durably: the bytes go to a temporary file in the same folder,
  // which is flushed to disk and renamed over path, so path always holds either its old or
  // its complete new content. A replaced file keeps its permissions. Path is untouched unless
  // the result is replaced.
  virtual ReplaceResult replace_file(const char* path, const char* bytes, size_t count);
  // True when another open holds the file now.
  virtual bool file_held(const char* path);
  virtual PathKind path_kind(const char* path);
  virtual bool remove_file(const char* path);       // not a directory, not a held file
  virtual bool remove_directory(const char* path);  // an empty directory
  virtual bool make_directory(const char* path);    // its parent must exist
  // Last-write time in seconds since 1970-01-01 UTC.
  virtual bool file_modified_time(const char* path, int64_t& seconds);
  // Every entry of a directory, "." and ".." included, in the system's order.
  virtual bool read_directory(const char* path, std::vector<DirectoryEntry>& entries);
};

inline FileService& os_files() { return service<FileService>(); }

}  // namespace qrn
