// Texture persistence on a real GL context: the file's bytes, a round trip that draws the same
// pixels, a new GL context, foreign and damaged files. Runs with framebuffer objects and,
// again, with QUARNEL_NO_FBO=1.
#include <sys/stat.h>
#include <unistd.h>

#include <SDL.h>

#include <string>
#include <vector>

#include "gfx/device.h"
#include "gfx/gl_fixture.h"
#include "gfx/offscreen_internal.h"
#include "gfx/texture_persistence_internal.h"
#include "platform/fake_process.h"
#include "platform/process.h"
#include "platform/video.h"

namespace qrn::test {
namespace {

class TexturePersistenceGl : public GfxGlTest {
 protected:
  TexturePersistenceGl() {
    process.temp_dir = folder();
    ::unlink((folder() + "ErrorLog.txt").c_str());  // each test reads its own lines
  }
  static const std::string& folder() { return program_temp_folder(); }

  void SetUp() override {
    GfxGlTest::SetUp();
    device->init_framebuffers();
    invalidate_gl_state();
    set_background_colour(0);
    name = persistence_file_name().data;
  }

  std::string log() const { return read_file(folder() + "ErrorLog.txt"); }
  bool log_has(const std::string& text) const { return log().find(text) != std::string::npos; }
  bool exists(const std::string& path) const {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
  }

  // Three sprites, a font texture and a screen with a picture drawn into it.
  void make_sprites() {
    make_sprite(0, 3, 2, [](int32_t x, int32_t y) { return OPAQUE | (x * 80 + 10) | ((y * 90 + 20) << 8); });
    make_sprite(7, 20, 5, [](int32_t x, int32_t) { return x < 10 ? OPAQUE | RED : 0x80FF0000u; });
    device->sprites[7].frame_width = 10;
    make_sprite(FONT_SLOT_BASE + 2, 16, 16, [](int32_t x, int32_t y) { return (x + y) % 2 ? OPAQUE | WHITE : 0u; });
    ASSERT_TRUE(create_screen(4, 9, 12, 6));
    use_screen(4);
    draw_rect(0, 0, 4, 6, GREEN);
    use_screen(-1);
  }

  // What the sprites of make_sprites draw, as window pixels.
  std::vector<uint32_t> drawn() {
    set_background_colour(0);
    draw_sprite(0, 0, 0);
    draw_sprite(7, 10, 0);
    draw_sprite(FONT_SLOT_BASE + 2, 40, 0);
    draw_sprite(9, 60, 0);
    std::vector<uint32_t> pixels;
    for (int32_t y = 0; y < 16; ++y) {
      for (int32_t x = 0; x < 80; ++x) pixels.push_back(raw_pixel(x, y));
    }
    return pixels;
  }

  // The texture contents of the sprites of make_sprites.
  std::vector<uint8_t> textures() {
    std::vector<uint8_t> all;
    for (int32_t id : {0, 7, FONT_SLOT_BASE + 2, 9}) {
      Image image;
      if (!device->read_sprite_pixels(id, image)) continue;
      all.insert(all.end(), image.pixels, image.pixels + image.width * image.height * 4);
    }
    return all;
  }

