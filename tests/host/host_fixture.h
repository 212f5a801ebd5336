// A fresh runtime record on the scripted platform, with the debug log in a temporary folder
// and, when asked, a device whose window is a fake one.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fake_platform.h"
#include "quarnel.h"
#include "support/temp_dir.h"

namespace qrn::test {

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_runtime = RuntimeState();
    fake->temp_dir = dir.path();
    fake->program_file = dir.path() + "prog";
    fake->cwd = dir.path();
    fake->ms_per_read = 0.25;  // every clock reading takes a little time, as on a machine
  }
  void TearDown() override {
    // Everything start-up made goes, as at the program's end.
    if (g_runtime.network) shutdown_network();
    if (g_runtime.input) release_input();
    if (g_runtime.sound || g_runtime.sound_channels) release_sound();
    delete g_runtime.device;
    delete g_runtime.engine_3d;
    for (ResourceArchive*& archive : g_runtime.resource_archives) {
      release_resource_archive(archive);
      archive = nullptr;
    }
    g_runtime = RuntimeState();
  }

  // A device with a fake window of the given client size, as window creation leaves it.
  OpenGLZodidoze& make_device(int32_t width, int32_t height) {
    g_runtime.device = new OpenGLZodidoze();
    OpenGLZodidoze& device = *g_runtime.device;
    WindowRequest request;
    request.width = width;
    request.height = height;
    device.window = fake->create_window(request);
    device.width = width;
    device.height = height;
    device.frame_interval_ms = 1000.0 / 60.0;
    g_runtime.window_handle = device.window;
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
