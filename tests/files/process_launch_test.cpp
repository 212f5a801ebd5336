// Process launch: command lines split the way Windows splits them and started without a
// shell, waiting and exit statuses, what a started program inherits, the window around a
// start, handing over to another program, and opening documents with xdg-open.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "files/process_launch_internal.h"
#include "gfx/device.h"
#include "platform/fake_platform.h"
#include "platform/process.h"
#include "platform/video.h"
#include "quarnel.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

using qrn::RtString;
using Args = std::vector<std::string>;

namespace {

class ProcessLaunchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qrn::reset_runtime_state();
    fake->temp_dir = dir.path();
    setenv("QRN_PROBE_OUT", dir.file("args").c_str(), 1);
  }
  void TearDown() override {
    qrn::reset_runtime_state();
    for (const char* name : {"QRN_PROBE_OUT", "QRN_PROBE_INFO", "QRN_PROBE_EXIT", "QRN_PROBE_SIGNAL", "QRN_PROBE_SLEEP_MS"}) {
      unsetenv(name);
    }
  }
  // The arguments the probe program received, once it has written them (up to 5 s).
  Args probe_args() const {
    std::string bytes;
    for (int i = 0; i < 500 && (bytes = qrn::test::read_file(dir.file("args"))).empty(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Args args;
    for (size_t start = 0, end; (end = bytes.find('\0', start)) != std::string::npos; start = end + 1) {
      args.push_back(bytes.substr(start, end - start));
    }
    return args;
  }
  // A directory on PATH whose xdg-open is the probe program.
  std::string stand_in_path() const {
    std::string bin = dir.file("bin");
    mkdir(bin.c_str(), 0755);
    symlink(QRN_PROBE_PROGRAM, (bin + "/xdg-open").c_str());
    return bin;
  }
  static RtString probe(const std::string& rest) { return RtString(("\"" QRN_PROBE_PROGRAM "\" " + rest).c_str()); }
  static bool has_children() { return waitpid(-1, nullptr, WNOHANG) != -1 || errno != ECHILD; }

  qrn::test::TempDir dir;
  qrn::FakePlatformScope fake;
};

TEST(CommandLineTest, ProgramNamesAndBlanks) {
  EXPECT_EQ(qrn::split_command_line("  \t "), Args{});
  EXPECT_EQ(qrn::split_command_line(nullptr), Args{});
  EXPECT_EQ(qrn::split_command_line("\t prog  a\t\tb "), (Args{"prog", "a", "b"}));
  // The program's quotes group and its backslashes are plain.
  EXPECT_EQ(qrn::split_command_line("\"/my games/x\"y\\ \"z\""), (Args{"/my games/xy\\", "z"}));
  EXPECT_EQ(qrn::split_command_line("\"\" arg"), (Args{"", "arg"}));
}

TEST_F(ProcessLaunchTest, ArgumentsArriveExactlyAndNothingElseRuns) {
  RtString line = probe(R"("a b" c\"d "e\\" f""g "h""i" \\\\x "" tab	end)");
  double code = -1;
  ASSERT_EQ(qrn::run_program(line, 1, 0, code), 1);
  EXPECT_EQ(probe_args(), (Args{"a b", "c\"d", "e\\", "fg", "h\"i", "\\\\\\\\x", "", "tab", "end"}));

  // Shell syntax is text: one program starts, and it gets the characters as arguments.
  std::string m = dir.path();
  line = probe("a;touch " + m + "1 | touch " + m + "2 $(touch " + m + "3) `touch " + m + "4` && touch " + m + "5");
  ASSERT_EQ(qrn::run_program(line, 1, 1, code), 1);
  Args args = probe_args();
  ASSERT_EQ(args.size(), 12u);
  EXPECT_EQ(args[0], "a;touch");
  EXPECT_EQ(args[5], "$(touch");
  for (char n = '1'; n <= '5'; ++n) EXPECT_EQ(access((m + n).c_str(), F_OK), -1) << n;
}

TEST_F(ProcessLaunchTest, WaitingGivesTheExitStatus) {
  RtString missing = "/nonexistent/program arg";
  double code = 5;
  EXPECT_EQ(qrn::run_program(missing, 1, 1, code), 0);
  EXPECT_EQ(code, 0.0);
  EXPECT_EQ(qrn::g_runtime.error_code, 0);
  RtString blank = "   ";
  EXPECT_EQ(qrn::run_program(blank, 1, 1, code), 0);

  setenv("QRN_PROBE_EXIT", "7", 1);
  RtString line = probe("x");
  EXPECT_EQ(qrn::run_program(line, 1, 1, code), 1);
  EXPECT_EQ(code, 7.0);
  EXPECT_GE(line.capacity, 1024u);
  EXPECT_EQ(line.length, std::strlen(line.data));

  setenv("QRN_PROBE_SIGNAL", "9", 1);
  EXPECT_EQ(qrn::run_program(line, 1, 1, code), 1);
  EXPECT_EQ(code, 128.0 + 9);
  EXPECT_FALSE(has_children());
}

TEST_F(ProcessLaunchTest, WaitsWithATimeLimitAnswerWhetherTheProgramHasEnded) {
  setenv("QRN_PROBE_SLEEP_MS", "300", 1);
  setenv("QRN_PROBE_EXIT", "4", 1);
  int32_t id = qrn::os_process().start_program({QRN_PROBE_PROGRAM});
  ASSERT_GT(id, 0);
  int32_t code = -1;
  EXPECT_FALSE(qrn::os_process().wait_program(id, 0, code));
  EXPECT_FALSE(qrn::os_process().wait_program(id, 50, code));
  EXPECT_EQ(code, -1);
  EXPECT_TRUE(qrn::os_process().wait_program(id, 5000, code));
  EXPECT_EQ(code, 4);
  EXPECT_FALSE(qrn::os_process().wait_program(id, 0, code));  // released once it has ended
}

TEST_F(ProcessLaunchTest, WithoutWaitingItReturnsAtOnceAndLeavesNoChild) {
  setenv("QRN_PROBE_SLEEP_MS", "1500", 1);
  setenv("QRN_PROBE_EXIT", "3", 1);
  RtString line = probe("late");
  double code = 9;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(qrn::run_program(line, 0, 1, code), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
  EXPECT_EQ(code, 0.0);
  EXPECT_FALSE(has_children());
  EXPECT_EQ(probe_args(), Args{"late"});
}

TEST_F(ProcessLaunchTest, StartedProgramsGetOnlyTheStandardStreamsAndDefaultSignals) {
  setenv("QRN_PROBE_INFO", dir.file("info").c_str(), 1);
  int leaked = open("/dev/null", O_RDONLY);  // no close-on-exec
  sighandler_t previous = signal(SIGPIPE, SIG_IGN);
  RtString line = probe("");
  double code = 0;
  EXPECT_EQ(qrn::run_program(line, 1, 0, code), 1);
  signal(SIGPIPE, previous);
  close(leaked);
  EXPECT_EQ(qrn::test::read_file(dir.file("info")), "fds 0 1 2 sigpipe default");
}

// One argument may hold 32 pages less one byte; one byte more and nothing starts.
TEST_F(ProcessLaunchTest, LongestArgument) {
  size_t limit = static_cast<size_t>(sysconf(_SC_PAGESIZE)) * 32 - 1;
  RtString line = probe(std::string(limit, 'x'));
  double code = 1;
  EXPECT_EQ(qrn::run_program(line, 1, 1, code), 1);
  EXPECT_EQ(probe_args().at(0).size(), limit);
  line = probe(std::string(limit + 1, 'x'));
  EXPECT_EQ(qrn::run_program(line, 1, 1, code), 0);
}

// A full-screen window becomes a normal one before the start; the main window gets the
// focus back afterwards, whether the start worked or not.
TEST_F(ProcessLaunchTest, WindowModeBeforeAndFocusAfter) {
  static std::vector<std::string>* events = nullptr;
  events = &fake->events;
  qrn::g_runtime.window_handle = fake->create_window(qrn::WindowRequest{});
  qrn::g_runtime.hooks.window_mode = [] { events->push_back("window mode"); };
  RtString line = "/nonexistent/program";
  double code = 0;
  fake->events.clear();
  qrn::run_program(line, 1, 1, code);
  EXPECT_EQ(fake->events, Args{"raise"});  // no device: nothing to switch

  qrn::g_runtime.device = new qrn::OpenGLZodidoze();
  fake->events.clear();
  qrn::run_program(line, 1, 1, code);
  EXPECT_EQ(fake->events, (Args{"window mode", "raise"}));
}

TEST_F(ProcessLaunchTest, HandingOverShutsDownStartsAndEnds) {
  static qrn::FakePlatform* platform = nullptr;
  static size_t started_at_shutdown = 99;
  platform = &*fake;
  qrn::g_runtime.hooks.shutdown = [] { started_at_shutdown = platform->started.size(); };
  try {
    qrn::run_program_and_end(probe("next"));
    FAIL() << "run_program_and_end returned";
  } catch (const qrn::FakeProcessExit& exit) {
    EXPECT_EQ(exit.code, 0);
  }
  EXPECT_EQ(started_at_shutdown, 0u);
  EXPECT_EQ(probe_args(), Args{"next"});
}

TEST_F(ProcessLaunchTest, OpeningADocumentWhileEscapeQuitsEndsTheProgramWhateverXdgOpenDoes) {
  setenv("QRN_PROBE_EXIT", "1", 1);
  std::string with_stand_in = stand_in_path(), empty = dir.file("empty");
  mkdir(empty.c_str(), 0755);
  for (const std::string& path : {with_stand_in, empty}) {
    qrn::test::ChildResult child = qrn::test::run_in_child([&] {
      qrn::install_service<qrn::ProcessService>(nullptr);
      setenv("PATH", path.c_str(), 1);
      qrn::open_document("report.pdf");
      std::exit(5);  // not reached: the program has ended
    });
    EXPECT_TRUE(child.exited) << path;
    EXPECT_EQ(child.exit_code, 0) << path;
    EXPECT_EQ(child.out, "exit\n") << path;
  }
  EXPECT_EQ(probe_args(), Args{"report.pdf"});
}

TEST_F(ProcessLaunchTest, OpeningADocumentOtherwiseReturnsAtOnce) {
  qrn::set_escape_quits(0);
  setenv("QRN_PROBE_SLEEP_MS", "3000", 1);  // xdg-open may stay for as long as it likes
  std::string saved_path = getenv("PATH");
  setenv("PATH", stand_in_path().c_str(), 1);
  const char* target = "https://example.org/a b?x=1&y=$(touch x);z";
  auto start = std::chrono::steady_clock::now();
  qrn::open_document(target);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
  EXPECT_FALSE(has_children());
  EXPECT_EQ(probe_args(), Args{target});

  setenv("PATH", dir.path().c_str(), 1);  // no xdg-open at all: nothing happens
  qrn::open_document(target);
  setenv("PATH", saved_path.c_str(), 1);
  EXPECT_EQ(fake->stdout_text, "");
}

}  // namespace
