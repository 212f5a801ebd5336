// Off-screen screens on a real GL context. The suite runs twice: as it is (framebuffer
// objects) and with QUARNEL_NO_FBO=1 (the emulation in the window); the pictures expected are
// the same on both paths.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gfx/device.h"
#include "gfx/gl_fixture.h"
#include "gfx/offscreen_internal.h"
#include "platform/fake_process.h"
#include "platform/process.h"
#include "platform/video.h"

#include <SDL.h>
#include <SDL_syswm.h>
// Last: the X library's macros would clash with the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace qrn::test {
namespace {

class OffscreenGl : public GfxGlTest {
 protected:
  OffscreenGl() {
    process.temp_dir = program_temp_folder();
    ::unlink(log_path().c_str());  // each test reads its own lines
  }

  void SetUp() override {
    GfxGlTest::SetUp();
    device->init_framebuffers();
    invalidate_gl_state();
    set_background_colour(0);
  }

  static std::string log_path() { return program_temp_folder() + "ErrorLog.txt"; }
  std::string log() const { return read_file(log_path()); }
  bool log_has(const std::string& text) const { return log().find(text) != std::string::npos; }
  static bool fbo() { return framebuffers_supported(); }

  FakeProcess process;
  ServiceScope<ProcessService> process_scope{&process};
};

// Sprite pixels read back from its texture (0xAABBGGRR, rows from the top), or empty.
std::vector<int32_t> sprite_pixels(int32_t id) {
  Image image;
  std::vector<int32_t> out;
  if (!g_runtime.device->read_sprite_pixels(id, image)) return out;
  for (int32_t y = 0; y < image.height; ++y) {
    for (int32_t x = 0; x < image.width; ++x) {
      const uint8_t* p = image.at(x, y);
      out.push_back(static_cast<int32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24));
    }
  }
  return out;
}

TEST_F(OffscreenGl, TheSwitchDecidesThePath) {
  const char* value = std::getenv(NO_FRAMEBUFFERS_VARIABLE);
  const bool off = value && *value && std::string(value) != "0";
  EXPECT_EQ(fbo(), !off);
  EXPECT_EQ(log_has("can't use framebuffer object\n"), off);
  char line[96];
  std::snprintf(line, sizeof line, "ext: %-35s   [FAILED]", "glGenFramebuffersEXT");
  EXPECT_EQ(log_has(line), off);
}

TEST_F(OffscreenGl, CreateScreenSizesTheTextureInPowersOfTwo) {
  ASSERT_TRUE(create_screen(0, 5, 100, 50));
  const SpriteSlot& s = device->sprites[5];
  EXPECT_EQ(s.texture_width, 128);
  EXPECT_EQ(s.texture_height, 64);
  EXPECT_EQ(s.width, 100);
  EXPECT_EQ(s.height, 50);
  EXPECT_FLOAT_EQ(s.u_max, 0.78125f);
  EXPECT_FLOAT_EQ(s.v_max, 0.78125f);
  EXPECT_EQ(device->offscreen[0].width, 128);
  EXPECT_EQ(device->offscreen[0].height, 64);
  EXPECT_EQ(device->offscreen[0].sprite, 5);
  EXPECT_EQ(device->offscreen[0].framebuffer != 0, fbo());
  EXPECT_EQ(device->offscreen[0].depth_buffer != 0, fbo());
  EXPECT_EQ(find_free_screen(), 31);
  // A fresh screen is fully transparent.
  for (int32_t p : sprite_pixels(5)) ASSERT_EQ(p, 0);

  // Sides start at 2: 1 x 3 gets a 2 x 4 texture.
  ASSERT_TRUE(create_screen(31, 6, 1, 3));
  EXPECT_EQ(device->sprites[6].texture_width, 2);
  EXPECT_EQ(device->sprites[6].texture_height, 4);
  EXPECT_EQ(find_free_screen(), 30);

  // Creating a screen again releases what it held: sprite 5 is gone, sprite 7 is the target.
  ASSERT_TRUE(create_screen(0, 7, 16, 16));
  EXPECT_EQ(device->offscreen[0].sprite, 7);
  EXPECT_EQ(device->sprites[5].width, 100);  // the old sprite stays a sprite
  // One sprite serves one screen: taking sprite 7 for screen 1 frees screen 0.
  ASSERT_TRUE(create_screen(1, 7, 8, 8));
  EXPECT_EQ(device->offscreen[0].width, 0);
  EXPECT_EQ(device->offscreen[0].sprite, -1);
  EXPECT_EQ(device->offscreen[1].sprite, 7);
}

