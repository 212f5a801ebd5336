// File channels: exact bytes of every write, reads back (sign and zero extension, partial
// values from memory files), open modes, free channels, the fatal paths (in a child), file
// size and time, and the line-file cache with its write-back.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "quarnel.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

using qrn::RtString;

namespace {

std::string str(const RtString& t) { return std::string(t.data, t.length); }

class ChannelsTest : public ::testing::Test {
 protected:
  void SetUp() override { qrn::reset_runtime_state(); }
  void TearDown() override { qrn::close_all_channels(); }
  RtString path(const char* name) { return RtString(dir.file(name).c_str()); }
  qrn::test::TempDir dir;
};

}  // namespace

TEST_F(ChannelsTest, WritesAreLittleEndianAndReadBack) {
  ASSERT_EQ(qrn::open_channel(0, path("out.bin"), 0), 1);
  qrn::write_line(0, RtString("ab"));
  qrn::write_text(0, RtString());
  qrn::write_int16(0, 65537);
  qrn::write_int32(0, -2);
  qrn::write_int8(0, 0x1FF);
  qrn::write_float32(0, 1.5);
  qrn::write_float64(0, -2.25);
  qrn::write_int16(0, -1);
  qrn::close_channel(0);
  const std::string expected = std::string("ab\r\n\x01\x00", 6) + "\xFE\xFF\xFF\xFF\xFF" +
                               std::string("\x00\x00\xC0\x3F", 4) + std::string("\x00\x00\x00\x00\x00\x00\x02\xC0", 8) +
                               "\xFF\xFF";
  EXPECT_EQ(qrn::test::read_file(dir.file("out.bin")), expected);

  ASSERT_EQ(qrn::open_channel(3, path("out.bin"), 1), 1);
  RtString line;
  qrn::read_line(3, line);
  EXPECT_EQ(str(line), "ab");
  EXPECT_EQ(qrn::read_uint16(3), 1);
  EXPECT_EQ(qrn::read_int32(3), -2);
  EXPECT_EQ(qrn::read_int8(3), -1);
  EXPECT_EQ(qrn::read_float32(3), 1.5);
  EXPECT_EQ(qrn::read_float64(3), -2.25);
  EXPECT_EQ(qrn::end_of_channel(3), 0);
  int64_t before = qrn::channel_position(3);
  EXPECT_EQ(qrn::read_int16(3), -1);
  qrn::seek_channel(3, before, 0);
  EXPECT_EQ(qrn::read_uint16(3), 65535);
  EXPECT_EQ(qrn::end_of_channel(3), 1);
  qrn::seek_channel(3, -2, -1);
  EXPECT_EQ(qrn::read_uint8(3), 255);
  qrn::seek_channel(3, -2, 1);
  EXPECT_EQ(qrn::read_uint8(3), 0xC0);  // last byte of the float64
}

TEST_F(ChannelsTest, OpenModesFreeChannelsAndOpenFailures) {
  qrn::test::write_file(dir.file("t.txt"), "old content");
  ASSERT_EQ(qrn::open_channel(0, path("t.txt"), 0), 1);  // mode 0 empties
  qrn::close_channel(0);
  EXPECT_EQ(qrn::test::read_file(dir.file("t.txt")), "");
  qrn::test::write_file(dir.file("t.txt"), "one");
  ASSERT_EQ(qrn::open_channel(0, path("t.txt"), -1), 1);  // mode -1 appends
  qrn::write_text(0, RtString("two"));
  qrn::close_channel(0);
  EXPECT_EQ(qrn::test::read_file(dir.file("t.txt")), "onetwo");

  ASSERT_EQ(qrn::open_channel(0, path("t.txt"), 1), 1);
  ASSERT_EQ(qrn::open_channel(1, path("a.txt"), 0), 1);
  EXPECT_EQ(qrn::free_channel(), 2);
  for (int32_t n = 2; n < 8; ++n) ASSERT_EQ(qrn::open_channel(n, path(("f" + std::to_string(n)).c_str()), 0), 1);
  EXPECT_EQ(qrn::free_channel(), 255);
  qrn::close_all_channels();
  EXPECT_EQ(qrn::free_channel(), 0);

  testing::internal::CaptureStdout();
  EXPECT_EQ(qrn::open_channel(8, path("t.txt"), 1), 0);
  EXPECT_EQ(qrn::g_runtime.error_code, 7);
  EXPECT_EQ(qrn::open_channel(-1, path("t.txt"), 1), 0);
  EXPECT_EQ(qrn::open_channel(0, path("missing.txt"), 1), 0);
  EXPECT_EQ(qrn::g_runtime.error_code, 3);
  EXPECT_EQ(qrn::open_channel(0, RtString(dir.file("no/such/dir/x").c_str()), 0), 0);
  EXPECT_EQ(qrn::g_runtime.error_code, 3);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "error: 7\nerror: 7\nerror: 3\nerror: 3\n");
}

