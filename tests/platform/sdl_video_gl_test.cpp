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
