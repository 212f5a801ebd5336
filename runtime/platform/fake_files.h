// File service for tests: the real files (tests use temporary folders), with failures a test
// can script.
#pragma once

#include <set>
#include <string>

#include "platform/files.h"

namespace qrn {

class FakeFiles : public FileService {
 public:
  bool exclusive_append_fails = false;  // append_file_exclusive fails without writing
  bool replace_fails = false;           // replace_file fails without touching anything
  // Folders this process may not write in (as a read-only mount would make them), as given
  // to can_write_in; replace_file also fails for a file directly inside one.
  std::set<std::string> read_only_folders;

  bool can_write_in(const char* folder) override {
    return !read_only_folders.count(folder ? folder : "") && FileService::can_write_in(folder);
  }

  bool append_file_exclusive(const char* path, const char* bytes, size_t count) override {
    return !exclusive_append_fails && FileService::append_file_exclusive(path, bytes, count);
  }
  ReplaceResult replace_file(const char* path, const char* bytes, size_t count) override {
    std::string name = path ? path : "";
    size_t slash = name.rfind('/');
    std::string folder = slash == std::string::npos ? "." : name.substr(0, slash == 0 ? 1 : slash);
    if (replace_fails || read_only_folders.count(folder)) return ReplaceResult::failed;
    return FileService::replace_file(path, bytes, count);
  }
};

}  // namespace qrn
