// Fuzz entry: reading lines through file streams and channels. The input (after two bytes
// that choose a buffer size, 0 to 2048) is read as a disk file and as a memory file; both must give the
// same pieces, the same line ends and positions, the same whole lines, channel lines and
// line-file lines.
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"

namespace {

struct Piece {
  std::string text;
  bool ended;
  uint64_t position;
  bool operator==(const Piece& other) const {
    return text == other.text && ended == other.ended && position == other.position;
  }
};

std::vector<Piece> pieces(const char* name, uint32_t m) {
  std::vector<Piece> out;
  qrn::FileStream in;
  if (!qrn::stream_open_read(in, name)) qrn::fuzz::fail(std::string("cannot open ") + name);
  std::vector<char> buffer(m);
  bool ended = false;
  while (qrn::stream_read_line(in, buffer.data(), m, &ended)) {
    if (std::char_traits<char>::length(buffer.data()) > m - 1) qrn::fuzz::fail("a piece is longer than its buffer");
    out.push_back(Piece{buffer.data(), ended, in.position});
    if (out.size() > in.size + 1) qrn::fuzz::fail("more pieces than bytes");
  }
  qrn::stream_close(in);
  return out;
}

std::vector<std::string> whole_lines(const char* name) {
  std::vector<std::string> out;
  qrn::FileStream in;
  if (!qrn::stream_open_read(in, name)) qrn::fuzz::fail(std::string("cannot open ") + name);
  qrn::RtString line;
  while (qrn::stream_read_whole_line(in, line)) out.emplace_back(line.data, line.length);
  qrn::stream_close(in);
  return out;
}

std::vector<std::string> channel_lines(const qrn::RtString& name) {
  std::vector<std::string> out;
  if (!qrn::open_channel(0, name, 1)) qrn::fuzz::fail(std::string("cannot open a channel on ") + name.data);
  qrn::RtString line;
  while (!qrn::end_of_channel(0)) {
    qrn::read_line(0, line);
    out.emplace_back(line.data, line.length);
  }
  qrn::close_channel(0);
  return out;
}

// Lines 0 to count - 1 of the line file (count at most 256).
std::vector<std::string> file_lines(const qrn::RtString& name, int32_t count) {
  std::vector<std::string> out;
  for (int32_t i = 0; i < count && i < 256; ++i) {
    qrn::RtString line = qrn::read_file_line(name, i);
    out.emplace_back(line.data, line.length);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qrn;
  const uint32_t m = qrn::fuzz::take_u16(data, size) % 2049;  // 0 and 1 read nothing
  const std::string disk = fuzz::disk_copy("lines.txt", data, size);
  fuzz::MemoryInput memory(data, size);
  const RtString disk_name(disk.c_str());

  if (pieces(disk.c_str(), m) != pieces(memory.name().data, m)) fuzz::fail("disk and memory pieces differ");
  // The line file holds the 1023-byte pieces: one index past the last line is enough.
  const int32_t indexes = static_cast<int32_t>(pieces(disk.c_str(), 1024).size()) + 1;
  if (whole_lines(disk.c_str()) != whole_lines(memory.name().data)) fuzz::fail("disk and memory lines differ");
  if (size > 0 && channel_lines(disk_name) != channel_lines(memory.name())) {
    fuzz::fail("disk and memory channel lines differ");
  }
  if (file_lines(disk_name, indexes) != file_lines(memory.name(), indexes)) {
    fuzz::fail("disk and memory line-file lines differ");
  }
  read_file_line(RtString(), 0);  // the cache lets go of both
  return 0;
}
