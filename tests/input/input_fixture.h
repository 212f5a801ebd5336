// Shared set-up of the input tests: a scripted platform with one 320 x 240 window at (100, 50)
// that has the focus, a device record of the same size, and a fresh input object.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "core/runtime_state.h"
#include "gfx/device.h"
#include "input/input_devices.h"
#include "input/keyboard.h"
#include "platform/fake_platform.h"
#include "platform/video.h"
#include "runtime.h"
#include "support/temp_dir.h"

namespace qrn::test {

class InputTest : public ::testing::Test {
 protected:
  static constexpr int32_t kLeft = 100, kTop = 50, kWidth = 320, kHeight = 240;

  void SetUp() override {
    reset_runtime_state();
    fake->temp_dir = temp.path();
    RuntimeState& rt = g_runtime;
    WindowRequest request;
    request.width = kWidth;
    request.height = kHeight;
    window = fake->create_window(request);
    fake->set_window_position(window, kLeft, kTop);
    fake->set_window_decorated(window, false);
    fake->focus_window = window;
    device = new OpenGLZodidoze();
    g_runtime.window_width = kWidth;
    g_runtime.window_height = kHeight;
    g_runtime.window_handle = window;
    rt.device = device;
    rt.input = create_input();
  }

  void TearDown() override { reset_runtime_state(); }

  uint32_t open(int32_t exclusive_mouse = 0) {
    return open_input_devices(window, nullptr, exclusive_mouse);
  }
  // Puts the cursor at a point of the client area (screen pixels are client + window origin).
  void cursor_at(int32_t x, int32_t y) {
    fake->cursor_x = kLeft + x;
    fake->cursor_y = kTop + y;
  }
  std::string log() const { return read_file(temp.file("ErrorLog.txt")); }
  InputDevices& input() { return *g_runtime.input; }

  TempDir temp;
  FakePlatformScope fake;
  WindowHandle window = nullptr;
  OpenGLZodidoze* device = nullptr;
};

}  // namespace qrn::test
