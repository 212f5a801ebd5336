// File streams: line reading from disk and memory (CR LF, LF, no final LF, lines longer than
// the buffer), memory-file names, reads past the end, locks between opens, long names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "quarnel.h"
#include "support/temp_dir.h"

using qrn::FileStream;
using qrn::RtString;

namespace {

std::string str(const RtString& t) { return std::string(t.data, t.length); }

// Every line of a stream, read with a buffer of m bytes.
std::vector<std::string> lines_of(FileStream& stream, uint32_t m) {
  std::vector<std::string> lines;
  std::vector<char> buffer(m);
  while (qrn::stream_read_line(stream, buffer.data(), m)) lines.emplace_back(buffer.data());
  return lines;
}

struct LineCase {
  const char* what;
  std::string bytes;
  uint32_t m;
  std::vector<std::string> lines;
};

const std::vector<LineCase>& line_cases() {
  static const std::vector<LineCase> cases = {
      {"CR LF, no final line end", "ab\r\ncd", 1024, {"ab", "cd"}},
      {"LF only", "ab\ncd\n", 1024, {"ab", "cd"}},
      {"empty lines", "\n\r\n\nx", 1024, {"", "", "", "x"}},
      {"a lone CR inside stays", "a\rb\r\n", 1024, {"a\rb"}},
      {"final CR without LF", "ab\r", 1024, {"ab"}},
      {"empty file", "", 1024, {}},
      {"line longer than the buffer comes in pieces", "abcdefgh\nij", 4, {"abc", "def", "gh", "ij"}},
      {"line across several 64-byte pieces", std::string(150, 'x') + "\r\n" + "y", 1024,
       {std::string(150, 'x'), "y"}},
  };
  return cases;
}

}  // namespace

TEST(FileStreamTest, LineReadingFromDiskAndMemoryAgree) {
  qrn::test::TempDir dir;
  for (const LineCase& c : line_cases()) {
    SCOPED_TRACE(c.what);
    std::string path = dir.file("lines.txt");
    qrn::test::write_file(path, c.bytes);
    FileStream disk;
    ASSERT_EQ(qrn::stream_open_read(disk, path.c_str()), 1);
    EXPECT_EQ(lines_of(disk, c.m), c.lines);
    qrn::stream_close(disk);

    std::string block = c.bytes + "#";  // the block is not 0-terminated after its size
    RtString name = qrn::memory_file_name(block.data(), static_cast<uint32_t>(c.bytes.size()));
    FileStream memory;
    ASSERT_EQ(qrn::stream_open_read(memory, name.data), 1);
    EXPECT_EQ(lines_of(memory, c.m), c.lines);
    EXPECT_EQ(block, c.bytes + "#");  // the block is never written
  }
}

TEST(FileStreamTest, WholeLinesOfAnyLength) {
  qrn::test::TempDir dir;
  std::string long_line(3000, 'v');
  // The CR of the CR LF falls exactly at the end of a 1023-byte piece.
  std::string split(1022, 's');
  qrn::test::write_file(dir.file("long.txt"), long_line + "\r\n" + split + "\r\nend\r");
  FileStream in;
  ASSERT_EQ(qrn::stream_open_read(in, dir.file("long.txt").c_str()), 1);
  RtString line;
  ASSERT_TRUE(qrn::stream_read_whole_line(in, line));
  EXPECT_EQ(str(line), long_line);
  ASSERT_TRUE(qrn::stream_read_whole_line(in, line));
  EXPECT_EQ(str(line), split);
  ASSERT_TRUE(qrn::stream_read_whole_line(in, line));
  EXPECT_EQ(str(line), "end");
  EXPECT_FALSE(qrn::stream_read_whole_line(in, line));
  qrn::stream_close(in);
}