TEST_F(OffscreenGl, CreateScreenRefusesBadArguments) {
  EXPECT_FALSE(create_screen(32, 5, 10, 10));
  EXPECT_FALSE(create_screen(-1, 5, 10, 10));
  EXPECT_FALSE(create_screen(0, -1, 10, 10));
  EXPECT_FALSE(create_screen(0, SPRITE_COUNT, 10, 10));
  EXPECT_EQ(device->offscreen[0].width, 0);
  // A size below 1 fails and leaves the sprite deleted.
  make_sprite(5, 4, 4, [](int32_t, int32_t) { return OPAQUE | RED; });
  EXPECT_FALSE(create_screen(0, 5, 0, 10));
  EXPECT_EQ(device->sprites[5].width, 0);
  EXPECT_FALSE(create_screen(0, 5, 10, -3));
  EXPECT_EQ(find_free_screen(), 31);
  // Textures beyond 2^24 texels: 4097 x 4096 needs 8192 x 4096.
  EXPECT_FALSE(create_screen(0, 5, 4097, 4096));
  EXPECT_TRUE(log_has("can't create FBO for big dims 4097x4096\n"));
  EXPECT_FALSE(create_screen(0, 5, 16385, 1));
  EXPECT_EQ(device->offscreen[0].width, 0);
}

// Drawing into a screen, then drawing its sprite: what was drawn is there, where it was
// drawn (from the top-left, y down), and what was not drawn stays transparent.
TEST_F(OffscreenGl, DrawingIntoAScreenMakesTheSprite) {
  draw_rect(0, 0, 40, 30, BLUE);  // window drawing under the screen's area
  const std::vector<uint8_t> before = all_pixels();
  ASSERT_TRUE(create_screen(0, 5, 20, 10));
  use_screen(0);
  int32_t w = 0, h = 0;
  get_screen_size(w, h);
  EXPECT_EQ(w, 20);
  EXPECT_EQ(h, 10);
  draw_rect(0, 0, 5, 5, RED);
  draw_rect(15, 5, 5, 5, GREEN);
  plot(19, 9, WHITE);
  // get_pixel reads the screen.
  EXPECT_EQ(get_pixel(0, 0), RED);
  EXPECT_EQ(get_pixel(17, 7), GREEN);
  use_screen(-1);
  // The window's drawing under the area is as it was.
  EXPECT_TRUE(all_pixels() == before);
  get_screen_size(w, h);
  EXPECT_EQ(w, W);

  const std::vector<int32_t> pixels = sprite_pixels(5);
  ASSERT_EQ(pixels.size(), 200u);
  EXPECT_EQ(static_cast<uint32_t>(pixels[0]), OPAQUE | RED);
  EXPECT_EQ(static_cast<uint32_t>(pixels[7 * 20 + 17]), OPAQUE | GREEN);
  EXPECT_EQ(static_cast<uint32_t>(pixels[9 * 20 + 19]), OPAQUE | WHITE);
  EXPECT_EQ(pixels[0 * 20 + 10], 0);  // transparent
  EXPECT_EQ(pixels[9 * 20 + 0], 0);

  draw_sprite(5, 100, 50);
  EXPECT_EQ(get_pixel(100, 50), RED);
  EXPECT_EQ(get_pixel(104, 54), RED);
  EXPECT_EQ(get_pixel(115, 55), GREEN);
  EXPECT_EQ(get_pixel(119, 59), WHITE);
  EXPECT_EQ(get_pixel(110, 52), BLACK);  // the window shows through
  EXPECT_EQ(get_pixel(120, 50), BLACK);  // beyond the image
}

TEST_F(OffscreenGl, AScreenKeepsItsPictureAcrossUses) {
  ASSERT_TRUE(create_screen(2, 9, 30, 20));
  use_screen(2);
  draw_rect(0, 0, 10, 10, RED);
  use_screen(-1);
  draw_rect(0, 0, 60, 60, WHITE);  // window drawing in between
  use_screen(2);
  draw_rect(20, 10, 10, 10, GREEN);
  EXPECT_EQ(get_pixel(5, 5), RED);
  use_screen(-1);
  draw_sprite(9, 200, 100);
  EXPECT_EQ(get_pixel(205, 105), RED);
  EXPECT_EQ(get_pixel(225, 115), GREEN);
  EXPECT_EQ(get_pixel(215, 105), BLACK);
  EXPECT_EQ(get_pixel(30, 30), WHITE);
}

