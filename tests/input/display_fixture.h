// Shared set-up of the input tests on the real backend: a focused 160 x 120 window on the
// virtual X display, a device record of its size and the input devices opened for it.
#pragma once

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

inline bool run(const std::string& command) { return std::system(command.c_str()) == 0; }

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
    before_open();
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

  // Runs before the input devices open (devices to be found are attached here).
  virtual void before_open() {}

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

}  // namespace qrn::test
