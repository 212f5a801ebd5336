// File service for tests: the real files (tests use temporary folders), with failures a test
// can script.
#pragma once

#include "platform/files.h"

namespace qrn {

class FakeFiles : public FileService {
 public:
  bool exclusive_append_fails = false;  // append_file_exclusive fails without writing
  bool replace_fails = false;           // replace_file fails without touching anything

  bool append_file_exclusive(const char* path, const char* bytes, size_t count) override {
    return !exclusive_append_fails && FileService::append_file_exclusive(path, bytes, count);
  }
  ReplaceResult replace_file(const char* path, const char* bytes, size_t count) override {
    return replace_fails ? ReplaceResult::failed : FileService::replace_file(path, bytes, count);
  }
};

}  // namespace qrn
