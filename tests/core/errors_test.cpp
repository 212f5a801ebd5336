// Errors and diagnostics: the error state and its texts, the "error: " line, the debug log's
// exclusive appends, the debugger channel, standard streams, and the fatal paths (in a child).
#include <gtest/gtest.h>

#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>

#include "platform/fake_platform.h"
#include "quarnel.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

using qrn::RtString;

namespace {
std::string str(const RtString& t) { return std::string(t.data, t.length); }

class ErrorsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qrn::reset_runtime_state();
    fake->temp_dir = dir.path();
  }
  qrn::FakePlatformScope fake;
  qrn::test::TempDir dir;
};
}  // namespace

TEST_F(ErrorsTest, SetErrorRecordsTheCodeAndLineAndPrintsHex) {
  qrn::g_runtime.source_line = 57;
  EXPECT_EQ(qrn::set_error(3), 3);
  EXPECT_EQ(fake->stdout_text, "error: 3\n");
  EXPECT_EQ(qrn::g_runtime.error_code, 3);
  EXPECT_EQ(qrn::g_runtime.error_line, 57);
  EXPECT_EQ(str(qrn::error_text()), "0003 no such file");

  fake->stdout_text.clear();
  qrn::g_runtime.source_line = 60;
  EXPECT_EQ(qrn::set_error(0), 0);  // leaves the earlier error alone
  EXPECT_EQ(fake->stdout_text, "");
  EXPECT_EQ(qrn::g_runtime.error_code, 3);
  EXPECT_EQ(qrn::g_runtime.error_line, 57);

  qrn::set_error(20);
  qrn::set_error(21);
  qrn::set_error(-1);
  EXPECT_EQ(fake->stdout_text, "error: 14\nerror: 15\nerror: ffffffff\n");
  qrn::clear_error();
  EXPECT_EQ(qrn::g_runtime.error_code, 0);
}

TEST_F(ErrorsTest, ErrorTextsForEveryCode) {
  struct Case {
    int32_t code;
    const char* text;
  } cases[] = {{0, "0000 success"},      {3, "0003 no such file"},   {7, "0007 out of memory"},
               {8, "0008 unknown error"}, {9, "0009 out of bounds"}, {20, "0020 out of data"},
               {21, "0021 unknown error"}, {-1, "-0001 unknown error"}, {12345, "12345 unknown error"}};
  for (const Case& c : cases) {
    qrn::g_runtime.error_code = c.code;
    EXPECT_EQ(str(qrn::error_text()), c.text);
  }
}

TEST_F(ErrorsTest, DebuggerChannelOnlyWhenAttached) {
  qrn::debug_output("silent");
  EXPECT_EQ(fake->debugger_text, "");
  EXPECT_EQ(fake->stdout_text + fake->stderr_text, "");
  fake->debugger = true;
  qrn::debug_output("hello");
  EXPECT_EQ(fake->debugger_text, "TXhello");
}

TEST_F(ErrorsTest, LogAppendsAndSurvivesNullAndEmpty) {
  std::string log = dir.file("ErrorLog.txt");
  EXPECT_EQ(str(qrn::debug_log_path()), log);
  qrn::log_write("");
  EXPECT_EQ(access(log.c_str(), F_OK), 0);  // created, empty
  EXPECT_EQ(qrn::test::read_file(log), "");
  qrn::log_write("one\n");
  qrn::log_write(nullptr);
  qrn::log_write("two");
  EXPECT_EQ(qrn::test::read_file(log), "one\nNULLtwo");
}

TEST_F(ErrorsTest, LogPathNormalisesTheTemporaryFolder) {
  fake->temp_dir = "C:\\Temp";
  EXPECT_EQ(str(qrn::debug_log_path()), "C:/Temp/ErrorLog.txt");
}

TEST_F(ErrorsTest, StandardStreams) {
  qrn::print_stdout("out");
  qrn::print_stderr("err");
  // Texts are written as C text, up to a 0 byte inside them.
  qrn::print_stdout(qrn::text_from_bytes("|cut\0lost", 9));
  qrn::print_stderr(qrn::text_from_bytes("\0lost", 5));
  EXPECT_EQ(fake->stdout_text, "out|cut");
  EXPECT_EQ(fake->stderr_text, "err");
  fake->stdin_lines = {"abc\r\n", "last"};
  EXPECT_EQ(str(qrn::read_stdin_line()), "abc\r");
  EXPECT_EQ(str(qrn::read_stdin_line()), "last");
  EXPECT_EQ(str(qrn::read_stdin_line()), "");
  fake->stdin_lines = {std::string(5000, 'x') + "\n"};
  EXPECT_EQ(qrn::read_stdin_line().length, 4095u);
}

TEST(ErrorsReal, LogWriteGivesUpWhileAnotherWriterHoldsTheFile) {
  qrn::test::TempDir dir;
  setenv("TMPDIR", dir.path().c_str(), 1);
  std::string log = dir.file("ErrorLog.txt");
  qrn::log_write("first\n");
  int fd = open(log.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_EX), 0);
  qrn::log_write("blocked\n");  // five failed attempts: nothing written, nothing reported
  flock(fd, LOCK_UN);
  close(fd);
  qrn::log_write("after\n");
  EXPECT_EQ(qrn::test::read_file(log), "first\nafter\n");
  unsetenv("TMPDIR");
}

TEST(ErrorsReal, LogIsCompleteWhenTheProcessDies) {
  qrn::test::TempDir dir;
  auto result = qrn::test::run_in_child([&] {
    setenv("TMPDIR", dir.path().c_str(), 1);
    qrn::log_write("before crash\n");
    abort();
  });
  EXPECT_FALSE(result.exited);
  EXPECT_EQ(qrn::test::read_file(dir.file("ErrorLog.txt")), "before crash\n");
}

TEST(FatalPaths, EndTheProcessWithStatusZeroAndTheErrorLine) {
  auto fatal = qrn::test::run_in_child([] { qrn::fatal_error(9); });
  EXPECT_TRUE(fatal.exited);
  EXPECT_EQ(fatal.exit_code, 0);
  EXPECT_EQ(fatal.out, "error: 9\nexit\n");

  auto assertion = qrn::test::run_in_child([] {
    qrn::assert_value(1);
    qrn::assert_value(0);
  });
  EXPECT_EQ(assertion.exit_code, 0);
  EXPECT_EQ(assertion.out, "error: 15\nexit\n");

  auto ended = qrn::test::run_in_child([] { qrn::end_command(); });
  EXPECT_EQ(ended.exit_code, 0);
  EXPECT_EQ(ended.out, "exit\n");
}

TEST(FatalPaths, DebugModeWritesTheEndRecord) {
  qrn::test::TempDir dir;
  auto result = qrn::test::run_in_child([&] {
    setenv("TMPDIR", dir.path().c_str(), 1);
    qrn::g_runtime.debug_mode = 1;
    qrn::g_runtime.source_line = 57;
    qrn::g_runtime.source_module = 2;
    qrn::fatal_error(9);
  });
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(qrn::test::read_file(dir.file("ErrorLog.txt")), "-End On Line\n9\n56\n57\n2\n");
}
