// Files held open: an open file belongs to its open alone until it is closed, within this
// process and between processes. Every other open, a delete, a copy onto or out of it and a
// settings write over it fail and leave it as it was, and the holder's own writes all arrive.
// A settings store that could not be written keeps its changes until the file is free.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "quarnel.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

using qrn::RtString;

namespace {

std::string str(const RtString& t) { return std::string(t.data, t.length); }
RtString text(const std::string& s) { return RtString(s.c_str()); }

// Tries every way of reaching the file through another open and returns what was not
// refused or not left as it was (empty when everything held). spare is a file of its own
// for the copies, which must stay as it was too.
std::string probe_held(const std::string& file, const std::string& spare) {
  std::string before = qrn::test::read_file(file);
  std::string spare_before = qrn::test::read_file(spare);
  std::string faults;
  auto expect_error_3 = [&](const char* what, bool refused) {
    if (!refused || qrn::g_runtime.error_code != 3) faults += std::string(what) + " was not refused; ";
  };
  for (int32_t mode : {0, 1, -1}) {
    std::string what = "open_channel mode " + std::to_string(mode);
    expect_error_3(what.c_str(), qrn::open_channel(6, text(file), mode) == 0);
    qrn::close_channel(6);
  }
  if (qrn::delete_file(text(file))) faults += "delete_file was not refused; ";
  qrn::copy_file(text(spare), text(file));
  expect_error_3("copy_file onto it", true);
  qrn::copy_file(text(file), text(spare));
  expect_error_3("copy_file out of it", true);
  if (qrn::file_exists(text(file)) != 1) faults += "the file is gone; ";
  if (qrn::test::read_file(file) != before) faults += "the file changed; ";
  if (qrn::test::read_file(spare) != spare_before) faults += "the copy's destination changed; ";
  return faults;
}

double now_ms() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

// A second process that holds a file on one of its channels until told to finish. A holder
// that opened for writing or appending writes "held" at once and "last" when it finishes.
// Every wait is bounded; a holder left over is killed.
class Holder {
 public:
  Holder(const std::string& file, int32_t mode) {
    int up[2], down[2];
    if (pipe(up) != 0 || pipe(down) != 0) return;
    std::fflush(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
      close(up[0]);
      close(down[1]);
      bool opened = qrn::open_channel(5, text(file), mode) != 0;
      if (opened && mode <= 0) qrn::write_line(5, "held");
      char word = opened ? 'y' : 'n';
      if (write(up[1], &word, 1) != 1 || read(down[0], &word, 1) != 1) _exit(2);
      if (mode <= 0) qrn::write_line(5, "last");
      qrn::close_channel(5);
      _exit(0);
    }
    close(up[1]);
    close(down[0]);
    to_child_ = down[1];
    pollfd answer{up[0], POLLIN, 0};
    char word = 0;
    holds_ = poll(&answer, 1, 5000) == 1 && read(up[0], &word, 1) == 1 && word == 'y';
    close(up[0]);
  }
  ~Holder() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (to_child_ >= 0) close(to_child_);
  }
  bool holds() const { return holds_; }
  // Lets the holder write its last line and close; true when it ended cleanly within 5 s.
  bool finish() {
    char word = 'f';
    if (pid_ <= 0 || write(to_child_, &word, 1) != 1) return false;
    double deadline = now_ms() + 5000;
    int status = 0;
    while (now_ms() < deadline) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
      }
      usleep(2000);
    }
    return false;
  }

 private:
  pid_t pid_ = -1;
  int to_child_ = -1;
  bool holds_ = false;
};

class HeldFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    qrn::reset_runtime_state();
    qrn::ini_open(RtString());
    qrn::test::write_file(file, "old\r\n");
    qrn::test::write_file(spare, "spare");
  }
  void TearDown() override {
    qrn::close_all_channels();
    qrn::ini_open(RtString());
  }
  qrn::test::TempDir dir;
  std::string file = dir.file("g.txt");
  std::string spare = dir.file("spare.txt");
};

