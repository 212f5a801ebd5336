// The runtime on a real display: a program that starts the runtime and loops on show_screen
// runs as a child process (this test program itself, started with QRN_HOST_PROGRAM set), and
// the tests look at its window, move the focus, press keys and close it as a user would.
#include <GL/gl.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "gfx/gl_state.h"
#include "platform/process.h"
#include "platform/video.h"
#include "quarnel.h"
#include "support/child_process.h"
#include "support/close_request.h"
#include "support/temp_dir.h"

extern char** environ;

namespace qrn::test {
namespace {

// ---- The program under test ------------------------------------------------------------

void on_pause() { print_stdout("paused\n"); }
void on_resume() { print_stdout("resumed\n"); }
const NamedCallback kProgramCallbacks[] = {
    {on_pause, "QRN_ON_PAUSE"}, {on_resume, "QRN_ON_RESUME"}, {nullptr, nullptr}};

void print_rect(const char* name, const ScreenRect& r) {
  char line[96];
  std::snprintf(line, sizeof line, "%s %d %d %d %d\n", name, r.x, r.y, r.width, r.height);
  print_stdout(line);
}

int run_host_program(const std::string& mode) {
  install_callbacks(kProgramCallbacks);
  RuntimeState& rt = g_runtime;
  rt.screen_width = 200;
  rt.screen_height = 200;
  rt.frame_rate = 60;
  start_runtime(os_process().program_module(), 10, "Host Test");
  print_stdout("started\n");
  if (mode == "screen-size") {
    set_screen_size(200, 200, 1);
    print_rect("client", os_video().window_client_rect(rt.window_handle));
    print_rect("outer", os_video().window_outer_rect(rt.window_handle));
    print_rect("work", os_video().display_usable_bounds());
  }
  for (int frame = 1;; ++frame) {
    show_screen();
    if (frame % 60 == 0) print_stdout("tick\n");
  }
}

// ---- Driving it ------------------------------------------------------------------------

double now_ms() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

std::string run_command(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
    pclose(pipe);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

class HostProgram {
 public:
  explicit HostProgram(const std::string& mode) {
    std::string self = run_command("readlink -f /proc/" + std::to_string(getpid()) + "/exe");
    std::vector<std::string> env_text = {"QRN_HOST_PROGRAM=" + mode, "TMPDIR=" + dir_.path(),
                                         "QUARNEL_UNATTENDED=1", "SDL_AUDIODRIVER=dummy"};
    for (char** e = environ; *e; ++e) {
      std::string entry = *e;
      if (entry.rfind("QRN_HOST_PROGRAM=", 0) && entry.rfind("TMPDIR=", 0)) env_text.push_back(entry);
    }
    std::vector<char*> env;
    for (std::string& entry : env_text) env.push_back(&entry[0]);
    env.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out_path().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, dir_.file("stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    char* argv[] = {&self[0], nullptr};
    if (posix_spawn(&pid_, self.c_str(), &actions, nullptr, argv, env.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~HostProgram() {
    if (pid_ > 0 && !ended_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  std::string out() const { return read_file(out_path()); }
  std::string err() const { return read_file(dir_.file("stderr.txt")); }
  std::string log() const { return read_file(dir_.file("ErrorLog.txt")); }

  // Waits until standard output holds text count times (or more).
  bool wait_for_output(const std::string& text, int count = 1, double timeout_ms = 15000) const {
    double deadline = now_ms() + timeout_ms;
    while (now_ms() < deadline) {
      std::string o = out();
      int found = 0;
      for (size_t at = o.find(text); at != std::string::npos; at = o.find(text, at + 1)) ++found;
      if (found >= count) return true;
      usleep(20000);
    }
    return false;
  }

  // Waits for the process to end; false when it is still running after timeout_ms.
  bool wait_exit(int& status, double timeout_ms = 10000) {
    double deadline = now_ms() + timeout_ms;
    while (now_ms() < deadline) {
      int raw = 0;
      if (waitpid(pid_, &raw, WNOHANG) == pid_) {
        ended_ = true;
        status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        return true;
      }
      usleep(20000);
    }
    return false;
  }

  // The X window of the program (its title starts with "Host Test").
  std::string window_id() const {
    return run_command("timeout 10 xdotool search --sync --all --pid " + std::to_string(pid_) +
                       " --name '^Host Test' 2>/dev/null | head -n 1");
  }

 private:
  std::string out_path() const { return dir_.file("stdout.txt"); }
  TempDir dir_;
  pid_t pid_ = -1;
  bool ended_ = false;
};

bool wait_until(const std::function<bool()>& condition, double timeout_ms = 10000) {
  double deadline = now_ms() + timeout_ms;
  while (now_ms() < deadline) {
    if (condition()) return true;
    usleep(20000);
  }
  return condition();
}

std::string window_name(const std::string& id) { return run_command("xdotool getwindowname " + id + " 2>/dev/null"); }

// A second window to take the focus away.
class OtherWindow {
 public:
  OtherWindow() {
    char* argv[] = {const_cast<char*>("xmessage"), const_cast<char*>("-geometry"), const_cast<char*>("+0+0"),
                    const_cast<char*>("-name"), const_cast<char*>("qrn-other"), const_cast<char*>("other window"),
                    nullptr};
    if (posix_spawnp(&pid_, "xmessage", nullptr, nullptr, argv, environ) != 0) pid_ = -1;
    id_ = run_command("timeout 10 xdotool search --sync --classname qrn-other 2>/dev/null | head -n 1");
  }
  ~OtherWindow() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  const std::string& id() const { return id_; }

 private:
  pid_t pid_ = -1;
  std::string id_;
};

void focus(const std::string& id) { run_command("xdotool windowfocus --sync " + id + " 2>/dev/null"); }

TEST(HostWindow, OpensAWindowOfTheProjectSizeWithTheTitleAndEndsOnACloseRequest) {
  HostProgram program("loop");
  ASSERT_TRUE(program.wait_for_output("started\n")) << program.err();
  std::string id = program.window_id();
  ASSERT_FALSE(id.empty());
  EXPECT_EQ(window_name(id), "Host Test");
  std::string geometry = run_command("xdotool getwindowgeometry " + id);
  EXPECT_NE(geometry.find("Geometry: 200x200"), std::string::npos) << geometry;
  ASSERT_TRUE(program.wait_for_output("tick\n"));  // frames are being shown

  ASSERT_TRUE(send_close_request(id));
  int status = -1;
  ASSERT_TRUE(program.wait_exit(status));
  EXPECT_EQ(status, 0);
  EXPECT_NE(program.out().find("exit\n"), std::string::npos);
  std::string log = program.log();
  EXPECT_EQ(log.rfind("Start new log...\n", 0), 0u);
  EXPECT_NE(log.find("Init Finalized\n"), std::string::npos);
  EXPECT_NE(log.find("qrn is shut down\n"), std::string::npos);
}

TEST(HostWindow, FullScreenWithoutTheModeLeavesACentredWindow) {
  HostProgram program("screen-size");
  ASSERT_TRUE(program.wait_for_output("work ")) << program.err();
  ASSERT_TRUE(program.wait_for_output("\n", 4));
  int cx = 0, cy = 0, cw = 0, ch = 0, ox = 0, oy = 0, ow = 0, oh = 0, wx = 0, wy = 0, ww = 0, wh = 0;
  std::string out = program.out();
  ASSERT_EQ(std::sscanf(out.substr(out.find("client ")).c_str(), "client %d %d %d %d", &cx, &cy, &cw, &ch), 4);
  ASSERT_EQ(std::sscanf(out.substr(out.find("outer ")).c_str(), "outer %d %d %d %d", &ox, &oy, &ow, &oh), 4);
  ASSERT_EQ(std::sscanf(out.substr(out.find("work ")).c_str(), "work %d %d %d %d", &wx, &wy, &ww, &wh), 4);
  EXPECT_EQ(cw, 200);
  EXPECT_EQ(ch, 200);
  EXPECT_NEAR(ox + ow / 2.0, wx + ww / 2.0, 1.0);
  EXPECT_NEAR(oy + oh / 2.0, wy + wh / 2.0, 1.0);
  EXPECT_NE(program.log().find("No Fullscreen Mode available\n"), std::string::npos);
  std::string id = program.window_id();
  EXPECT_NE(run_command("xdotool getwindowgeometry " + id).find("Geometry: 200x200"), std::string::npos);
}

TEST(HostWindow, LosingTheFocusPausesAndRegainingItResumes) {
  HostProgram program("loop");
  ASSERT_TRUE(program.wait_for_output("started\n")) << program.err();
  std::string id = program.window_id();
  ASSERT_FALSE(id.empty());
  focus(id);
  OtherWindow other;
  ASSERT_FALSE(other.id().empty()) << "xmessage did not start";

  focus(other.id());
  ASSERT_TRUE(program.wait_for_output("paused\n"));
  EXPECT_TRUE(wait_until([&] { return window_name(id) == "Host Test <pause>"; }));
  std::string ticks_before = program.out();
  usleep(1500000);
  EXPECT_EQ(program.out(), ticks_before);  // no frames while paused

  focus(id);
  ASSERT_TRUE(program.wait_for_output("resumed\n"));
  EXPECT_TRUE(wait_until([&] { return window_name(id) == "Host Test"; }));
  EXPECT_TRUE(program.wait_for_output("tick\n", 2));  // frames again
  std::string log = program.log();
  EXPECT_NE(log.find("pause loop in showscreen/hibernate\n"), std::string::npos);
  EXPECT_NE(log.find("pause loop ended\n"), std::string::npos);
}

void expect_keys_end_the_program(const char* keys) {
  HostProgram program("loop");
  ASSERT_TRUE(program.wait_for_output("started\n")) << program.err();
  std::string id = program.window_id();
  ASSERT_FALSE(id.empty());
  focus(id);
  ASSERT_TRUE(program.wait_for_output("tick\n")) << program.out() << program.err() << program.log();
  run_command(std::string("xdotool keydown ") + keys + " sleep 0.3 keyup " + keys);
  int status = -1;
  ASSERT_TRUE(program.wait_exit(status)) << "still running after " << keys;
  EXPECT_EQ(status, 0);
  EXPECT_NE(program.out().find("exit\n"), std::string::npos);
}

TEST(HostWindow, EscapeEndsTheProgram) { expect_keys_end_the_program("Escape"); }

TEST(HostWindow, AltF4EndsTheProgram) { expect_keys_end_the_program("alt+F4"); }

// A rectangle drawn at the program's top-left corner lands where each orientation turns that
// corner, and so does a logical screen's scaled rectangle.
TEST(HostWindow, OrientationAndLogicalResolutionPlaceDrawingInTheWindow) {
  ChildResult result = run_in_child([] {
    g_runtime.screen_width = 200;
    g_runtime.screen_height = 150;
    start_runtime(nullptr, 10, "Host Test");
    auto red_at = [](int32_t x, int32_t y) {  // window pixel, y from the top
      flush_drawing();
      unsigned char pixel[4] = {};
      glReadPixels(x, 150 - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
      return pixel[0] > 200 && pixel[1] < 50 && pixel[2] < 50;
    };
    std::string report;
    for (int32_t o = 0; o < 4; ++o) {
      set_orientation(o);
      set_background_colour(0);
      draw_rect(0, 0, 10, 5, 0x0000FF);
      int32_t x = 0, y = 0, fx = 9, fy = 4;
      program_to_window_point(o, 200, 150, x, y);
      program_to_window_point(o, 200, 150, fx, fy);
      int32_t ox = 20, oy = 20;
      program_to_window_point(o, 200, 150, ox, oy);
      report += std::to_string(o) + ":" + (red_at(x, y) ? "R" : "-") + (red_at(fx, fy) ? "R" : "-") +
                (red_at(ox, oy) ? "R" : "-") + " ";
    }
    set_orientation(0);
    set_virtual_resolution(100, 50);  // min(2, 3) = 2: scale 2, offsets (0, 25)
    set_background_colour(0);
    draw_rect(0, 0, 1, 1, 0x0000FF);
    report += std::string("v:") + (red_at(0, 25) ? "R" : "-") + (red_at(1, 26) ? "R" : "-") +
              (red_at(2, 25) ? "R" : "-") + (red_at(0, 24) ? "R" : "-");
    print_stdout(RtString((report + "\n").c_str()));
    _exit(0);
  });
  EXPECT_EQ(result.out, "0:RR- 1:RR- 2:RR- 3:RR- v:RR--\n") << result.err;
}

}  // namespace
}  // namespace qrn::test

int main(int argc, char** argv) {
  if (const char* mode = std::getenv("QRN_HOST_PROGRAM")) return qrn::test::run_host_program(mode);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
