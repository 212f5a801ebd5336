// A device drawing into a real window with a GL context (on the virtual display), set up for
// 2D as the host does it, and helpers to make sprites and read pixels back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "gfx/device.h"
#include "gfx/gl_state.h"
#include "platform/video.h"
#include "quarnel.h"
#include "support/temp_dir.h"

namespace qrn::test {

class GfxGlTest : public ::testing::Test {
 protected:
  static constexpr int32_t W = 640;
  static constexpr int32_t H = 160;

  void SetUp() override {
    reset_runtime_state();
    ASSERT_TRUE(os_video().video_init()) << "no display";
    WindowRequest request;
    request.width = W;
    request.height = H;
    request.title = "gfx";
    request.depth_bits = window_depth_bits();
    request.stencil_bits = window_depth_bits() ? 8 : 0;
    WindowHandle window = os_video().create_window(request);
    ASSERT_NE(window, nullptr);
    device = new OpenGLZodidoze();
    g_runtime.device = device;
    g_runtime.window_handle = window;
    g_runtime.window_width = W;
    g_runtime.window_height = H;
    device->bgra_supported = 1;
    device->setup_2d();
    set_background_colour(0);
  }

  void TearDown() override {
    reset_runtime_state();
  }

  // Whether the driver compiles GLSL 1.30 (the queue then draws with programs of its own).
  static bool driver_has_glsl_130() {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_SHADING_LANGUAGE_VERSION));
    int major = 0, minor = 0;
    return version && std::sscanf(version, "%d.%d", &major, &minor) == 2 && major * 100 + minor >= 130;
  }

  // The window's depth bits: none, as the device makes a 2D program's window.
  virtual int32_t window_depth_bits() const { return 0; }

  // A sprite from a w × h image whose pixels are given as 0xAABBGGRR by pixel(x, y).
  template <typename F>
  void make_sprite(int32_t id, int32_t w, int32_t h, F pixel) {
    Image image;
    ASSERT_TRUE(image.resize(w, h));
    for (int32_t y = 0; y < h; ++y) {
      for (int32_t x = 0; x < w; ++x) {
        uint32_t c = pixel(x, y);
        uint8_t* p = image.at(x, y);
        for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(c >> (8 * i));
      }
    }
    ASSERT_TRUE(device->create_sprite_from_image(id, image, false));
  }

  // Writes an image built by pixel(x, y) (0xAABBGGRR) to a file of the format of its name.
  template <typename F>
  std::string write_image(const std::string& name, int32_t w, int32_t h, F pixel) {
    Image image;
    EXPECT_TRUE(image.resize(w, h));
    for (int32_t y = 0; y < h; ++y) {
      for (int32_t x = 0; x < w; ++x) {
        uint32_t c = pixel(x, y);
        for (int i = 0; i < 4; ++i) image.at(x, y)[i] = static_cast<uint8_t>(c >> (8 * i));
      }
    }
    std::string path = dir.file(name);
    EXPECT_TRUE(encode_image(path.c_str(), image));
    return path;
  }

  // The pixel's colour 0x00BBGGRR, read straight from the back buffer (y counted from the top).
  uint32_t raw_pixel(int32_t x, int32_t y) {
    flush_drawing();
    uint8_t p[4] = {};
    glReadPixels(x, H - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return p[0] | (p[1] << 8) | (static_cast<uint32_t>(p[2]) << 16);
  }

  // The whole back buffer, bottom row first.
  std::vector<uint8_t> all_pixels() {
    std::vector<uint8_t> pixels(W * H * 4);
    flush_drawing();
    glReadPixels(0, 0, W, H, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
  }

  OpenGLZodidoze* device = nullptr;
  TempDir dir;
};

// A temporary folder for the whole test program, for tests that give the runtime a fake
// temporary folder: some names in it (the texture-persistence file) are made once per process.
inline const std::string& program_temp_folder() {
  static TempDir shared;
  return shared.path();
}

constexpr uint32_t RED = 0x0000FF;
constexpr uint32_t GREEN = 0x00FF00;
constexpr uint32_t BLUE = 0xFF0000;
constexpr uint32_t WHITE = 0xFFFFFF;
constexpr uint32_t BLACK = 0x000000;
// Opaque forms (0xAABBGGRR) for sprite pixels.
constexpr uint32_t OPAQUE = 0xFF000000u;

}  // namespace qrn::test