struct HolderMode {
  const char* what;
  int32_t mode;
  const char* content_while_held;  // what the holder leaves in the file before its last line
};
const HolderMode kHolderModes[] = {
    {"appending", -1, "old\r\nheld\r\n"},
    {"writing", 0, "held\r\n"},
    {"reading", 1, "old\r\n"},
};

}  // namespace

TEST_F(HeldFiles, WithinTheProcessASecondOpenOfAHeldFileIsRefused) {
  for (const HolderMode& holder : kHolderModes) {
    SCOPED_TRACE(holder.what);
    qrn::test::write_file(file, "old\r\n");
    ASSERT_EQ(qrn::open_channel(3, text(file), holder.mode), 1);
    if (holder.mode <= 0) qrn::write_line(3, "held");
    EXPECT_EQ(probe_held(file, spare), "");
    EXPECT_EQ(qrn::test::read_file(file), holder.content_while_held);
    // The holder carries on where it was: nothing it writes is lost.
    if (holder.mode <= 0) qrn::write_line(3, "last");
    qrn::close_channel(3);
    std::string last = holder.mode <= 0 ? "last\r\n" : "";
    EXPECT_EQ(qrn::test::read_file(file), holder.content_while_held + last);
    // Closed, it is free again.
    EXPECT_EQ(qrn::open_channel(4, text(file), 1), 1);
    qrn::close_channel(4);
  }
  EXPECT_NE(qrn::delete_file(text(file)), 0);
  EXPECT_EQ(qrn::file_exists(text(file)), 0);
}

TEST_F(HeldFiles, AFileHeldByAnotherProcessIsRefusedHere) {
  for (const HolderMode& mode : kHolderModes) {
    SCOPED_TRACE(mode.what);
    qrn::test::write_file(file, "old\r\n");
    Holder holder(file, mode.mode);
    ASSERT_TRUE(holder.holds());
    EXPECT_EQ(probe_held(file, spare), "");
    EXPECT_EQ(qrn::test::read_file(file), mode.content_while_held);
    ASSERT_TRUE(holder.finish());
    std::string last = mode.mode <= 0 ? "last\r\n" : "";
    EXPECT_EQ(qrn::test::read_file(file), mode.content_while_held + last);
    EXPECT_EQ(qrn::open_channel(4, text(file), -1), 1);  // free once the holder has ended
    qrn::close_channel(4);
  }
}

TEST_F(HeldFiles, AFileHeldHereIsRefusedInAnotherProcess) {
  for (const HolderMode& mode : kHolderModes) {
    SCOPED_TRACE(mode.what);
    qrn::test::write_file(file, "old\r\n");
    ASSERT_EQ(qrn::open_channel(3, text(file), mode.mode), 1);
    if (mode.mode <= 0) qrn::write_line(3, "held");
    // The refusals print their "error: 3" lines; the faults come between the brackets.
    qrn::test::ChildResult other = qrn::test::run_in_child([&] {
      std::printf("faults[%s]\n", probe_held(file, spare).c_str());
      std::fflush(stdout);
      _exit(0);
    });
    EXPECT_TRUE(other.exited);
    EXPECT_NE(other.out.find("faults[]"), std::string::npos) << other.out;
    if (mode.mode <= 0) qrn::write_line(3, "last");
    qrn::close_channel(3);
    std::string last = mode.mode <= 0 ? "last\r\n" : "";
    EXPECT_EQ(qrn::test::read_file(file), mode.content_while_held + last);
  }
}

