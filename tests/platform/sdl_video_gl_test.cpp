// The real backend opens a window with a GL context on the virtual display.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstring>

#include "platform/platform.h"

TEST(SdlVideo, WindowWithAGlContextClearsAndReadsBack) {
  qrn::VideoService& os = qrn::os_video();
  ASSERT_TRUE(os.video_init()) << "no display";
  qrn::WindowRequest request;
  request.width = 64;
  request.height = 48;
  request.title = "probe";
  qrn::WindowHandle window = os.create_window(request);
  ASSERT_NE(window, nullptr);
  const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  ASSERT_NE(renderer, nullptr);
  glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  unsigned char pixel[4] = {};
  glReadPixels(10, 10, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
  EXPECT_EQ(pixel[0], 255);
  EXPECT_EQ(pixel[1], 0);
  EXPECT_NE(os.gl_proc_address("glGenFramebuffersEXT"), nullptr);
  os.destroy_window(window);
  os.video_quit();
}

// The one context survives a window replaced by a new one (textures and all), goes with the
// last window, and a window made after that gets a fresh, working context.
TEST(SdlVideo, TheContextOutlivesReplacedWindowsAndGoesWithTheLastOne) {
  qrn::VideoService& os = qrn::os_video();
  ASSERT_TRUE(os.video_init()) << "no display";
  qrn::WindowRequest request;
  request.width = 32;
  request.height = 32;
  request.title = "probe";
  qrn::WindowHandle first = os.create_window(request);
  ASSERT_NE(first, nullptr);
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  const unsigned char texel[4] = {1, 2, 3, 4};
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
  void* context = os.current_gl_context();

  qrn::WindowHandle second = os.create_window(request);
  ASSERT_NE(second, nullptr);
  os.destroy_window(first);
  EXPECT_EQ(os.current_gl_context(), context);
  EXPECT_EQ(glIsTexture(texture), GL_TRUE);

  glClear(GL_COLOR_BUFFER_BIT);  // drawing still queued when the last window goes
  os.destroy_window(second);
  EXPECT_EQ(os.current_gl_context(), nullptr);

  qrn::WindowHandle third = os.create_window(request);
  ASSERT_NE(third, nullptr);
  EXPECT_NE(os.current_gl_context(), nullptr);
  glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  unsigned char pixel[4] = {};
  glReadPixels(5, 5, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
  EXPECT_EQ(pixel[1], 255);
  os.destroy_window(third);
  os.video_quit();
}

// A window asking for another pixel format (here a depth buffer) gets a context of its own
// that shares the textures of the one before; a window of the same format keeps the context.
TEST(SdlVideo, AWindowOfAnotherFormatGetsANewContextSharingTheTextures) {
  qrn::VideoService& os = qrn::os_video();
  ASSERT_TRUE(os.video_init()) << "no display";
  qrn::WindowRequest flat;
  flat.width = 32;
  flat.height = 32;
  flat.depth_bits = 0;
  flat.stencil_bits = 0;
  qrn::WindowHandle first = os.create_window(flat);
  ASSERT_NE(first, nullptr);
  GLint bits = -1;
  glGetIntegerv(GL_DEPTH_BITS, &bits);
  EXPECT_EQ(bits, 0);
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  const unsigned char texel[4] = {10, 20, 30, 40};
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
  void* flat_context = os.current_gl_context();

  qrn::WindowRequest deep = flat;
  deep.depth_bits = 24;
  deep.stencil_bits = 8;
  qrn::WindowHandle second = os.create_window(deep);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(os.current_gl_context(), flat_context);
  glGetIntegerv(GL_DEPTH_BITS, &bits);
  EXPECT_GE(bits, 16);
  os.destroy_window(first);
  ASSERT_EQ(glIsTexture(texture), GL_TRUE);
  unsigned char back[4] = {};
  glBindTexture(GL_TEXTURE_2D, texture);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, back);
  EXPECT_EQ(std::memcmp(back, texel, 4), 0);

  void* deep_context = os.current_gl_context();
  qrn::WindowHandle third = os.create_window(deep);
  ASSERT_NE(third, nullptr);
  EXPECT_EQ(os.current_gl_context(), deep_context);
  os.destroy_window(second);
  os.destroy_window(third);
  os.video_quit();
}
