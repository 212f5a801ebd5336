// Files in a shared folder: made new for this user only, never through a link placed there,
// and read back only when this user owns them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "files/file_stream.h"
#include "support/temp_dir.h"

namespace qrn {
namespace {

using test::read_file;
using test::TempDir;
using test::write_file;

mode_t mode_of(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 ? info.st_mode : 0;
}

TEST(PrivateFiles, WritingMakesANewFileOnlyThisUserMayRead) {
  TempDir dir;
  const std::string name = dir.file("private.bin");
  const mode_t old_mask = ::umask(0);  // a lax umask must not open the file to others
  FileStream stream;
  ASSERT_EQ(stream_open_private_write(stream, name.c_str()), 1);
  ::umask(old_mask);
  ASSERT_EQ(stream_write(stream, "abc", 3), 1);
  stream_close(stream);
  EXPECT_EQ(mode_of(name) & 07777, 0600u);
  EXPECT_EQ(read_file(name), "abc");

  // An old file of that name is replaced (not appended to); so is an empty folder.
  ASSERT_EQ(stream_open_private_write(stream, name.c_str()), 1);
  stream_close(stream);
  EXPECT_EQ(read_file(name), "");
  ASSERT_EQ(::unlink(name.c_str()), 0);
  ASSERT_EQ(::mkdir(name.c_str(), 0755), 0);
  ASSERT_EQ(stream_open_private_write(stream, name.c_str()), 1);
  stream_close(stream);
  EXPECT_TRUE(S_ISREG(mode_of(name)));
  // Memory-file names are never written.
  EXPECT_EQ(stream_open_private_write(stream, "mem://00000010.00001000"), 0);
}

TEST(PrivateFiles, ALinkPlacedAtTheNameIsReplacedNotFollowed) {
  TempDir dir;
  const std::string victim = dir.file("victim.txt");
  const std::string name = dir.file("private.bin");
  write_file(victim, "keep me");
  ASSERT_EQ(::chmod(victim.c_str(), 0644), 0);
  ASSERT_EQ(::symlink(victim.c_str(), name.c_str()), 0);
  FileStream stream;
  ASSERT_EQ(stream_open_private_write(stream, name.c_str()), 1);
  ASSERT_EQ(stream_write(stream, "new", 3), 1);
  stream_close(stream);
  EXPECT_EQ(read_file(victim), "keep me");
  EXPECT_EQ(mode_of(victim) & 07777, 0644u);
  EXPECT_TRUE(S_ISREG(mode_of(name)));
  EXPECT_EQ(read_file(name), "new");
  // A link to nowhere is taken away as well.
  ASSERT_EQ(::unlink(name.c_str()), 0);
  ASSERT_EQ(::symlink(dir.file("missing").c_str(), name.c_str()), 0);
  ASSERT_EQ(stream_open_private_write(stream, name.c_str()), 1);
  stream_close(stream);
  EXPECT_TRUE(S_ISREG(mode_of(name)));
  EXPECT_EQ(mode_of(dir.file("missing")), 0u);
}

TEST(PrivateFiles, ReadingBackTakesOnlyARegularFileOfThisUsersWithOneName) {
  TempDir dir;
  const std::string name = dir.file("private.bin");
  write_file(name, "data");
  FileStream stream;
  ASSERT_EQ(stream_open_owned_read(stream, name.c_str()), 1);
  EXPECT_EQ(stream.size, 4u);
  stream_close(stream);

  // A symbolic link, even to a file of ours.
  const std::string link = dir.file("link.bin");
  ASSERT_EQ(::symlink(name.c_str(), link.c_str()), 0);
  EXPECT_EQ(stream_open_owned_read(stream, link.c_str()), 0);
  // A file with a second name (a hard link someone made to it).
  const std::string second = dir.file("second.bin");
  ASSERT_EQ(::link(name.c_str(), second.c_str()), 0);
  EXPECT_EQ(stream_open_owned_read(stream, name.c_str()), 0);
  ASSERT_EQ(::unlink(second.c_str()), 0);
  EXPECT_EQ(stream_open_owned_read(stream, name.c_str()), 1);
  stream_close(stream);
  // A folder or a pipe.
  ASSERT_EQ(::mkdir(dir.file("folder").c_str(), 0700), 0);
  EXPECT_EQ(stream_open_owned_read(stream, dir.file("folder").c_str()), 0);
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
  EXPECT_EQ(stream_open_owned_read(stream, dir.file("fifo").c_str()), 0);
  EXPECT_EQ(stream_open_owned_read(stream, dir.file("missing").c_str()), 0);
  // Memory-file names are read from memory.
  static const char block[] = "xyz";
  RtString memory = memory_file_name(block, 3);
  ASSERT_EQ(stream_open_owned_read(stream, memory.data), 1);
  EXPECT_EQ(stream.size, 3u);
  stream_close(stream);

  // Someone else's file (only root can make one to try with).
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a file to another user";
  ASSERT_EQ(::chown(name.c_str(), 65534, 65534), 0);
  EXPECT_EQ(stream_open_owned_read(stream, name.c_str()), 0);
}

}  // namespace
}  // namespace qrn
