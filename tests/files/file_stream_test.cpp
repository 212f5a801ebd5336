// File streams: line reading from disk and memory (CR LF, LF, no final LF, lines at and
// around the buffer's size), memory-file names (registered, forged, stale, released while
// read), reads past the end, locks between opens, long names.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/files.h"
#include "quarnel.h"
#include "support/temp_dir.h"

using qrn::FileStream;
using qrn::RtString;

namespace {

std::string str(const RtString& t) { return std::string(t.data, t.length); }
std::string x(size_t n) { return std::string(n, 'x'); }

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
      {"a buffer of one byte has no room for one", "ab\n\ncd", 1, {}},
      {"line across several 64-byte pieces", std::string(150, 'x') + "\r\n" + "y", 1024,
       {std::string(150, 'x'), "y"}},
      // Around the 1023 bytes a 1024-byte buffer holds: a line that fits is one line, with
      // its line end taken, so the lines after it keep their places.
      {"1022 bytes and CR LF", x(1022) + "\r\nnext", 1024, {x(1022), "next"}},
      {"1023 bytes and CR LF", x(1023) + "\r\nnext", 1024, {x(1023), "next"}},
      {"1023 bytes and LF", x(1023) + "\nnext", 1024, {x(1023), "next"}},
      {"1024 bytes: a full piece and the rest", x(1024) + "\r\nnext", 1024, {x(1023), "x", "next"}},
      {"2046 bytes: two full pieces", x(2046) + "\r\nnext", 1024, {x(1023), x(1023), "next"}},
      {"2046 bytes and LF at the end", x(2046) + "\n", 1024, {x(1023), x(1023)}},
      {"a CR of the line's own before CR LF stays", x(1022) + "\r\r\nnext", 1024, {x(1022) + "\r", "next"}},
      {"1023 bytes and a CR at the very end", x(1023) + "\r", 1024, {x(1023)}},
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
    qrn::stream_close(memory);
    qrn::release_memory_file(block.data());
  }
}

TEST(FileStreamTest, WholeLinesAroundPieceBoundariesFromDiskAndMemory) {
  qrn::test::TempDir dir;
  for (size_t length : {1021u, 1022u, 1023u, 1024u, 1025u, 2045u, 2046u, 2047u}) {
    for (const char* end : {"\r\n", "\n"}) {
      SCOPED_TRACE(std::to_string(length) + (end[0] == '\r' ? " CR LF" : " LF"));
      const std::string bytes = x(length) + end + "second" + end;
      qrn::test::write_file(dir.file("whole.txt"), bytes);
      RtString memory_name = qrn::memory_file_name(bytes.data(), static_cast<uint32_t>(bytes.size()));
      for (const std::string& name : {dir.file("whole.txt"), std::string(memory_name.data)}) {
        FileStream in;
        ASSERT_EQ(qrn::stream_open_read(in, name.c_str()), 1);
        RtString line;
        ASSERT_TRUE(qrn::stream_read_whole_line(in, line));
        EXPECT_EQ(str(line), x(length));
        ASSERT_TRUE(qrn::stream_read_whole_line(in, line));
        EXPECT_EQ(str(line), "second");
        EXPECT_FALSE(qrn::stream_read_whole_line(in, line));
        qrn::stream_close(in);
      }
      qrn::release_memory_file(bytes.data());
    }
  }
}

// Counts the blocks a memory file's owner had freed for it.
int g_freed = 0;
void count_free(void*) { ++g_freed; }

TEST(FileStreamTest, MemoryFileNamesOpenOnlyBlocksTheRuntimeHolds) {
  const char block[] = "registered";
  RtString name = qrn::memory_file_name(block, 10);
  FileStream stream;
  EXPECT_EQ(qrn::stream_open_read(stream, name.data), 1);
  EXPECT_EQ(qrn::file_exists(name), 1);
  qrn::stream_close(stream);

  // Forged: another address, or the right address with a size it was not made with.
  char forged[64];
  std::snprintf(forged, sizeof forged, "mem://%8x.%8lx", 10u, static_cast<unsigned long>(reinterpret_cast<uintptr_t>(block + 1)));
  std::snprintf(forged + 32, 32, "mem://%8x.%8lx", 4096u, static_cast<unsigned long>(reinterpret_cast<uintptr_t>(block)));
  for (const char* bad : {static_cast<const char*>(forged), static_cast<const char*>(forged + 32),
                          "mem://     100.  401000", "mem://       8.ffffffffffffff00"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(qrn::stream_open_read(stream, bad), 0);
    EXPECT_EQ(qrn::file_exists(RtString(bad)), 0);
    EXPECT_FALSE(qrn::stream_is_open(stream));
  }

  // Made again with another size, the block answers to the new name only.
  RtString shorter = qrn::memory_file_name(block, 4);
  EXPECT_EQ(qrn::stream_open_read(stream, name.data), 0);
  ASSERT_EQ(qrn::stream_open_read(stream, shorter.data), 1);
  EXPECT_EQ(stream.size, 4u);
  qrn::stream_close(stream);

  // Stale: after the release no name opens the block.
  qrn::release_memory_file(block);
  EXPECT_EQ(qrn::stream_open_read(stream, shorter.data), 0);
  EXPECT_EQ(qrn::file_exists(shorter), 0);

  // Released while streams read it, a block is freed when the last of them closes.
  g_freed = 0;
  auto* held = static_cast<uint8_t*>(std::malloc(6));
  std::memcpy(held, "abcdef", 6);
  RtString held_name = qrn::memory_file_name(held, 6);
  FileStream first, second;
  ASSERT_EQ(qrn::stream_open_read(first, held_name.data), 1);
  ASSERT_EQ(qrn::stream_open_read(second, held_name.data), 1);
  qrn::release_memory_file(held, [](void* p) {
    count_free(p);
    std::free(p);
  });
  EXPECT_EQ(qrn::stream_open_read(stream, held_name.data), 0);  // no new readers
  char into[7] = {};
  ASSERT_EQ(qrn::stream_read(first, into, 6), 1);
  EXPECT_STREQ(into, "abcdef");
  qrn::stream_close(first);
  EXPECT_EQ(g_freed, 0);
  qrn::stream_close(second);
  EXPECT_EQ(g_freed, 1);
  qrn::stream_close(second);  // closing again frees nothing twice
  EXPECT_EQ(g_freed, 1);
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
  qrn::release_memory_file(block);
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
