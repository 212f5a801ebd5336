// File-system operations: wildcards, directory listings with their result code, the working
// directory, deleting and creating, copying, and the environment.
#include <gtest/gtest.h>

#include <string>

#include "platform/fake_platform.h"
#include "quarnel.h"
#include "support/temp_dir.h"

using qrn::RtString;

namespace {

std::string str(const RtString& t) { return std::string(t.data, t.length); }

class FileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qrn::reset_runtime_state();
    fake->cwd = dir.path();
  }
  RtString path(const char* name) { return RtString(dir.file(name).c_str()); }
  qrn::FakePlatformScope fake;
  qrn::test::TempDir dir;
};

std::string listing(const qrn::RtArray<RtString>& names) {
  std::string all;
  for (int32_t i = 0; i < names.dim_i; ++i) all += str(names(i)) + "|";
  return all;
}

}  // namespace

TEST(WildcardTest, Patterns) {
  struct Case {
    const char* pattern;
    const char* name;
    int32_t match;
  } cases[] = {
      {"*.png", "A.PNG", 1},   {"?.png", "..png", 0},   {"?.png", "a.png", 1},  {"a*b*c", "aXbYbZc", 1},
      {"a*b*c", "aXbYbZ", 0},  {"*.*", "noext", 1},     {"*", "", 1},           {"**", "x", 1},
      {"", "", 1},             {"", "x", 0},            {"x", "", 0},           {"*x", "abx", 1},
      {"*.txt", "a.txt.bak", 0}, {"a?c", "abc", 1},     {"a?c", "a.c", 0},      {"A*", "apple", 1},
      {"*ab", "aab", 1},       {"*a*a*a", "aaa", 1},    {"*a*a*a", "aa", 0},    {"data.*", "DATA.", 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(qrn::wildcard_match(c.pattern, c.name), c.match) << c.pattern << " on " << c.name;
  }
}

TEST_F(FileSystemTest, ListingsPutDirectoriesFirstAndSortIgnoringCase) {
  qrn::create_directory(path("B"));
  qrn::create_directory(path("a_dir"));
  for (const char* name : {"a.txt", "C.TXT", "d.png", "b.Txt"}) qrn::test::write_file(dir.file(name), "x");
  qrn::RtArray<RtString> names;
  EXPECT_EQ(qrn::list_directory("*.txt", names), 4 * 65536 + 3);
  EXPECT_EQ(listing(names), ".|..|a_dir|B|a.txt|b.Txt|C.TXT|");
  EXPECT_EQ(qrn::list_directory("*.*", names), 4 * 65536 + 4);
  EXPECT_EQ(qrn::list_directory("*.jpg", names), 4 * 65536);

  fake->cwd = dir.file("missing/");
  EXPECT_EQ(qrn::list_directory("*.*", names), 0);
  EXPECT_EQ(names.dim_i, 0);
}

TEST_F(FileSystemTest, WorkingDirectoryDeletingCreatingAndCopying) {
  EXPECT_EQ(str(qrn::get_current_directory()), dir.path());  // "/" at the end, not doubled
  fake->cwd = "/";
  EXPECT_EQ(str(qrn::get_current_directory()), "/");
  fake->cwd = "C:\\Games\\Clock";
  EXPECT_EQ(str(qrn::get_current_directory()), "C:/Games/Clock/");
  EXPECT_EQ(qrn::set_current_directory(path("Media")), 1);
  EXPECT_EQ(fake->cwd, dir.file("Media"));
  EXPECT_EQ(qrn::g_runtime.error_code, 0);

  EXPECT_EQ(qrn::is_directory(path("sub")), 0);
  EXPECT_EQ(qrn::create_directory(path("sub")), 1);
  EXPECT_EQ(qrn::create_directory(path("sub")), 0);
  EXPECT_EQ(qrn::create_directory(path("no/parent")), 0);
  EXPECT_EQ(qrn::is_directory(path("sub")), 1);
  qrn::test::write_file(dir.file("sub/f"), "x");
  EXPECT_EQ(qrn::delete_file(path("sub")), 0);  // not empty
  EXPECT_NE(qrn::delete_file(path("sub/f")), 0);
  EXPECT_NE(qrn::delete_file(path("sub")), 0);
  EXPECT_EQ(qrn::is_directory(path("sub")), 0);
  EXPECT_EQ(qrn::delete_file(path("sub")), 0);

  std::string big(10000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  qrn::test::write_file(dir.file("big.bin"), big);
  qrn::test::write_file(dir.file("copy.bin"), "old and longer than nothing");
  qrn::copy_file(path("big.bin"), path("copy.bin"));
  EXPECT_EQ(qrn::g_runtime.error_code, 0);
  EXPECT_EQ(qrn::test::read_file(dir.file("copy.bin")), big);
  qrn::copy_file(path("big.bin"), path("no/such/dir/copy.bin"));
  EXPECT_EQ(qrn::g_runtime.error_code, 3);
  EXPECT_EQ(fake->stdout_text, "error: 3\n");

  RtString text("C:\\a\\b/c");
  qrn::slash_path(text);
  EXPECT_EQ(str(text), "C:/a/b/c");
}

TEST(EnvironmentTest, GetSetAndList) {
  EXPECT_EQ(str(qrn::get_environment("NOT_SET_ANYWHERE_QRN")), "");
  qrn::set_environment("QRN_TEST_X", "1");
  EXPECT_EQ(str(qrn::get_environment("QRN_TEST_X")), "1");
  EXPECT_NE(str(qrn::get_environment("")).find("\nQRN_TEST_X=1\n"), std::string::npos);
  qrn::set_environment("QRN_TEST_Y=Z", "2");  // the name ends at its first "="
  EXPECT_EQ(str(qrn::get_environment("QRN_TEST_Y")), "Z=2");
  qrn::set_environment("QRN_TEST_X", "");
  EXPECT_EQ(str(qrn::get_environment("")).find("QRN_TEST_X="), std::string::npos);
}