TEST_F(OffscreenGl, SelectingAnotherScreenEndsTheFirst) {
  ASSERT_TRUE(create_screen(0, 5, 16, 16));
  ASSERT_TRUE(create_screen(1, 6, 16, 16));
  use_screen(0);
  use_screen(0);  // ends screen 0 first, so nothing is bound twice
  EXPECT_FALSE(log_has("Trying to rebind"));
  draw_rect(0, 0, 16, 16, RED);
  use_screen(1);
  EXPECT_EQ(g_runtime.current_offscreen, 1);
  draw_rect(0, 0, 16, 16, GREEN);
  use_screen(-1);
  EXPECT_EQ(g_runtime.current_offscreen, -1);
  EXPECT_EQ(g_runtime.target_screen, -1);
  EXPECT_EQ(static_cast<uint32_t>(sprite_pixels(5)[0]), OPAQUE | RED);
  EXPECT_EQ(static_cast<uint32_t>(sprite_pixels(6)[0]), OPAQUE | GREEN);
  // A free screen, one out of range and a screen whose sprite was deleted draw to the window.
  use_screen(7);
  EXPECT_EQ(g_runtime.current_offscreen, -1);
  EXPECT_EQ(g_runtime.target_screen, -1);
  use_screen(32);
  EXPECT_EQ(g_runtime.current_offscreen, -1);
  device->delete_sprite(6);
  use_screen(1);
  EXPECT_EQ(g_runtime.current_offscreen, -1);
  draw_rect(0, 0, 1, 1, BLUE);
  EXPECT_EQ(raw_pixel(0, 0), BLUE);
}

// The colour (0x00BBGGRR) of a pixel of the window as the display shows it.
uint32_t shown_pixel(int32_t x, int32_t y) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(static_cast<SDL_Window*>(g_runtime.window_handle), &info) ||
      info.subsystem != SDL_SYSWM_X11)
    return 0xFFFFFFFFu;
  // The X library is SDL's; its functions are looked up rather than linked.
  static void* x11 = dlopen("libX11.so.6", RTLD_NOW);
  if (!x11) return 0xFFFFFFFFu;
  auto sync = reinterpret_cast<int (*)(Display*, Bool)>(dlsym(x11, "XSync"));
  auto get_image = reinterpret_cast<XImage* (*)(Display*, Drawable, int, int, unsigned, unsigned,
                                                unsigned long, int)>(dlsym(x11, "XGetImage"));
  if (!sync || !get_image) return 0xFFFFFFFFu;
  Display* display = info.info.x11.display;
  sync(display, False);
  XImage* image = get_image(display, info.info.x11.window, x, y, 1, 1, AllPlanes, ZPixmap);
  if (!image) return 0xFFFFFFFFu;
  const unsigned long rgb = XGetPixel(image, 0, 0);
  XDestroyImage(image);
  return static_cast<uint32_t>(((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16));
}

TEST_F(OffscreenGl, ShowScreenEndsTheScreenAndShowsTheWindowsDrawing) {
  os_video().show_window(g_runtime.window_handle, true);
  ASSERT_TRUE(create_screen(0, 5, 32, 32));
  draw_rect(0, 0, 64, 64, BLUE);
  use_screen(0);
  draw_rect(0, 0, 32, 32, RED);
  show_screen();
  EXPECT_EQ(g_runtime.current_offscreen, -1);
  EXPECT_EQ(g_runtime.target_screen, -1);
  // The frame shown is the window's drawing.
  EXPECT_EQ(shown_pixel(10, 10), BLUE);
  EXPECT_EQ(static_cast<uint32_t>(sprite_pixels(5)[0]), OPAQUE | RED);
  // Drawing goes to the window again.
  draw_rect(100, 100, 1, 1, GREEN);
  EXPECT_EQ(raw_pixel(100, 100), GREEN);
}

