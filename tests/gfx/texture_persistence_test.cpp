// The persistence file's records on plain bytes (no GL), and its name.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "gfx/texture_persistence.h"
#include "gfx/texture_persistence_internal.h"
#include "platform/fake_process.h"
#include "platform/process.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace qrn {
namespace {

using Bytes = std::vector<uint8_t>;

void put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A record header with room for its pixels (filled with a pattern).
void add_record(Bytes& b, int32_t id, int32_t w, int32_t h, size_t pixel_bytes) {
  put32(b, static_cast<uint32_t>(id));
  put32(b, static_cast<uint32_t>(w));
  put32(b, static_cast<uint32_t>(h));
  for (size_t i = 0; i < pixel_bytes; ++i) b.push_back(static_cast<uint8_t>(i * 7 + id));
}

struct Read {
  bool all = false;
  std::vector<std::pair<int32_t, std::pair<int32_t, int32_t>>> records;  // id, (w, h)
};

Read read_all(const Bytes& b, bool sink_result = true) {
  Read r;
  r.all = read_texture_records(b.data(), b.size(), [&](int32_t id, Image& image) {
    r.records.push_back({id, {image.width, image.height}});
    return sink_result;
  });
  return r;
}

TEST(TextureRecords, WriteAndReadBack) {
  Image image;
  ASSERT_TRUE(image.resize(10, 10));
  for (int32_t i = 0; i < 400; ++i) image.pixels[i] = static_cast<uint8_t>(i);
  Bytes file;
  append_texture_record(file, 3, image);
  // 12 bytes of id, width and height, then 400 bytes of pixels, little-endian.
  ASSERT_EQ(file.size(), 412u);
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 12), (Bytes{3, 0, 0, 0, 10, 0, 0, 0, 10, 0, 0, 0}));
  EXPECT_EQ(file[12 + 399], static_cast<uint8_t>(399));
  ASSERT_TRUE(image.resize(1, 2));
  std::memset(image.pixels, 0xAB, 8);
  append_texture_record(file, 65535, image);

  std::vector<uint8_t> seen;
  EXPECT_TRUE(read_texture_records(file.data(), file.size(), [&](int32_t id, Image& got) {
    seen.push_back(static_cast<uint8_t>(id & 0xFF));
    if (id == 3) {
      EXPECT_EQ(got.width, 10);
      EXPECT_EQ(got.at(9, 9)[3], static_cast<uint8_t>(399));
    } else {
      EXPECT_EQ(id, 65535);
      EXPECT_EQ(got.height, 2);
      EXPECT_EQ(got.at(0, 1)[0], 0xAB);
    }
    return true;
  }));
  EXPECT_EQ(seen, (std::vector<uint8_t>{3, 0xFF}));
  // Nothing at all is a complete, empty restore.
  EXPECT_TRUE(read_all(Bytes()).all);
  EXPECT_TRUE(read_texture_records(nullptr, 0, [](int32_t, Image&) { return true; }));
}

// Every bad record ends the reading there: those before it are delivered, none after it.
TEST(TextureRecords, ABadRecordEndsTheRestore) {
  struct Case {
    const char* what;
    int32_t id, w, h;
    size_t pixel_bytes;
  };
  const Case bad[] = {
      {"id above 65535", 65536, 1, 1, 4},
      {"negative id", -1, 1, 1, 4},
      {"zero width", 2, 0, 1, 0},
      {"zero height", 2, 1, 0, 0},
      {"negative width", 2, -1, 1, 4},
      {"negative height", 2, 1, -5, 4},
      {"pixels past the end", 2, 2, 2, 15},
      {"32-bit overflow of the pixel bytes", 2, 65536, 16384, 0},
      {"overflow of any width", 2, 0x7FFFFFFF, 0x7FFFFFFF, 16},
      {"wider than an image may be", 2, 16385, 1, 16385 * 4},
      {"more pixels than an image may have", 2, 4097, 4096, 0},
  };
  for (const Case& c : bad) {
    Bytes file;
    add_record(file, 1, 1, 1, 4);
    add_record(file, c.id, c.w, c.h, c.pixel_bytes);
    // A record that runs past the end is the last one; after any other, one more follows.
    if (c.pixel_bytes != 15) add_record(file, 3, 1, 1, 4);
    Read r = read_all(file);
    EXPECT_FALSE(r.all) << c.what;
    ASSERT_EQ(r.records.size(), 1u) << c.what;
    EXPECT_EQ(r.records[0].first, 1) << c.what;
  }
  // A header cut short.
  for (size_t cut = 1; cut < 12; ++cut) {
    Bytes file;
    add_record(file, 1, 1, 1, 4);
    add_record(file, 2, 1, 1, 4);
    file.resize(16 + cut);
    Read r = read_all(file);
    EXPECT_FALSE(r.all) << cut;
    EXPECT_EQ(r.records.size(), 1u) << cut;
  }
}

