// Settings files: the reading rules (a table of file contents and the bytes the store
// writes back), changes and the dirty flag, the clock's round trip, the exit step, and the
// old file surviving a writer that is killed or fails part way.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/files.h"
#include "quarnel.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

using qrn::RtString;

namespace {

std::string str(const RtString& t) { return std::string(t.data, t.length); }

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qrn::reset_runtime_state();
    qrn::ini_open(RtString());
  }
  void TearDown() override { qrn::ini_open(RtString()); }

  // Opens a file of these bytes, forces a write-back without changing the store, and
  // returns what was written: the store as the file format sees it.
  std::string reread(const std::string& content) {
    std::string path = dir.file("in.ini");
    qrn::test::write_file(path, content);
    qrn::ini_open(RtString(path.c_str()));
    qrn::ini_put("zz-probe", "k", "v");  // a change, taken back again
    qrn::ini_put("zz-probe", "", "");
    qrn::ini_open(RtString());
    return qrn::test::read_file(path);
  }

  qrn::test::TempDir dir;
};

}  // namespace

TEST_F(SettingsTest, ReadingRules) {
  const std::string long_value(5000, 'L');
  struct Case {
    const char* what;
    std::string content;
    std::string written;
  } cases[] = {
      {"plain", "[TIME]\r\nAWAKE=0730\r\n", "[TIME]\r\nAWAKE=0730\r\n"},
      {"blanks around =", "[TIME]\r\nAWAKE = 0730\r\n", "[TIME]\r\nAWAKE=0730\r\n"},
      {"no equals sign", "[TIME]\r\nAWAKE 0730\r\n", ""},
      {"nothing after =", "[TIME]\r\nAWAKE=\r\n", ""},
      {"key alone", "[TIME]\r\nAWAKE   \r\nX", ""},
      {"trailing blanks stay", "[TIME]\nAWAKE=0730  \n", "[TIME]\r\nAWAKE=0730  \r\n"},
      {"trailing tab goes", "[TIME]\nAWAKE=0730\t\n", "[TIME]\r\nAWAKE=0730\r\n"},
      {"blanks inside the brackets", "[ TIME ]\nA=1", "[TIME]\r\nA=1\r\n"},
      {"name ends at a blank", "[My Section]\nA=1", "[My]\r\nA=1\r\n"},
      {"no closing bracket", "[TIME\nA=1", "[TIME]\r\nA=1\r\n"},
      {"comments", "  ; AWAKE=1\n[T]\n\t;x=1\nA=1", "[T]\r\nA=1\r\n"},
      {"hash is a key", "#AWAKE=1", "[]\r\n#AWAKE=1\r\n"},
      {"empty key", "=v\n", "[]\r\n=v\r\n"},
      {"header right after a header", "[A]\n[B]\nx=1\n", "[B]\r\nx=1\r\n"},
      {"empty header keeps the name", "[A]\nk=1\n[]\nj=2", "[A]\r\nk=1\r\n[A]\r\nj=2\r\n"},
      {"indented entry, blank kept at the end", "\t  k\t=\t v \r\n", "[]\r\nk=v \r\n"},
      {"lines longer than 1024 bytes", "[S]\nk=" + long_value + "\r\nz=1", "[S]\r\nk=" + long_value + "\r\nz=1\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(reread(c.content), c.written);
  }
}

TEST_F(SettingsTest, LookupsIgnoreCaseAndTheFirstMatchWins) {
  std::string path = dir.file("s.ini");
  qrn::test::write_file(path, "[TIME]\r\nAWAKE=0730\r\nawake=0800\r\n[time]\r\nOTHER=1\r\n");
  qrn::ini_open(RtString(path.c_str()));
  EXPECT_EQ(str(qrn::ini_get("time", "Awake", "0700")), "0730");
  EXPECT_EQ(str(qrn::ini_get("TIME", "OTHER", "none")), "none");  // hidden in the second copy
  EXPECT_EQ(str(qrn::ini_get("DATE", "AWAKE", "0700")), "0700");
  qrn::ini_open(RtString());
  EXPECT_EQ(str(qrn::ini_get("TIME", "AWAKE", "closed")), "closed");
}

TEST_F(SettingsTest, ChangesMarkTheStoreOnlyWhenSomethingChanged) {
  const std::string original = "[A]\r\na=1\r\nb=2\r\nc=3\r\n[B]\r\nx=1\r\n[C]\r\ny=1\r\n";
  struct Case {
    const char* what;
    std::vector<std::vector<const char*>> puts;  // section, key, value
    std::string written;                          // the file afterwards
  } cases[] = {
      {"new value", {{"a", "B", "9"}}, "[A]\r\na=1\r\nb=9\r\nc=3\r\n[B]\r\nx=1\r\n[C]\r\ny=1\r\n"},
      {"empty value removes, the last entry takes its place", {{"A", "a", ""}},
       "[A]\r\nc=3\r\nb=2\r\n[B]\r\nx=1\r\n[C]\r\ny=1\r\n"},
      {"empty key removes the section", {{"a", "", ""}}, "[C]\r\ny=1\r\n[B]\r\nx=1\r\n"},
      {"removing what is not there changes nothing", {{"A", "zz", ""}, {"Q", "", ""}, {"Q", "k", ""}}, original},
      {"a new section, and an empty one beside it", {{"Q", "k", ""}, {"N", "k", "v"}},
       original + "[Q]\r\n[N]\r\nk=v\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string path = dir.file("c.ini");
    qrn::test::write_file(path, original);
    qrn::ini_open(RtString(path.c_str()));
    for (const auto& put : c.puts) qrn::ini_put(put[0], put[1], put[2]);
    qrn::ini_open(RtString());
    EXPECT_EQ(qrn::test::read_file(path), c.written);
  }

  // A closed store keeps changes in memory only; opening another file drops them.
  qrn::ini_put("TIME", "AWAKE", "0900");
  EXPECT_EQ(str(qrn::ini_get("TIME", "AWAKE", "")), "0900");
  qrn::ini_open(RtString(dir.file("c.ini").c_str()));
  EXPECT_EQ(str(qrn::ini_get("TIME", "AWAKE", "gone")), "gone");
}

TEST_F(SettingsTest, TheClocksWakeTimeRoundTripsByteExactly) {
  char previous[4096];
  ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  qrn::test::write_file(dir.file("ORVL.INI"), "[TIME]\r\nAWAKE=0700\r\n");
  chmod(dir.file("ORVL.INI").c_str(), 0600);
  qrn::ini_open("ORVL.INI");
  EXPECT_EQ(str(qrn::ini_get("TIME", "AWAKE", "0700")), "0700");
  qrn::ini_put("TIME", "AWAKE", "0730");
  qrn::ini_open("");
  EXPECT_EQ(qrn::test::read_file(dir.file("ORVL.INI")), "[TIME]\r\nAWAKE=0730\r\n");
  EXPECT_EQ(str(qrn::ini_get("TIME", "AWAKE", "closed")), "closed");
  struct stat info {};
  ASSERT_EQ(stat(dir.file("ORVL.INI").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);  // the replaced file keeps its permissions

  // Without a file the first change creates it; a directory of the name gives way.
  std::remove(dir.file("ORVL.INI").c_str());
  mkdir(dir.file("ORVL.INI").c_str(), 0755);
  qrn::ini_open("ORVL.INI");
  qrn::ini_put("TIME", "AWAKE", "0615");
  qrn::ini_open("");
  EXPECT_EQ(qrn::test::read_file(dir.file("ORVL.INI")), "[TIME]\r\nAWAKE=0615\r\n");
  std::vector<qrn::DirectoryEntry> entries;
  qrn::os_files().read_directory(dir.path().c_str(), entries);
  EXPECT_EQ(entries.size(), 3u);  // ".", ".." and ORVL.INI: no temporary file left
  ASSERT_EQ(chdir(previous), 0);

  // A memory file is read but never written.
  const char block[] = "[TIME]\r\nAWAKE=0500\r\n";
  qrn::ini_open(qrn::memory_file_name(block, sizeof block - 1));
  EXPECT_EQ(str(qrn::ini_get("time", "awake", "")), "0500");
  qrn::ini_put("TIME", "AWAKE", "0600");
  qrn::ini_open("");
  EXPECT_EQ(std::string(block), "[TIME]\r\nAWAKE=0500\r\n");
}

TEST_F(SettingsTest, TheExitStepWritesAChangedStore) {
  std::string path = dir.file("exit.ini");
  qrn::test::write_file(path, "[TIME]\r\nAWAKE=0700\r\n");
  qrn::test::ChildResult result = qrn::test::run_in_child([&] {
    qrn::ini_open(RtString(path.c_str()));
    qrn::ini_put("TIME", "AWAKE", "0645");
    std::exit(0);
  });
  EXPECT_TRUE(result.exited) << result.out << result.err;
  EXPECT_EQ(result.exit_code, 0) << result.out << result.err;
  EXPECT_EQ(qrn::test::read_file(path), "[TIME]\r\nAWAKE=0645\r\n");
}

// A writer that dies or fails part way leaves the old file exactly as it was.
TEST_F(SettingsTest, TheOldFileSurvivesAWriterThatDiesOrFails) {
  const std::string old_bytes = "[TIME]\r\nAWAKE=0700\r\n";
  // Changes the store a lot, then writes it with files limited to 64 bytes.
  auto large_change = [](const std::string& path) {
    rlimit no_core{0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    qrn::ini_open(RtString(path.c_str()));
    for (int i = 0; i < 200; ++i) qrn::ini_put("MORE", ("key" + std::to_string(i)).c_str(), "some value");
    rlimit small{64, 64};
    setrlimit(RLIMIT_FSIZE, &small);
    qrn::ini_open(RtString());
  };

  // Killed by the system in the middle of writing.
  std::string killed_path = dir.file("killed.ini");
  qrn::test::write_file(killed_path, old_bytes);
  qrn::test::ChildResult killed = qrn::test::run_in_child([&] { large_change(killed_path); });
  EXPECT_EQ(killed.signal, SIGXFSZ);
  EXPECT_EQ(qrn::test::read_file(killed_path), old_bytes);

  // The write fails and the writer carries on: nothing changes, nothing is left behind.
  qrn::test::TempDir quiet;
  std::string failed_path = quiet.file("failed.ini");
  qrn::test::write_file(failed_path, old_bytes);
  qrn::test::ChildResult failed = qrn::test::run_in_child([&] {
    signal(SIGXFSZ, SIG_IGN);
    large_change(failed_path);
    _exit(0);
  });
  EXPECT_TRUE(failed.exited);
  EXPECT_EQ(qrn::test::read_file(failed_path), old_bytes);
  std::vector<qrn::DirectoryEntry> entries;
  qrn::os_files().read_directory(quiet.path().c_str(), entries);
  EXPECT_EQ(entries.size(), 3u);
}

// The writer's temporary file is made a pipe, so the test can stop the writer at a known
// point in the middle of writing and kill it there.
TEST_F(SettingsTest, AWriterKilledWhileWritingLeavesTheOldFile) {
  std::string path = dir.file("race.ini");
  const std::string old_bytes = "[TIME]\r\nAWAKE=0700\r\n";
  qrn::test::write_file(path, old_bytes);
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = fork();
  if (child == 0) {
    close(ready[0]);
    std::string temp = path + "." + std::to_string(getpid()) + ".tmp";
    if (mkfifo(temp.c_str(), 0600) != 0 || write(ready[1], "r", 1) != 1) _exit(1);
    qrn::ini_open(RtString(path.c_str()));
    std::string value(10000, 'v');  // 200 KB: more than a pipe holds
    for (int i = 0; i < 20; ++i) qrn::ini_put("MORE", ("key" + std::to_string(i)).c_str(), value.c_str());
    qrn::ini_flush();  // blocks in its write once the pipe is full
    _exit(2);
  }
  close(ready[1]);
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  close(ready[0]);
  std::string temp = path + "." + std::to_string(child) + ".tmp";
  int fifo = open(temp.c_str(), O_RDONLY);
  ASSERT_GE(fifo, 0);
  char head[64] = {};
  ASSERT_EQ(read(fifo, head, 12), 12);  // the writer is under way
  EXPECT_EQ(std::string(head, 12), "[TIME]\r\nAWAK");
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  close(fifo);
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(qrn::test::read_file(path), old_bytes);
}

TEST_F(SettingsTest, FilesUpToTheSizeLimitAreReadAndLargerOnesAreLeftAlone) {
  const size_t limit = static_cast<size_t>(qrn::MAX_SETTINGS_FILE_BYTES);
  // One section whose one value fills the file to the limit: a single line of nearly 1 MiB.
  const std::string head = "[BIG]\r\nK=";
  const std::string tail = "\r\n";
  const std::string at_limit = head + std::string(limit - head.size() - tail.size(), 'v') + tail;
  ASSERT_EQ(at_limit.size(), limit);
  std::string path = dir.file("big.ini");
  qrn::test::write_file(path, at_limit);
  qrn::ini_open(RtString(path.c_str()));
  EXPECT_EQ(qrn::ini_get("BIG", "K", "").length, limit - head.size() - tail.size());
  qrn::ini_put("BIG", "NEW", "1");
  qrn::ini_open(RtString());
  EXPECT_EQ(qrn::test::read_file(path).size(), limit + 7);  // written back with "NEW=1\r\n"

  // One byte more: the store opens closed, and changes never reach the file.
  const std::string one_past = at_limit + ";";
  qrn::test::write_file(path, one_past);
  qrn::ini_open(RtString(path.c_str()));
  EXPECT_EQ(str(qrn::ini_get("BIG", "K", "default")), "default");
  qrn::ini_put("BIG", "K", "short");
  qrn::ini_open(RtString());
  EXPECT_EQ(qrn::test::read_file(path), one_past);
}