  FakeProcess process;
  ServiceScope<ProcessService> process_scope{&process};
  std::string name;
};

TEST_F(TexturePersistenceGl, NoSpritesGiveAnEmptyPrivateFile) {
  ASSERT_TRUE(persist_textures(0));
  struct stat info {};
  ASSERT_EQ(::lstat(name.c_str(), &info), 0);
  EXPECT_TRUE(S_ISREG(info.st_mode));
  EXPECT_EQ(info.st_size, 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  EXPECT_TRUE(log_has("move textures from mem to temp file\n   \"" + name + "\"\n   ...done\n"));
}

TEST_F(TexturePersistenceGl, ATenByTenSpriteIsA412ByteRecord) {
  make_sprite(300, 10, 10, [](int32_t x, int32_t y) { return 0xFF000000u | (x << 16) | (y << 8) | 0x40; });
  ASSERT_TRUE(persist_textures(0));
  const std::string bytes = read_file(name);
  ASSERT_EQ(bytes.size(), 412u);
  EXPECT_EQ(bytes.substr(0, 12), std::string("\x2c\x01\0\0\x0a\0\0\0\x0a\0\0\0", 12));
  // Pixel (3, 2): red, green, blue, alpha.
  EXPECT_EQ(bytes.substr(12 + (2 * 10 + 3) * 4, 4), std::string("\x40\x02\x03\xff", 4));
}

TEST_F(TexturePersistenceGl, ARestoreMakesTheSameSpritesAndDeletesTheFile) {
  make_sprites();
  const std::vector<uint32_t> before = drawn();
  ASSERT_TRUE(persist_textures(0));
  for (int32_t id : {0, 7, FONT_SLOT_BASE + 2, 9}) device->delete_sprite(id);
  ASSERT_NE(drawn(), before);
  ASSERT_TRUE(persist_textures(1));
  EXPECT_FALSE(exists(name));
  EXPECT_TRUE(log_has("restoring textures from temp file\n   ...done\n"));
  EXPECT_EQ(drawn(), before);
  EXPECT_EQ(device->sprites[7].width, 20);
  // The screen draws into its restored sprite.
  use_screen(4);
  EXPECT_EQ(g_runtime.current_offscreen, 4);
  draw_rect(11, 5, 1, 1, BLUE);
  use_screen(-1);
  draw_sprite(9, 100, 100);
  EXPECT_EQ(raw_pixel(100, 100), GREEN);
  EXPECT_EQ(raw_pixel(111, 105), BLUE);
  // Without a file there is nothing to restore.
  EXPECT_FALSE(persist_textures(1));
}

// The platform made a new GL context that shares nothing with the old one: the sprites and
// the screen come back through the file.
TEST_F(TexturePersistenceGl, SpritesSurviveANewContext) {
  make_sprites();
  const std::vector<uint32_t> before = drawn();
  ASSERT_TRUE(device->save_textures());
  SDL_Window* window = static_cast<SDL_Window*>(g_runtime.window_handle);
  SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
  SDL_GLContext fresh = SDL_GL_CreateContext(window);
  SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 1);
  ASSERT_NE(fresh, nullptr);
  ASSERT_EQ(SDL_GL_MakeCurrent(window, fresh), 0);
  ASSERT_FALSE(glIsTexture(device->sprites[7].texture));  // nothing came over by itself
  device->init_framebuffers();
  device->setup_2d();
  ASSERT_TRUE(device->restore_textures_in_new_context());
  EXPECT_FALSE(exists(name));
  EXPECT_EQ(drawn(), before);
  use_screen(4);
  ASSERT_EQ(g_runtime.current_offscreen, 4);
  draw_rect(11, 5, 1, 1, BLUE);
  use_screen(-1);
  draw_sprite(9, 100, 100);
  EXPECT_EQ(raw_pixel(111, 105), BLUE);
  EXPECT_EQ(raw_pixel(100, 100), GREEN);
  // The fresh context stays current; the window's end releases what was made in it.
}

TEST_F(TexturePersistenceGl, FullScreenKeepsTheSprites) {
  ScreenRect desktop = os_video().display_bounds();
  if (!os_video().display_has_mode(desktop.width, desktop.height, 0)) GTEST_SKIP() << "no full-screen mode";
  make_sprites();
  const std::vector<uint8_t> before = textures();
  g_runtime.window_width = desktop.width;
  g_runtime.window_height = desktop.height;
  ASSERT_TRUE(device->enter_full_screen());
  EXPECT_FALSE(exists(name));
  EXPECT_EQ(textures(), before);
  draw_sprite(7, 0, 0);
  EXPECT_EQ(get_pixel(0, 0), RED);
  use_screen(4);
  EXPECT_EQ(g_runtime.current_offscreen, 4);
  use_screen(-1);
}

TEST_F(TexturePersistenceGl, TheFileIsMadeAnewEvenWhereALinkWasPlaced) {
  const std::string victim = dir.file("victim");
  write_file(victim, "keep");
  ASSERT_EQ(::symlink(victim.c_str(), name.c_str()), 0);
  make_sprite(1, 2, 2, [](int32_t, int32_t) { return OPAQUE | RED; });
  ASSERT_TRUE(persist_textures(0));
  EXPECT_EQ(read_file(victim), "keep");
  struct stat info {};
  ASSERT_EQ(::lstat(name.c_str(), &info), 0);
  EXPECT_TRUE(S_ISREG(info.st_mode));
  EXPECT_EQ(info.st_size, 12 + 16);
}

TEST_F(TexturePersistenceGl, OnlyAFileOfThisUsersIsRestored) {
  make_sprite(1, 2, 2, [](int32_t, int32_t) { return OPAQUE | RED; });
  ASSERT_TRUE(persist_textures(0));
  // The records, planted behind a link: nothing is restored, the target stays.
  const std::string planted = dir.file("planted");
  ASSERT_EQ(::rename(name.c_str(), planted.c_str()), 0);
  ASSERT_EQ(::symlink(planted.c_str(), name.c_str()), 0);
  device->delete_sprite(1);
  EXPECT_FALSE(persist_textures(1));
  EXPECT_EQ(device->sprites[1].width, 0);
  EXPECT_TRUE(exists(planted));
  ASSERT_EQ(::unlink(name.c_str()), 0);
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a file to another user";
  ASSERT_EQ(::rename(planted.c_str(), name.c_str()), 0);
  ASSERT_EQ(::chown(name.c_str(), 65534, 65534), 0);
  EXPECT_FALSE(persist_textures(1));
  EXPECT_EQ(device->sprites[1].width, 0);
}

TEST_F(TexturePersistenceGl, ADamagedFileRestoresUpToTheBadRecord) {
  std::string bytes;
  auto add = [&](uint32_t id, uint32_t w, uint32_t h, size_t pixels) {
    for (uint32_t v : {id, w, h}) {
      for (int i = 0; i < 4; ++i) bytes += static_cast<char>(v >> (8 * i));
    }
    bytes += std::string(pixels, '\xff');
  };
  add(1, 2, 2, 16);
  add(70000, 1, 1, 4);  // an id outside the table
  add(2, 1, 1, 4);
  write_file(name, bytes);
  ASSERT_EQ(::chmod(name.c_str(), 0600), 0);
  EXPECT_FALSE(persist_textures(1));
  EXPECT_EQ(device->sprites[1].width, 2);
  EXPECT_EQ(device->sprites[2].width, 0);
  EXPECT_FALSE(exists(name));
}

TEST_F(TexturePersistenceGl, TheDeviceDeletesItsFileWhenMadeAndWhenDestroyed) {
  write_file(name, "stale");
  OpenGLZodidoze* other = new OpenGLZodidoze();
  EXPECT_FALSE(exists(name));
  write_file(name, "stale");
  delete other;
  EXPECT_FALSE(exists(name));
  // Without a device there is nothing to save or restore.
  OpenGLZodidoze* kept = g_runtime.device;
  g_runtime.device = nullptr;
  EXPECT_FALSE(persist_textures(0));
  EXPECT_FALSE(persist_textures(1));
  g_runtime.device = kept;
}

}  // namespace
}  // namespace qrn::test