TEST_F(OffscreenGl, ScreensDrawWithoutTheLogicalScale) {
  set_virtual_resolution(320, 80);  // scale 2 in the 640 x 160 window
  ASSERT_EQ(g_runtime.virtual_scale, 2.0f);
  ASSERT_TRUE(create_screen(0, 5, 16, 16));
  use_screen(0);
  draw_rect(2, 3, 1, 1, RED);
  int32_t x = -1, y = -1, w = 0, h = 0;
  get_viewport(x, y, w, h);
  EXPECT_EQ(w, 16);
  EXPECT_EQ(h, 16);
  use_screen(-1);
  std::vector<int32_t> pixels = sprite_pixels(5);
  EXPECT_EQ(static_cast<uint32_t>(pixels[3 * 16 + 2]), OPAQUE | RED);
  EXPECT_EQ(pixels[3 * 16 + 3], 0);
  EXPECT_EQ(pixels[4 * 16 + 2], 0);
  // After the screen, window drawing is through the logical screen again.
  draw_rect(10, 10, 1, 1, GREEN);
  EXPECT_EQ(raw_pixel(20, 20), GREEN);
  EXPECT_EQ(raw_pixel(21, 21), GREEN);
  EXPECT_EQ(raw_pixel(22, 22), BLACK);
}

TEST_F(OffscreenGl, ProgramStateSurvivesTheScreen) {
  ASSERT_TRUE(create_screen(0, 5, 8, 8));
  set_alpha_mode(-0.5);  // half-transparent normal blending
  set_orientation(2);
  use_screen(0);
  use_screen(-1);
  EXPECT_FLOAT_EQ(device->global_alpha, 0.5f);
  EXPECT_TRUE(gl_is_enabled(GL_BLEND));
  EXPECT_EQ(get_orientation(), 2);
  GLint scissor = 1;
  glGetIntegerv(GL_SCISSOR_TEST, &scissor);
  EXPECT_EQ(scissor, 0);
}

TEST_F(OffscreenGl, ClearingInsideAScreenStaysInTheScreen) {
  draw_rect(0, 0, 64, 64, BLUE);
  ASSERT_TRUE(create_screen(0, 5, 16, 8));
  use_screen(0);
  set_background_colour(RED);
  use_screen(-1);
  EXPECT_EQ(raw_pixel(40, 40), BLUE);
  EXPECT_EQ(raw_pixel(2, 2), BLUE);
  std::vector<int32_t> pixels = sprite_pixels(5);
  EXPECT_EQ(static_cast<uint32_t>(pixels[0]) & 0xFFFFFF, RED);
  EXPECT_EQ(static_cast<uint32_t>(pixels[7 * 16 + 15]) & 0xFFFFFF, RED);
}

TEST_F(OffscreenGl, DrawingIntoALoadedSpriteShowsOutsideItsFormerImage) {
  ASSERT_TRUE(create_screen(0, 5, 20, 10));
  // An image visible only in its middle; then the screen draws into its corner.
  make_sprite(5, 32, 32, [](int32_t x, int32_t y) { return x > 12 && x < 18 && y > 12 && y < 18 ? OPAQUE | BLUE : 0u; });
  use_screen(0);
  draw_rect(0, 0, 4, 4, GREEN);
  use_screen(-1);
  set_background_colour(0);
  draw_sprite(5, 100, 50);
  EXPECT_EQ(get_pixel(101, 51), GREEN);
  EXPECT_EQ(get_pixel(115, 65), BLUE);
}

TEST_F(OffscreenGl, ANewImageInTheSpriteRebuildsTheScreen) {
  ASSERT_TRUE(create_screen(0, 5, 20, 10));
  use_screen(0);
  draw_rect(0, 0, 1, 1, RED);
  // Loading an image into the sprite ends drawing into it and moves the screen to the new
  // texture.
  make_sprite(5, 40, 30, [](int32_t, int32_t) { return OPAQUE | BLUE; });
  EXPECT_EQ(g_runtime.current_offscreen, -1);
  EXPECT_EQ(device->offscreen[0].width, 64);
  EXPECT_EQ(device->offscreen[0].height, 32);
  EXPECT_EQ(device->offscreen[0].sprite, 5);
  use_screen(0);
  int32_t w = 0, h = 0;
  get_screen_size(w, h);
  EXPECT_EQ(w, 40);
  EXPECT_EQ(h, 30);
  draw_rect(39, 29, 1, 1, GREEN);
  use_screen(-1);
  std::vector<int32_t> pixels = sprite_pixels(5);
  EXPECT_EQ(static_cast<uint32_t>(pixels[0]), OPAQUE | BLUE);
  EXPECT_EQ(static_cast<uint32_t>(pixels[29 * 40 + 39]), OPAQUE | GREEN);
  // Deleting the sprite while drawing into it ends the screen; the window is as it was.
  draw_rect(0, 0, 50, 40, WHITE);
  const std::vector<uint8_t> before = all_pixels();
  use_screen(0);
  draw_rect(0, 0, 40, 30, RED);
  device->delete_sprite(5);
  EXPECT_EQ(g_runtime.current_offscreen, -1);
  EXPECT_TRUE(all_pixels() == before);
  make_sprite(5, 4, 4, [](int32_t, int32_t) { return OPAQUE | BLUE; });
  EXPECT_EQ(device->offscreen[0].sprite, 5);
  // An image that cannot be made frees the screen.
  Image empty;
  EXPECT_FALSE(device->create_sprite_from_image(5, empty, false));
  EXPECT_EQ(device->offscreen[0].width, 0);
  EXPECT_EQ(find_free_screen(), 31);
}