TEST(FileStreamTest, MemoryFileNamesAndReadsPastTheEnd) {
  const char block[] = "0123456789";
  RtString name = qrn::memory_file_name(block, 10);
  EXPECT_EQ(name.length, 6u + 8u + 1u + std::string(name.data + 15).size());
  EXPECT_EQ(std::string(name.data, 15), "mem://       a.");
  const uint8_t* address = nullptr;
  uint64_t size = 0;
  ASSERT_TRUE(qrn::parse_memory_file_name(name.data, address, size));
  EXPECT_EQ(address, reinterpret_cast<const uint8_t*>(block));
  EXPECT_EQ(size, 10u);
  EXPECT_FALSE(qrn::parse_memory_file_name("mem://       a.       0", address, size));
  EXPECT_FALSE(qrn::parse_memory_file_name("mem://x", address, size));

  FileStream stream;
  ASSERT_EQ(qrn::stream_open_read(stream, name.data), 1);
  char into[8] = {};
  ASSERT_EQ(qrn::stream_seek(stream, 7, 0), 1);
  EXPECT_EQ(qrn::stream_read(stream, into, 8), 1);  // copies the 3 bytes left
  EXPECT_EQ(std::string(into), "789");
  EXPECT_EQ(stream.position, 10u);
  EXPECT_EQ(qrn::stream_read(stream, into, 1), 1);  // at the very end: 0 bytes, success
  ASSERT_EQ(qrn::stream_seek(stream, 1, 1), 1);
  EXPECT_EQ(qrn::stream_read(stream, into, 1), 0);  // beyond the end: failure
  EXPECT_EQ(qrn::stream_seek(stream, -20, 2), 0);   // before the start
  EXPECT_EQ(qrn::stream_open_write(stream, name.data), 0);
  EXPECT_EQ(qrn::stream_open_append(stream, name.data), 0);
  EXPECT_FALSE(qrn::stream_is_open(stream));
}

TEST(FileStreamTest, OpensHoldLocksAndNamesHaveALimit) {
  qrn::test::TempDir dir;
  std::string path = dir.file("held.txt");
  qrn::test::write_file(path, "old");
  FileStream writer, reader, second_reader;
  ASSERT_EQ(qrn::stream_open_write(writer, path.c_str()), 1);  // replaces the old file
  EXPECT_EQ(qrn::stream_open_read(reader, path.c_str()), 0);   // a writer holds it alone
  ASSERT_EQ(qrn::stream_write(writer, "new", 3), 1);
  EXPECT_EQ(writer.position, 0u);  // writes leave the recorded position alone
  qrn::stream_close(writer);
  EXPECT_EQ(qrn::test::read_file(path), "new");
  ASSERT_EQ(qrn::stream_open_read(reader, path.c_str()), 1);
  EXPECT_EQ(qrn::stream_open_read(second_reader, path.c_str()), 0);  // a reader holds it alone too
  EXPECT_EQ(qrn::stream_open_append(writer, path.c_str()), 0);
  qrn::stream_close(reader);
  ASSERT_EQ(qrn::stream_open_append(writer, path.c_str()), 1);
  EXPECT_EQ(writer.position, 3u);
  ASSERT_EQ(qrn::stream_write(writer, "er", 2), 1);
  qrn::stream_close(writer);
  EXPECT_EQ(qrn::test::read_file(path), "newer");

  // A directory is not a file; a name over 1023 bytes is refused rather than cut.
  EXPECT_EQ(qrn::stream_open_read(reader, dir.path().c_str()), 0);
  EXPECT_EQ(qrn::file_exists(RtString(dir.path().c_str())), 0);
  std::string long_name = dir.path();
  while (long_name.size() < 1020) long_name += "./";
  long_name += "written.txt";  // cut at 1023 bytes it would name "wri..." in dir
  EXPECT_EQ(qrn::stream_open_write(writer, long_name.c_str()), 0);
  EXPECT_EQ(qrn::file_exists(RtString(long_name.c_str())), 0);
  std::vector<qrn::DirectoryEntry> entries;
  ASSERT_TRUE(qrn::os_files().read_directory(dir.path().c_str(), entries));
  EXPECT_EQ(entries.size(), 3u);  // ".", ".." and held.txt
}
