// A fresh temporary directory for one test, removed with everything in it afterwards.
#pragma once

#include <string>

namespace qrn::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  // The directory's path, ending in "/".
  const std::string& path() const { return path_; }
  // path() + name
  std::string file(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

// Whole content of a file ("" when missing).
std::string read_file(const std::string& path);
// Writes bytes to a file, replacing it.
void write_file(const std::string& path, const std::string& bytes);

}  // namespace qrn::test
