// The window's depth buffer: none for 2D programs, one from the start when the program asks
// for it, one added (textures kept) when 3D drawing first needs it, and screens drawn in 3D
// with their own depth buffer or, emulated in the window, with the window's.
#include <string>

#include "3d/gl_3d_fixture.h"
#include "gfx/offscreen.h"
#include "gfx/offscreen_internal.h"

namespace qrn::test {
namespace {

// A square of side 2 centred on the origin in the z = 0 plane, facing +z.
std::string square(int red, int green, int blue) {
  return "DDDA 1.0\n4 0 0 1 0 1 -1 0 -1\n1 " + std::to_string(red) + " " + std::to_string(green) + " " +
         std::to_string(blue) +
         " 4 0 0 1 1 2 2 3 3\n"
         "1 4 -1 -1 0 1 -1 0 1 1 0 -1 1 0\n";
}

GLint gl_integer(GLenum name) {
  GLint value = -1;
  glGetIntegerv(name, &value);
  return value;
}

class WindowDepthGl : public Gl3dTest {
 protected:
  void TearDown() override {
    framebuffer_functions().fbo_supported = fbo_supported_;
    Gl3dTest::TearDown();
  }

  // Replaces the fixture's window and context by the ones the device makes, as start-up
  // does, with the depth bits of the project settings.
  void make_device_window(int32_t depth_bits) {
    os_video().destroy_window(g_runtime.window_handle);  // and the context with it
    g_runtime.window_handle = nullptr;
    invalidate_gl_state();
    g_runtime.depth_bits = depth_bits;
    g_runtime.stencil_bits = depth_bits ? 8 : 0;
    ASSERT_TRUE(device->create_window(nullptr, W, H, 0, 60, 0));
    os_video().show_window(g_runtime.window_handle, true);
    device->bgra_supported = 1;
    set_light(0, 0, 0, 0);
    set_background_colour(0);
  }

  void load(int32_t object, const std::string& name, const std::string& text) {
    write_file(dir.file(name), text);
    load_object(dir.file(name).c_str(), object);
    ASSERT_EQ(object_loaded(object), 1) << name;
  }

  // A blue square in front, drawn first, and a larger white one behind it.
  void draw_near_and_far() {
    draw_object(1, 0, 0, 0, 1, 0, 0, 0, 0.5);
    draw_object(0, 0, 0, 0, 0, 0, 0, 0, 1);
  }

  void load_squares() {
    load(0, "white.ddd", square(255, 255, 255));
    load(1, "blue.ddd", square(0, 0, 255));
  }

  const bool fbo_supported_ = framebuffer_functions().fbo_supported;
  static constexpr int32_t CX = W / 2, CY = H / 2;
};

TEST_F(WindowDepthGl, ATwoDProgramGetsNoDepthAThreeDDrawingAddsItKeepingSprites) {
  make_device_window(0);
  EXPECT_EQ(gl_integer(GL_DEPTH_BITS), 0);
  EXPECT_EQ(gl_integer(GL_STENCIL_BITS), 0);
  make_sprite(5, 16, 16, [](int32_t, int32_t) { return OPAQUE | GREEN; });
  load_squares();

  set_background_colour(0x203040);
  set_alpha_mode(-0.5);
  const WindowHandle before = g_runtime.window_handle;
  draw_near_and_far();
  EXPECT_NE(g_runtime.window_handle, before) << "the window is made again";
  EXPECT_FLOAT_EQ(device->global_alpha, 0.5f) << "the frame's drawing state goes on";
  EXPECT_TRUE(gl_is_enabled(GL_BLEND));
  set_alpha_mode(-1);
  EXPECT_GT(gl_integer(GL_DEPTH_BITS), 0);
  EXPECT_EQ(raw_pixel(CX, CY), BLUE) << "the nearer square hides the farther one";
  EXPECT_EQ(g_runtime.window_width, W);
  EXPECT_EQ(g_runtime.window_height, H);

  // The sprite made before came over; the next frame draws without making anything again.
  draw_sprite(5, 0, 0);
  EXPECT_EQ(raw_pixel(3, 3), GREEN);
  const WindowHandle remade = g_runtime.window_handle;
  reset_draw_state();
  EXPECT_EQ(raw_pixel(2, 2), 0x203040u) << "the clear colour came over";
  set_background_colour(0);
  draw_near_and_far();
  EXPECT_EQ(g_runtime.window_handle, remade);
  EXPECT_EQ(raw_pixel(CX, CY), BLUE);
}

TEST_F(WindowDepthGl, AProgramAskingForDepthHasItFromTheStart) {
  make_device_window(24);
  EXPECT_GE(gl_integer(GL_DEPTH_BITS), 16);
  load_squares();
  const WindowHandle before = g_runtime.window_handle;
  draw_near_and_far();
  EXPECT_EQ(g_runtime.window_handle, before);
  EXPECT_EQ(raw_pixel(CX, CY), BLUE);
}

TEST_F(WindowDepthGl, AScreenDrawnInThreeDHasItsOwnDepthBuffer) {
  make_device_window(0);  // finds the framebuffer entry points
  if (!framebuffers_supported()) GTEST_SKIP() << "no framebuffer objects";
  load_squares();
  ASSERT_TRUE(create_screen(0, 7, 64, 64));
  use_screen(0);
  const WindowHandle before = g_runtime.window_handle;
  draw_near_and_far();
  EXPECT_EQ(g_runtime.window_handle, before) << "the window itself needs no depth for it";
  use_screen(-1);
  draw_sprite(7, 100, 40);
  EXPECT_EQ(raw_pixel(132, 72), BLUE);
}

TEST_F(WindowDepthGl, AScreenEmulatedInTheWindowUsesTheDepthTheWindowIsGiven) {
  framebuffer_functions().fbo_supported = false;
  make_device_window(0);
  load_squares();
  ASSERT_TRUE(create_screen(0, 7, 64, 64));
  use_screen(0);
  draw_rect(0, 0, 8, 8, RED);  // drawn before the window is made again: kept
  draw_near_and_far();
  EXPECT_GT(gl_integer(GL_DEPTH_BITS), 0);
  EXPECT_EQ(g_runtime.current_offscreen, 0) << "drawing still goes to the screen";
  use_screen(-1);
  set_background_colour(0);
  draw_sprite(7, 100, 40);
  EXPECT_EQ(raw_pixel(132, 72), BLUE);
  EXPECT_EQ(raw_pixel(102, 42), RED);
}

}  // namespace
}  // namespace qrn::test