TEST(TextureRecords, LimitsHoldAtTheLimit) {
  EXPECT_TRUE(texture_record_allowed(65535, 1, 1, 4));
  EXPECT_FALSE(texture_record_allowed(65536, 1, 1, 4));
  EXPECT_TRUE(texture_record_allowed(0, 16384, 1, 16384 * 4));
  EXPECT_FALSE(texture_record_allowed(0, 16384, 1, 16384 * 4 - 1));
  // The image pixel limit, and one row more.
  EXPECT_TRUE(texture_record_allowed(0, 8192, 8192, uint64_t{8192} * 8192 * 4));
  static_assert(int64_t{8192} * 8192 == MAX_IMAGE_PIXELS, "the case above is the limit");
  EXPECT_FALSE(texture_record_allowed(0, 8192, 8193, uint64_t{1} << 40));
  // Exactly the bytes left.
  Bytes file;
  add_record(file, 9, 3, 2, 24);
  Read r = read_all(file);
  EXPECT_TRUE(r.all);
  EXPECT_EQ(r.records.size(), 1u);
}

TEST(TextureRecords, ASpriteThatCannotBeMadeDoesNotStopTheRest) {
  Bytes file;
  add_record(file, 1, 1, 1, 4);
  add_record(file, 2, 1, 1, 4);
  Read r = read_all(file, false);
  EXPECT_FALSE(r.all);
  EXPECT_EQ(r.records.size(), 2u);
}

// The name: "<temporary folder>/qrntxs<hex>.bin", fixed for the process, different in two
// processes at once. Each name comes from a fresh run of this program (the name is made once
// per process), which prints it and ends before any test runs.
constexpr const char* NAME_FOLDER_VARIABLE = "QRN_TEST_PERSISTENCE_FOLDER";

const bool g_prints_name_only = [] {
  const char* folder = std::getenv(NAME_FOLDER_VARIABLE);
  if (!folder) return false;
  FakeProcess process;
  process.temp_dir = folder;
  ServiceScope<ProcessService> scope(&process);
  std::string first = persistence_file_name().data;
  process.temp_dir = "/elsewhere/";
  std::string second = persistence_file_name().data;
  std::printf("%s%s\n", first.c_str(), first == second ? "" : " changed");
  std::fflush(stdout);
  std::_Exit(0);
}();

std::string name_in_new_process(const std::string& folder) {
  test::ChildResult child = test::run_in_child([&] {
    ::setenv(NAME_FOLDER_VARIABLE, folder.c_str(), 1);
    ::execl("/proc/self/exe", "name", static_cast<char*>(nullptr));
  });
  return child.exited && child.exit_code == 0 ? child.out : "failed: " + child.err;
}

TEST(TexturePersistenceName, FormAndUniqueness) {
  test::TempDir dir;
  const std::string folder = dir.path().substr(0, dir.path().size() - 1);  // no trailing slash
  const std::string a = name_in_new_process(folder), b = name_in_new_process(folder);
  const std::string prefix = dir.path() + "qrntxs";
  for (const std::string& out : {a, b}) {
    ASSERT_EQ(out.compare(0, prefix.size(), prefix), 0) << out;
    ASSERT_GT(out.size(), prefix.size() + 5);
    EXPECT_EQ(out.substr(out.size() - 5), ".bin\n") << out;
    const std::string number = out.substr(prefix.size(), out.size() - 5 - prefix.size());
    EXPECT_EQ(number.find_first_not_of("0123456789abcdef"), std::string::npos) << out;
    EXPECT_NE(number[0], '0');
  }
  EXPECT_NE(a, b);
  // Backslashes become slashes; no folder at all means /tmp.
  EXPECT_EQ(name_in_new_process("C:\\temp").compare(0, 14, "C:/temp/qrntxs"), 0);
  EXPECT_EQ(name_in_new_process("").compare(0, 11, "/tmp/qrntxs"), 0);
}

}  // namespace
}  // namespace qrn
