// A fresh runtime record on the scripted platform, with the debug log in a temporary folder
// and, when asked, a device whose window is a fake one.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gfx/device.h"
#include "platform/fake_platform.h"
#include "platform/video.h"
#include "quarnel.h"
#include "support/temp_dir.h"

namespace qrn::test {

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_runtime_state();
    fake->temp_dir = dir.path();
    fake->program_file = dir.path() + "prog";
    fake->cwd = dir.path();
    fake->ms_per_read = 0.25;  // every clock reading takes a little time, as on a machine
  }
  void TearDown() override {
    reset_runtime_state();
  }

  // A device with a fake window of the given client size, as window creation leaves it.
  OpenGLZodidoze& make_device(int32_t width, int32_t height) {
    g_runtime.device = new OpenGLZodidoze();
    OpenGLZodidoze& device = *g_runtime.device;
    WindowRequest request;
    request.width = width;
    request.height = height;
    g_runtime.window_handle = fake->create_window(request);
    g_runtime.window_width = width;
    g_runtime.window_height = height;
    device.frame_interval_ms = 1000.0 / 60.0;
    g_runtime.window_handle = g_runtime.window_handle;
    return device;
  }

  // The debug log as lines (each with its line feed).
  std::vector<std::string> log_lines() const {
    std::string text = read_file(dir.file("ErrorLog.txt"));
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      end = end == std::string::npos ? text.size() : end + 1;
      lines.push_back(text.substr(start, end - start));
      start = end;
    }
    return lines;
  }

  static WindowMessage message(MessageKind kind, int32_t code = 0) {
    WindowMessage m;
    m.kind = kind;
    m.code = code;
    return m;
  }

  TempDir dir;
  FakePlatformScope fake;
};

// True when every entry of wanted occurs in lines in this order (other lines may lie between).
inline bool in_order(const std::vector<std::string>& lines, const std::vector<std::string>& wanted) {
  size_t at = 0;
  for (const std::string& line : lines) {
    if (at < wanted.size() && line == wanted[at]) ++at;
  }
  return at == wanted.size();
}

}  // namespace qrn::test
