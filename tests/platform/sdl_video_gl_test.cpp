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