TEST_F(HeldFiles, ASettingsWriteOverAHeldFileWaitsWithItsChanges) {
  const std::string old_settings = "[TIME]\r\nAWAKE=0700\r\n";
  const std::string new_settings = "[TIME]\r\nAWAKE=0730\r\n";
  qrn::test::write_file(file, old_settings);
  qrn::ini_open(text(file));
  qrn::ini_put("TIME", "AWAKE", "0730");
  ASSERT_EQ(qrn::open_channel(3, text(file), -1), 1);
  qrn::ini_flush();
  qrn::ini_open(RtString());  // closes the store; the file is not replaced
  qrn::write_line(3, "X=1");  // the channel's line arrives
  EXPECT_EQ(qrn::test::read_file(file), old_settings + "X=1\r\n");
  // Opened again while still held, the store has its changes back and stays changed.
  qrn::ini_open(text(file));
  EXPECT_EQ(str(qrn::ini_get("TIME", "AWAKE", "")), "0730");
  EXPECT_EQ(str(qrn::ini_get("TIME", "X", "none")), "none");
  qrn::ini_open(RtString());
  EXPECT_EQ(qrn::test::read_file(file), old_settings + "X=1\r\n");
  qrn::close_channel(3);
  qrn::ini_flush();  // the next write finds the file free
  EXPECT_EQ(qrn::test::read_file(file), new_settings);
  qrn::ini_open(text(file));  // nothing is written twice
  EXPECT_EQ(str(qrn::ini_get("TIME", "AWAKE", "")), "0730");
  qrn::ini_open(RtString());
  EXPECT_EQ(qrn::test::read_file(file), new_settings);

  // Held by another process: written once that process has let go.
  qrn::test::write_file(file, old_settings);
  {
    Holder holder(file, -1);
    ASSERT_TRUE(holder.holds());
    qrn::ini_open(text(file));
    qrn::ini_put("TIME", "AWAKE", "0745");
    qrn::ini_open(text(spare));  // writing on the way to another file
    EXPECT_EQ(qrn::test::read_file(file), old_settings + "held\r\n");
    ASSERT_TRUE(holder.finish());
  }
  qrn::ini_open(RtString());
  EXPECT_EQ(qrn::test::read_file(file), "[TIME]\r\nAWAKE=0745\r\n");
  EXPECT_EQ(qrn::test::read_file(spare), "spare");  // opened unchanged, not written

  // Still held by one of the program's channels when it exits: the exit writes it.
  qrn::test::write_file(file, old_settings);
  qrn::test::ChildResult exiting = qrn::test::run_in_child([&] {
    qrn::ini_open(text(file));
    qrn::ini_put("TIME", "AWAKE", "0800");
    qrn::open_channel(3, text(file), -1);
    qrn::ini_open(RtString());
    std::exit(0);
  });
  EXPECT_TRUE(exiting.exited);
  EXPECT_EQ(qrn::test::read_file(file), "[TIME]\r\nAWAKE=0800\r\n");
}