TEST_F(ChannelsTest, MemoryFileChannelsReadPartialValues) {
  const char block[] = "\x01\x02\x03";
  ASSERT_EQ(qrn::open_channel(2, qrn::memory_file_name(block, 3), 1), 1);
  EXPECT_EQ(qrn::read_uint8(2), 1);
  EXPECT_EQ(qrn::read_int32(2), 0x0302);  // two bytes left; the high bytes stay 0
  EXPECT_EQ(qrn::end_of_channel(2), 1);
  EXPECT_EQ(qrn::read_int32(2), 0);  // at the very end: nothing copied, no failure
  qrn::seek_channel(2, 1, 0);
  RtString bytes;
  qrn::read_bytes_text(2, bytes, 4);
  EXPECT_EQ(str(bytes), std::string("\x02\x03\x00\x00", 4));
  qrn::read_bytes_text(2, bytes, 0);
  EXPECT_EQ(str(bytes), "");
}

TEST_F(ChannelsTest, FailedReadsWritesAndBadNumbersEndTheProgram) {
  qrn::test::write_file(dir.file("ab.txt"), "ab\r\n");
  const char block[] = "xy";
  struct Case {
    const char* what;
    std::function<void()> body;
    const char* error;
  } cases[] = {
      {"channel above 7", [] { qrn::write_int8(8, 1); }, "error: 7\n"},
      {"negative channel", [] { qrn::channel_position(-1); }, "error: 7\n"},
      {"line past the end", [&] {
         qrn::open_channel(0, path("ab.txt"), 1);
         RtString line;
         qrn::read_line(0, line);
         qrn::read_line(0, line);
       }, "error: 3\n"},
      {"write to a closed channel", [] { qrn::write_int32(5, 1); }, "error: 3\n"},
      {"write to a memory file", [&] {
         qrn::open_channel(1, qrn::memory_file_name(block, 2), 1);
         qrn::write_line(1, RtString("no"));
       }, "error: 3\n"},
      {"disk read past the end", [&] {
         qrn::open_channel(0, path("ab.txt"), 1);
         qrn::seek_channel(0, 2, 0);
         qrn::read_float64(0);
       }, "error: 3\n"},
      {"byte text longer than the file", [&] {
         qrn::open_channel(0, path("ab.txt"), 1);
         RtString bytes;
         qrn::read_bytes_text(0, bytes, 0x7FFFFFFF);
       }, "error: 3\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    qrn::test::ChildResult result = qrn::test::run_in_child(c.body);
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.out.rfind(c.error, 0), 0u) << result.out;
    EXPECT_NE(result.out.find("exit"), std::string::npos) << result.out;
  }
}

TEST_F(ChannelsTest, FileSizeAndTime) {
  qrn::test::write_file(dir.file("sized.bin"), std::string(1234, 'z'));
  EXPECT_EQ(qrn::file_size(path("sized.bin")), 1234);
  const char block[] = "12345";
  EXPECT_EQ(qrn::file_size(qrn::memory_file_name(block, 5)), 5);

  setenv("TZ", "UTC", 1);
  tzset();
  std::tm when{};
  when.tm_year = 2016 - 1900;
  when.tm_mon = 4;
  when.tm_mday = 9;
  when.tm_hour = 7;
  when.tm_min = 3;
  utimbuf times{timegm(&when), timegm(&when)};
  ASSERT_EQ(utime(dir.file("sized.bin").c_str(), &times), 0);
  EXPECT_EQ(str(qrn::file_time(path("sized.bin"))), "2016-05-09 07:03:00");
  EXPECT_EQ(qrn::g_runtime.error_code, 0);

  testing::internal::CaptureStdout();
  EXPECT_EQ(qrn::file_size(path("missing")), 0);
  EXPECT_EQ(str(qrn::file_time(qrn::memory_file_name(block, 5))), "");
  EXPECT_EQ(str(qrn::file_time(path("missing"))), "");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "error: 3\nerror: 3\nerror: 3\n");
}