// ---- Drivers that refuse what is asked for ---------------------------------------------------

GLenum g_refused_depth = 0;  // depth formats at or above this many bits are refused
PFNGLRENDERBUFFERSTORAGEEXTPROC g_real_storage = nullptr;
PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC g_real_status = nullptr;

int32_t depth_bits(GLenum format) {
  switch (format) {
    case GL_DEPTH_COMPONENT32: return 32;
    case GL_DEPTH_COMPONENT24: return 24;
    case GL_DEPTH_COMPONENT16: return 16;
    default: return 0;
  }
}

void APIENTRY storage_refusing_depth(GLenum target, GLenum format, GLsizei w, GLsizei h) {
  // An unknown format makes the real driver report an invalid enumeration.
  g_real_storage(target, depth_bits(format) >= static_cast<int32_t>(g_refused_depth) ? 0x1234 : format, w, h);
}

GLenum APIENTRY status_incomplete(GLenum target) {
  g_real_status(target);
  return GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT_EXT;
}

GLint g_depth_attached = 0;
GLenum APIENTRY status_incomplete_with_depth(GLenum target) {
  GLenum status = g_real_status(target);
  GLint type = 0;
  framebuffer_functions().glGetFramebufferAttachmentParameterivEXT(
      target, GL_DEPTH_ATTACHMENT_EXT, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE_EXT, &type);
  g_depth_attached = type;
  return type == GL_NONE ? status : GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT_EXT;
}

// Emulated screens only (the run with QUARNEL_NO_FBO=1).
class OffscreenEmulatedGl : public OffscreenGl {
 protected:
  void SetUp() override {
    OffscreenGl::SetUp();
    if (fbo()) GTEST_SKIP() << "screens are framebuffer objects here";
  }
};

// Framebuffer objects only.
class OffscreenFboGl : public OffscreenGl {
 protected:
  void SetUp() override {
    OffscreenGl::SetUp();
    if (!fbo()) GTEST_SKIP() << "emulated screens have no framebuffer";
    g_real_storage = framebuffer_functions().glRenderbufferStorageEXT;
    g_real_status = framebuffer_functions().glCheckFramebufferStatusEXT;
  }
};

TEST_F(OffscreenFboGl, DepthFallsBackFrom32To24To16) {
  framebuffer_functions().glRenderbufferStorageEXT = storage_refusing_depth;
  g_refused_depth = 32;
  ASSERT_TRUE(create_screen(0, 5, 16, 16));
  EXPECT_TRUE(log_has("depth 32 failed, try 24\n"));
  EXPECT_FALSE(log_has("depth 32 failed, try 16\n"));
  EXPECT_NE(device->offscreen[0].depth_buffer, 0u);

  g_refused_depth = 24;
  ASSERT_TRUE(create_screen(1, 6, 16, 16));
  EXPECT_TRUE(log_has("depth 32 failed, try 16\n"));
  EXPECT_NE(device->offscreen[1].depth_buffer, 0u);
}

TEST_F(OffscreenFboGl, WithoutAnyDepthTheScreenIsBuiltWithoutOne) {
  framebuffer_functions().glRenderbufferStorageEXT = storage_refusing_depth;
  framebuffer_functions().glCheckFramebufferStatusEXT = status_incomplete_with_depth;
  g_refused_depth = 16;
  ASSERT_TRUE(create_screen(0, 5, 16, 16));
  EXPECT_TRUE(log_has("glBindRenderbufferExt failed 8cd6\nTrying without a depth buffer as a fallback...\n"));
  EXPECT_EQ(device->offscreen[0].depth_buffer, 0u);
  EXPECT_NE(device->offscreen[0].framebuffer, 0u);
  use_screen(0);
  draw_rect(0, 0, 1, 1, RED);
  use_screen(-1);
  EXPECT_EQ(static_cast<uint32_t>(sprite_pixels(5)[0]), OPAQUE | RED);
}

