// Scripted backend for tests (see fake_platform.h).
#include "platform/fake_platform.h"

#include <cstdio>
#include <cstring>

namespace qrn {

bool FakePlatform::read_stdin_line(char* buffer, size_t size) {
  if (size == 0) return false;
  std::memset(buffer, 0, size);
  if (stdin_lines.empty()) return false;
  std::string& line = stdin_lines.front();
  size_t take = line.size() < size - 1 ? line.size() : size - 1;
  std::memcpy(buffer, line.data(), take);
  line.erase(0, take);  // a line longer than the buffer is read in pieces, like fgets
  if (line.empty()) stdin_lines.pop_front();
  return true;
}

bool FakePlatform::append_file_exclusive(const char* path, const char* bytes, size_t count) {
  if (exclusive_append_fails) return false;
  FILE* file = std::fopen(path, "ab");
  if (!file) return false;
  bool ok = std::fwrite(bytes, 1, count, file) == count;
  ok = std::fclose(file) == 0 && ok;
  return ok;
}

bool FakePlatform::next_message(WindowHandle, WindowMessage& message) {
  if (messages.empty()) return false;
  message = messages.front();
  messages.pop_front();
  return true;
}

}  // namespace qrn