TEST_F(ChannelsTest, LineFilesReadWriteAndWriteBack) {
  qrn::test::write_file(dir.file("lines.txt"), "first \t\r\nsecond\n\nlast");
  testing::internal::CaptureStdout();
  EXPECT_EQ(str(qrn::read_file_line(path("lines.txt"), 0)), "first ");  // trailing tab removed, blank kept
  EXPECT_EQ(str(qrn::read_file_line(path("lines.txt"), 3.9)), "last");
  EXPECT_EQ(str(qrn::read_file_line(path("lines.txt"), 2)), "NO_DATA");
  EXPECT_EQ(str(qrn::read_file_line(path("lines.txt"), 255)), "NO_DATA");
  EXPECT_EQ(str(qrn::read_file_line(path("lines.txt"), 256)), "NO_DATA");
  EXPECT_EQ(qrn::g_runtime.error_code, 7);
  EXPECT_EQ(str(qrn::read_file_line(path("lines.txt"), -3)), "NO_DATA");
  EXPECT_EQ(str(qrn::read_file_line(path("absent.txt"), 0)), "NO_FILE");
  EXPECT_EQ(qrn::g_runtime.error_code, 3);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "error: 7\nerror: 7\nerror: 3\n");

  qrn::write_file_line(path("lines.txt"), 1, RtString("changed"));
  qrn::write_file_line(path("lines.txt"), 5, 2.5);
  EXPECT_EQ(qrn::read_file_line_double(path("lines.txt"), 5), 2.5);
  EXPECT_EQ(qrn::test::read_file(dir.file("lines.txt")), "first \t\r\nsecond\n\nlast");  // not yet
  EXPECT_EQ(str(qrn::read_file_line(path("other.txt"), 0)), "NO_FILE");  // the switch writes back
  EXPECT_EQ(qrn::test::read_file(dir.file("lines.txt")), "first \t\r\nchanged\r\n\r\nlast\r\n\r\n2.5\r\n");

  // A new file is made by the exit step when the program ends.
  std::string made = dir.file("made.txt");
  qrn::test::ChildResult result = qrn::test::run_in_child([&] {
    qrn::write_file_line(RtString(made.c_str()), 1, RtString("x"));
    std::exit(0);
  });
  EXPECT_TRUE(result.exited);
  EXPECT_EQ(qrn::test::read_file(made), "\r\nx\r\n");
}

TEST_F(ChannelsTest, LongLinesKeepEveryLaterIndexOnDiskAndInMemory) {
  // Lines of 1022, 1023, 1024 and 2046 bytes, each followed by a short one: a line that fits
  // the 1023 bytes of a line buffer takes one index, a longer one an index per piece.
  for (size_t length : {1022u, 1023u, 1024u, 2046u}) {
    for (const char* end : {"\r\n", "\n"}) {
      SCOPED_TRACE(std::to_string(length) + (end[0] == '\r' ? " CR LF" : " LF"));
      const std::string long_line(length, 'x');
      const std::string bytes = long_line + end + "after" + end + "last" + end;
      qrn::test::write_file(dir.file("long.txt"), bytes);
      const RtString memory = qrn::memory_file_name(bytes.data(), static_cast<uint32_t>(bytes.size()));
      const int32_t pieces = length > 1023 ? 2 : 1;
      for (const RtString& name : {path("long.txt"), memory}) {
        std::string joined;
        for (int32_t i = 0; i < pieces; ++i) joined += str(qrn::read_file_line(name, i));
        EXPECT_EQ(joined, long_line);
        EXPECT_EQ(str(qrn::read_file_line(name, pieces)), "after");
        EXPECT_EQ(str(qrn::read_file_line(name, pieces + 1)), "last");
        EXPECT_EQ(str(qrn::read_file_line(name, pieces + 2)), "NO_DATA");

        ASSERT_EQ(qrn::open_channel(0, name, 1), 1);
        RtString line;
        joined.clear();
        for (int32_t i = 0; i < pieces; ++i) {
          qrn::read_line(0, line);
          joined += str(line);
        }
        EXPECT_EQ(joined, long_line);
        qrn::read_line(0, line);
        EXPECT_EQ(str(line), "after");
        qrn::close_channel(0);
      }
      qrn::read_file_line(path("absent.txt"), 0);  // the cache lets go of the file
      qrn::release_memory_file(bytes.data());
    }
  }
}