TEST_F(OffscreenFboGl, AnIncompleteFramebufferFailsAndLeavesAnEmptySprite) {
  framebuffer_functions().glCheckFramebufferStatusEXT = status_incomplete;
  EXPECT_FALSE(create_screen(0, 5, 20, 10));
  EXPECT_TRUE(log_has("glBindRenderbufferExt failed 8cd6\nTrying without a depth buffer as a fallback...\n"
                      "glBindRenderbufferExt failed 8cd6\nCAN'T CREATE FRAMEBUFFER (CREATESCREEN)\n"));
  EXPECT_EQ(device->offscreen[0].width, 0);
  EXPECT_EQ(device->offscreen[0].framebuffer, 0u);
  EXPECT_EQ(device->sprites[5].width, 20);
  EXPECT_EQ(device->sprites[5].texture_width, 32);
  for (int32_t p : sprite_pixels(5)) ASSERT_EQ(p, 0);
  GLint binding = -1;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &binding);
  EXPECT_EQ(binding, 0);
  use_screen(0);
  EXPECT_EQ(g_runtime.current_offscreen, -1);
}

GLenum APIENTRY status_zero(GLenum target) {
  g_real_status(target);
  return 0;
}

void APIENTRY no_renderbuffers(GLsizei n, GLuint* names) {
  for (GLsizei i = 0; i < n; ++i) names[i] = 0;
}

TEST_F(OffscreenFboGl, WithoutRenderbuffersOrAStatusTheFallbacksAreTaken) {
  framebuffer_functions().glGenRenderbuffersEXT = no_renderbuffers;
  ASSERT_TRUE(create_screen(0, 5, 16, 16));
  EXPECT_TRUE(log_has("glGenRenderbuffersExt failed\nTrying without a depth buffer as a fallback...\n"));
  EXPECT_EQ(device->offscreen[0].depth_buffer, 0u);
  // A driver that answers the completeness check with 0.
  framebuffer_functions().glCheckFramebufferStatusEXT = status_zero;
  EXPECT_FALSE(create_screen(1, 6, 16, 16));
  EXPECT_TRUE(log_has("glCheckFramebufferStatusExt()=0: glError=0\nglBindRenderbufferExt failed 0\n"
                      "CAN'T CREATE FRAMEBUFFER (CREATESCREEN)\n"));
}

TEST_F(OffscreenFboGl, NegativeSizesAreLogged) {
  OffscreenScreen r;
  EXPECT_FALSE(device->build_framebuffer(r, -4, 8, device->sprites[0].texture, true));
  EXPECT_TRUE(log_has("can't create FBO for neg dims -4x8\n"));
  framebuffer_functions().fbo_supported = false;
  EXPECT_FALSE(device->build_framebuffer(r, 4, 8, 0, true));
  EXPECT_TRUE(log_has("glGenFramebuffersExt failed\n"));
}

TEST_F(OffscreenFboGl, TheLargestScreen) {
  ASSERT_TRUE(create_screen(0, 5, 4096, 4096));
  use_screen(0);
  draw_rect(4095, 4095, 1, 1, GREEN);
  EXPECT_EQ(get_pixel(4095, 4095), GREEN);
  use_screen(-1);
}

TEST_F(OffscreenFboGl, BindingTwiceIsRefusedAndLogged) {
  ASSERT_TRUE(create_screen(0, 5, 16, 16));
  OffscreenScreen& r = device->offscreen[0];
  EXPECT_TRUE(device->bind_framebuffer(r));
  EXPECT_FALSE(device->bind_framebuffer(r));
  EXPECT_TRUE(log_has("Trying to rebind the same FBO again. Need to end first\n"));
  device->unbind_framebuffer(r);
  GLint binding = -1;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &binding);
  EXPECT_EQ(binding, 0);
  EXPECT_EQ(r.saved_binding, -1);
}

TEST_F(OffscreenEmulatedGl, ScreensFitInTheWindow) {
  EXPECT_TRUE(create_screen(0, 5, W, H));
  EXPECT_FALSE(create_screen(1, 6, W + 1, 10));
  EXPECT_TRUE(log_has("can't emulate a screen larger than the window 641x10\n"));
  EXPECT_FALSE(create_screen(1, 6, 10, H + 1));
  // The scratch sprite of the emulation is no program's screen.
  EXPECT_FALSE(create_screen(1, SCREEN_SCRATCH_SPRITE, 10, 10));
}

}  // namespace
}  // namespace qrn::test
