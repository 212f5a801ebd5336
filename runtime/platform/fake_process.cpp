// Scripted process service for tests (see fake_process.h).
#include "platform/fake_process.h"

#include <cstring>

namespace qrn {

bool FakeProcess::read_stdin_line(char* buffer, size_t size) {
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

}  // namespace qrn
