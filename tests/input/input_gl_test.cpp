// The real backend on a virtual X display: clicks, keys and typed text made with xdotool reach
// read_mouse, key_down and the typed-character queue.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "core/runtime_state.h"
#include "gfx/device.h"
#include "input/input_devices.h"
#include "input/keyboard.h"
#include "platform/platform.h"
#include "support/temp_dir.h"

namespace qrn::test {
namespace {

bool run(const std::string& command) { return std::system(command.c_str()) == 0; }

class InputOnDisplay : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY") || !run("command -v xdotool >/dev/null")) GTEST_SKIP() << "no X display";
    const char* tmpdir = std::getenv("TMPDIR");
    saved_tmpdir = tmpdir ? tmpdir : "";
    setenv("TMPDIR", temp.path().c_str(), 1);  // the debug log goes to this test's folder
    ASSERT_TRUE(os_video().video_init());
    WindowRequest request;
    request.width = 160;
    request.height = 120;
    request.title = "quarnel input probe";
    window = os_video().create_window(request);
    ASSERT_NE(window, nullptr);
    os_video().set_window_position(window, 200, 150);
    os_video().show_window(window, true);
    // Another program's window on the same display may take the focus back: ask again.
    for (int attempt = 0; attempt < 5 && !os_video().window_has_focus(window); ++attempt) {
      ASSERT_TRUE(run("xdotool search --sync --name 'quarnel input probe' windowfocus --sync >/dev/null"));
      settle();
    }
    ASSERT_TRUE(os_video().window_has_focus(window));

    device = new OpenGLZodidoze();
    g_runtime.window_width = request.width;
    g_runtime.window_height = request.height;
    g_runtime.device = device;
    g_runtime.window_handle = window;
    g_runtime.pointer_mode = -1;
    g_runtime.input = create_input();
    ASSERT_EQ(open_input_devices(window, nullptr, 0), INPUT_OPEN_OK);
    drain();
  }

  void TearDown() override {
    if (saved_tmpdir.empty()) {
      unsetenv("TMPDIR");
    } else {
      setenv("TMPDIR", saved_tmpdir.c_str(), 1);
    }
    release_input();
    g_runtime.device = nullptr;
    delete device;
    g_runtime.window_handle = nullptr;
    if (window) os_video().destroy_window(window);
    os_video().video_quit();
  }

  // Lets the X server and SDL catch up.
  void settle() {
    for (int i = 0; i < 10; ++i) {
      drain();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  // Takes the window's messages as the frame loop does, queueing typed characters.
  void drain() {
    WindowMessage message;
    while (os_video().next_message(window, message)) {
      if (message.kind == MessageKind::character) push_typed_char(static_cast<int8_t>(message.code));
    }
  }
  void client_to_screen(int32_t x, int32_t y, int32_t& sx, int32_t& sy) {
    ScreenRect client = os_video().window_client_rect(window);
    sx = client.x + x;
    sy = client.y + y;
  }

  TempDir temp;
  std::string saved_tmpdir;
  WindowHandle window = nullptr;
  OpenGLZodidoze* device = nullptr;
};

TEST_F(InputOnDisplay, AClickBetweenTwoReadsReachesReadMouse) {
  int32_t sx = 0, sy = 0;
  client_to_screen(40, 30, sx, sy);
  ASSERT_TRUE(run("xdotool mousemove " + std::to_string(sx) + " " + std::to_string(sy)));
  int32_t x = 0, y = 0, b1 = 0, b2 = 0;
  read_mouse(x, y, b1, b2);
  EXPECT_EQ(x, 40);
  EXPECT_EQ(y, 30);
  EXPECT_EQ(b1, 0);

  // Pressed and released before the next read: still seen once.
  ASSERT_TRUE(run("xdotool click 1"));
  read_mouse(x, y, b1, b2);
  EXPECT_EQ(b1, 1);
  read_mouse(x, y, b1, b2);
  EXPECT_EQ(b1, 0);

  ASSERT_TRUE(run("xdotool mousedown 3"));
  read_mouse(x, y, b1, b2);
  EXPECT_EQ(b2, 1);
  ASSERT_TRUE(run("xdotool mouseup 3"));
  read_mouse(x, y, b1, b2);  // the press since the last read
  read_mouse(x, y, b1, b2);
  EXPECT_EQ(b2, 0);

  ASSERT_TRUE(run("xdotool mousemove 0 0"));
  read_mouse(x, y, b1, b2);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
}

TEST_F(InputOnDisplay, ExclusiveMouseHidesThePointerAndReadsRelativeMotion) {
  release_input();
  g_runtime.input = create_input();
  ASSERT_EQ(open_input_devices(window, nullptr, 1), INPUT_OPEN_OK);
  set_pointer_mode(0);
  set_mouse_position(50, 50);
  settle();
  int32_t x = 0, y = 0, b1 = 0, b2 = 0;
  read_mouse(x, y, b1, b2);  // motion is measured from here
  ASSERT_TRUE(run("xdotool mousemove_relative -- 5 7"));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(read_mouse_axis(0), 5);
  EXPECT_EQ(read_mouse_axis(1), 7);
  read_mouse(x, y, b1, b2);
  EXPECT_EQ(x, 55);
  EXPECT_EQ(y, 57);
  ASSERT_TRUE(run("xdotool mousemove_relative -- -400 -400"));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  read_mouse(x, y, b1, b2);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
}

TEST_F(InputOnDisplay, HeldAndTappedKeysReachKeyDown) {
  ASSERT_TRUE(run("xdotool keydown Escape"));
  poll_input_frame();
  EXPECT_EQ(key_down(1), 1);
  ASSERT_TRUE(run("xdotool keyup Escape"));
  poll_input_frame();  // the press since the previous refresh
  poll_input_frame();
  EXPECT_EQ(key_down(1), 0);

  ASSERT_TRUE(run("xdotool key KP_Enter"));  // down and up between two frames
  poll_input_frame();
  EXPECT_EQ(key_down(156), 1);
  EXPECT_EQ(key_down(28), 0);

  ASSERT_TRUE(run("xdotool keydown alt+F4"));
  poll_input_frame();
  EXPECT_EQ(key_down(56) && key_down(62), 1);
  ASSERT_TRUE(run("xdotool keyup alt+F4"));
}

TEST_F(InputOnDisplay, TypedTextReachesTheQueue) {
  ASSERT_TRUE(run("xdotool type --delay 5 'Hi 42'"));
  settle();
  std::string typed;
  for (RtString c = take_typed_char(); !c.empty(); c = take_typed_char()) typed += c.c_str();
  EXPECT_EQ(typed, "Hi 42");
}

// Enter, Backspace and Tab make characters as well, so line entry can be finished and edited
// (Escape makes one too, which the queue drops).
TEST_F(InputOnDisplay, EnterBackspaceAndTabAreTypedCharacters) {
  ASSERT_TRUE(run("xdotool type --delay 5 'ab' && xdotool key --delay 5 BackSpace Tab Escape Return KP_Enter"));
  settle();
  std::string typed;
  for (int8_t c = pop_typed_char(); c != 0; c = pop_typed_char()) typed += static_cast<char>(c);
  EXPECT_EQ(typed, "ab\b\t\n\n");  // a carriage return is queued as a line feed
}

}  // namespace
}  // namespace qrn::test