TEST_F(HeldFiles, WritingOverAFileEmptiesItInPlace) {
  // The file keeps its permissions and its other names; a link at the name is replaced,
  // not written through; what is not a regular file is refused and stays.
  ASSERT_EQ(chmod(file.c_str(), 0640), 0);
  ASSERT_EQ(link(file.c_str(), dir.file("other-name").c_str()), 0);
  ASSERT_EQ(qrn::open_channel(0, text(file), 0), 1);
  qrn::write_text(0, "new");
  qrn::close_channel(0);
  struct stat info {};
  ASSERT_EQ(stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(qrn::test::read_file(dir.file("other-name")), "new");

  std::string link_name = dir.file("link.txt");
  ASSERT_EQ(symlink(spare.c_str(), link_name.c_str()), 0);
  ASSERT_EQ(qrn::open_channel(0, text(link_name), 0), 1);
  qrn::write_text(0, "own");
  qrn::close_channel(0);
  EXPECT_EQ(qrn::test::read_file(spare), "spare");
  EXPECT_EQ(qrn::test::read_file(link_name), "own");
  ASSERT_EQ(lstat(link_name.c_str(), &info), 0);
  EXPECT_TRUE(S_ISREG(info.st_mode));

  std::string fifo = dir.file("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(qrn::open_channel(0, text(fifo), 0), 0);
  EXPECT_EQ(qrn::g_runtime.error_code, 3);
  ASSERT_EQ(lstat(fifo.c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));

  // A copy from a source that cannot be opened leaves the destination alone.
  qrn::copy_file(text(dir.file("missing")), text(file));
  EXPECT_EQ(qrn::g_runtime.error_code, 3);
  EXPECT_EQ(qrn::test::read_file(file), "new");
}

// A file this user may write but not read is held all the same: an append holds it, and a
// delete from a user who cannot read it is refused.
TEST_F(HeldFiles, AWriteOnlyFileHeldElsewhereIsNotDeleted) {
  ASSERT_EQ(chmod(file.c_str(), 0200), 0);
  if (geteuid() != 0) {
    ASSERT_EQ(qrn::open_channel(3, text(file), -1), 1);
    EXPECT_EQ(qrn::delete_file(text(file)), 0);
    qrn::close_channel(3);
    EXPECT_NE(qrn::delete_file(text(file)), 0);
    return;
  }
  // Root reads everything: the delete comes from another user in a second process.
  ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
  ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
  ASSERT_EQ(qrn::open_channel(3, text(file), -1), 1);
  auto delete_as_nobody = [&] {
    return qrn::test::run_in_child([&] {
      if (setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
      if (!qrn::file_exists(text(file))) _exit(4);  // the temporary folder is closed to others
      _exit(qrn::delete_file(text(file)) ? 1 : 0);
    });
  };
  qrn::test::ChildResult held = delete_as_nobody();
  if (held.exit_code == 4) GTEST_SKIP() << "the temporary folder is closed to other users";
  EXPECT_TRUE(held.exited);
  EXPECT_EQ(held.exit_code, 0);
  EXPECT_EQ(qrn::file_exists(text(file)), 1);
  qrn::close_channel(3);
  qrn::test::ChildResult free_again = delete_as_nobody();
  EXPECT_EQ(free_again.exit_code, 1);
  EXPECT_EQ(qrn::file_exists(text(file)), 0);
}

// The line-file cache writes a changed file back when it moves to another file; a held file
// keeps the lines until it is free, and moving back to it gives them back.
TEST_F(HeldFiles, ALineFileWrittenBackOverAHeldFileKeepsItsLines) {
  std::string third = dir.file("third.txt");
  qrn::test::write_file(third, "3\r\n");
  ASSERT_EQ(qrn::open_channel(3, text(file), -1), 1);
  qrn::write_file_line(text(file), 0, RtString("one"));  // the held file reads as empty
  EXPECT_EQ(str(qrn::read_file_line(text(spare), 0)), "spare");
  EXPECT_EQ(qrn::test::read_file(file), "old\r\n");
  EXPECT_EQ(str(qrn::read_file_line(text(file), 0)), "one");
  EXPECT_EQ(str(qrn::read_file_line(text(third), 0)), "3");
  qrn::close_channel(3);
  EXPECT_EQ(str(qrn::read_file_line(text(spare), 0)), "spare");
  EXPECT_EQ(qrn::test::read_file(file), "one\r\n");

  // Held by another process, then let go.
  {
    Holder holder(file, -1);
    ASSERT_TRUE(holder.holds());
    qrn::write_file_line(text(file), 1, RtString("two"));
    EXPECT_EQ(str(qrn::read_file_line(text(third), 0)), "3");
    EXPECT_EQ(qrn::test::read_file(file), "one\r\nheld\r\n");
    ASSERT_TRUE(holder.finish());
  }
  EXPECT_EQ(str(qrn::read_file_line(text(spare), 0)), "spare");
  EXPECT_EQ(qrn::test::read_file(file), "\r\ntwo\r\n");

  // Still held by one of the program's channels when it exits: the exit writes it.
  qrn::test::ChildResult exiting = qrn::test::run_in_child([&] {
    qrn::open_channel(3, text(file), -1);
    qrn::write_file_line(text(file), 0, RtString("end"));
    qrn::read_file_line(text(spare), 0);
    std::exit(0);
  });
  EXPECT_TRUE(exiting.exited);
  EXPECT_EQ(qrn::test::read_file(file), "end\r\n");
}
