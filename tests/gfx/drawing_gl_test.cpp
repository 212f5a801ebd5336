// Drawing commands on a real GL context, checked by reading pixels back.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "gfx/device.h"
#include "gfx/gl_fixture.h"

namespace qrn::test {
namespace {

using DrawingGl = GfxGlTest;

// 8 × 8, blue with a red right-hand column and a green top-left pixel.
uint32_t marker(int32_t x, int32_t y) {
  if (x == 0 && y == 0) return OPAQUE | GREEN;
  return OPAQUE | (x == 7 ? RED : BLUE);
}

TEST_F(DrawingGl, DrawSpritePutsTheTopLeftCornerAtTheGivenPixel) {
  make_sprite(1, 3, 2, [](int32_t x, int32_t y) { return OPAQUE | (x * 80 + 10) | ((y * 90 + 20) << 8); });
  draw_sprite(1, 10, 20);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(get_pixel(10 + x, 20 + y), static_cast<uint32_t>((x * 80 + 10) | ((y * 90 + 20) << 8)));
    }
  }
  EXPECT_EQ(get_pixel(9, 20), BLACK);
  EXPECT_EQ(get_pixel(13, 20), BLACK);
  EXPECT_EQ(get_pixel(10, 19), BLACK);
  EXPECT_EQ(get_pixel(10, 22), BLACK);
  EXPECT_EQ(raw_pixel(12, 21), get_pixel(12, 21));
  // An empty slot or an id outside the table draws nothing.
  draw_sprite(2, 30, 30);
  draw_sprite(-5, 30, 30);
  draw_sprite(SPRITE_COUNT + 10, 30, 30);
  EXPECT_EQ(get_pixel(30, 30), BLACK);
}

TEST_F(DrawingGl, RotatedSpritesTurnCounterClockwiseAboutTheirCentre) {
  make_sprite(1, 8, 8, marker);
  set_smoothing(0);
  draw_sprite_rotated(1, 20, 20, 90);
  // The red right-hand column is now the top row; the green top-left corner went to the
  // bottom-left; the box is the one draw_sprite would cover.
  for (int x = 20; x < 28; ++x) EXPECT_EQ(get_pixel(x, 20), RED) << x;
  EXPECT_EQ(get_pixel(20, 27), GREEN);
  EXPECT_EQ(get_pixel(27, 27), BLUE);
  EXPECT_EQ(get_pixel(27, 21), BLUE);
  EXPECT_EQ(get_pixel(19, 24), BLACK);
  EXPECT_EQ(get_pixel(28, 24), BLACK);
  EXPECT_EQ(get_pixel(24, 19), BLACK);

  // Minus 90 degrees: the red column goes to the bottom.
  draw_sprite_rotated(1, 40, 20, -90);
  EXPECT_EQ(get_pixel(44, 27), RED);
  EXPECT_EQ(get_pixel(47, 20), GREEN);
  // 180 degrees: red on the left.
  draw_sprite_rotated(1, 60, 20, 180);
  EXPECT_EQ(get_pixel(60, 24), RED);
  EXPECT_EQ(get_pixel(67, 27), GREEN);
}

TEST_F(DrawingGl, ZoomStretchAndMirror) {
  make_sprite(1, 8, 8, marker);
  set_smoothing(0);
  // Zoom 2 doubles the box about the same centre (24, 24).
  draw_sprite_rotozoom(1, 20, 20, 0, 2);
  EXPECT_EQ(get_pixel(16, 16), GREEN);
  EXPECT_EQ(get_pixel(18, 18), BLUE);
  EXPECT_EQ(get_pixel(31, 31), RED);
  EXPECT_EQ(get_pixel(15, 16), BLACK);
  EXPECT_EQ(get_pixel(32, 31), BLACK);
  // Zoom 0 draws nothing visible.
  draw_sprite_rotozoom(1, 100, 20, 30, 0);
  for (int y = 18; y < 30; ++y) {
    for (int x = 98; x < 110; ++x) ASSERT_EQ(get_pixel(x, y), BLACK);
  }
  // Negative width mirrors: the red column lands on the left.
  draw_sprite_stretched(1, 140, 10, -8, 16);
  EXPECT_EQ(get_pixel(132, 10), RED);
  EXPECT_EQ(get_pixel(139, 10), GREEN);
  EXPECT_EQ(get_pixel(139, 11), GREEN);  // 16 high: each row twice
  EXPECT_EQ(get_pixel(139, 12), BLUE);
  EXPECT_EQ(get_pixel(140, 10), BLACK);
  EXPECT_EQ(get_pixel(131, 10), BLACK);
  // A negative zoom factor mirrors about the box's centre; factor 2 grows it evenly.
  draw_sprite_zoomed(1, 160, 10, -1, 2);
  EXPECT_EQ(get_pixel(160, 6), RED);
  EXPECT_EQ(get_pixel(167, 6), GREEN);
  EXPECT_EQ(get_pixel(167, 21), BLUE);
  EXPECT_EQ(get_pixel(167, 5), BLACK);
  EXPECT_EQ(get_pixel(167, 22), BLACK);
}

TEST_F(DrawingGl, AnimationFrames) {
  // 4 frames of 4 × 4 in two rows: frame n is filled with the colour n * 40.
  make_sprite(3, 8, 8, [](int32_t x, int32_t y) { return OPAQUE | ((x / 4 + 2 * (y / 4)) * 40 + 10); });
  set_smoothing(0);
  draw_animation(3, 2, 10, 10);
  EXPECT_EQ(get_pixel(10, 10), BLACK);  // not an animation yet: nothing
  set_animation_frame_size(3, 4, 4);
  draw_animation(3, 2, 10, 10);
  EXPECT_EQ(get_pixel(10, 10), 90u);
  EXPECT_EQ(get_pixel(13, 13), 90u);
  EXPECT_EQ(get_pixel(14, 13), BLACK);
  draw_animation_stretched(3, 1, 20, 10, 8, 8);
  EXPECT_EQ(get_pixel(20, 10), 50u);
  EXPECT_EQ(get_pixel(27, 17), 50u);
  EXPECT_EQ(get_pixel(28, 17), BLACK);
  draw_animation_rotozoom(3, 3, 40, 10, 90, 1);
  EXPECT_EQ(get_pixel(41, 11), 130u);
}

TEST_F(DrawingGl, RectanglesLinesAndPixels) {
  draw_rect(10, 10, -5, 3, WHITE);  // covers x 6..10, y 10..12
  for (int y = 9; y <= 13; ++y) {
    for (int x = 5; x <= 11; ++x) {
      bool inside = x >= 6 && x <= 10 && y >= 10 && y <= 12;
      EXPECT_EQ(get_pixel(x, y), inside ? WHITE : BLACK) << x << "," << y;
    }
  }
  draw_rect(30, 30, 2, -2, GREEN);  // y 29..30
  EXPECT_EQ(get_pixel(30, 29), GREEN);
  EXPECT_EQ(get_pixel(31, 30), GREEN);
  EXPECT_EQ(get_pixel(30, 31), BLACK);
  EXPECT_EQ(get_pixel(30, 28), BLACK);

  // A line from a point to itself sets exactly that pixel.
  draw_line(50, 50, 50, 50, RED);
  int lit = 0;
  for (int y = 47; y <= 53; ++y) {
    for (int x = 47; x <= 53; ++x) lit += get_pixel(x, y) != BLACK;
  }
  EXPECT_EQ(lit, 1);
  EXPECT_EQ(get_pixel(50, 50), RED);
  // Both end points are included, in either direction.
  draw_line(60, 40, 70, 40, WHITE);
  draw_line(80, 50, 80, 44, WHITE);
  for (int x = 60; x <= 70; ++x) EXPECT_EQ(get_pixel(x, 40), WHITE) << x;
  EXPECT_EQ(get_pixel(59, 40), BLACK);
  EXPECT_EQ(get_pixel(71, 40), BLACK);
  for (int y = 44; y <= 50; ++y) EXPECT_EQ(get_pixel(80, y), WHITE) << y;
  EXPECT_EQ(get_pixel(80, 43), BLACK);
  EXPECT_EQ(get_pixel(80, 51), BLACK);

  plot(3, 3, RED);
  EXPECT_EQ(get_pixel(3, 3), RED);
  EXPECT_EQ(raw_pixel(3, 3), RED);
  // The transparent colour draws invisibly.
  plot(4, 3, 0x8000FF);
  EXPECT_EQ(get_pixel(4, 3), BLACK);
}

// After a rectangle or a line the drawing colour is white with the global alpha again, for
// whatever draws next in the current colour (here OpenGL called directly, as a program may).
TEST_F(DrawingGl, RectanglesAndLinesLeaveTheColourWhiteWithTheGlobalAlpha) {
  auto current_colour = [] {
    flush_drawing();
    GLfloat c[4] = {0, 0, 0, 0};
    glGetFloatv(GL_CURRENT_COLOR, c);
    return std::vector<float>(c, c + 4);
  };
  const std::vector<float> half_white = {1.0f, 1.0f, 1.0f, 0.5f};
  set_alpha_mode(-0.5);
  draw_rect(0, 0, 4, 4, RED);
  draw_rect(10, 0, 4, 4, RED);
  EXPECT_EQ(current_colour(), half_white);
  auto half = [](uint32_t pixel, int shift) {  // the channel at shift is about 128, others 0
    return std::abs(static_cast<int>((pixel >> shift) & 0xFF) - 128) <= 1 && (pixel & ~(0xFFu << shift)) == 0;
  };
  EXPECT_TRUE(half(get_pixel(1, 1), 0));  // both red at half alpha over black
  EXPECT_TRUE(half(get_pixel(11, 1), 0));
  draw_line(20, 0, 30, 0, GREEN);
  EXPECT_EQ(current_colour(), half_white);

  draw_rect(40, 0, 4, 4, GREEN);
  flush_drawing();
  gl_set_enabled(GL_TEXTURE_2D, false);
  glBegin(GL_QUADS);
  glVertex2f(50, 0);
  glVertex2f(54, 0);
  glVertex2f(54, 4);
  glVertex2f(50, 4);
  glEnd();
  uint32_t grey = get_pixel(51, 1);
  EXPECT_TRUE(std::abs(static_cast<int>(grey & 0xFF) - 128) <= 1) << std::hex << grey;
  EXPECT_EQ(grey & 0xFF, (grey >> 8) & 0xFF);
  EXPECT_EQ(grey & 0xFF, (grey >> 16) & 0xFF);
  EXPECT_TRUE(half(get_pixel(41, 1), 8));
}

TEST_F(DrawingGl, ColourKeyOfBmpAndRgbPngButNotOfAlphaPng) {
  auto keyed = [](int32_t x, int32_t) { return OPAQUE | (x == 1 ? 0x8000FFu : WHITE); };
  std::string bmp = write_image("k.bmp", 4, 4, keyed);
  std::string png = write_image("k.png", 4, 4, keyed);  // RGBA: the key does not apply
  load_sprite(bmp.c_str(), 1);
  EXPECT_EQ(g_runtime.error_code, 0);
  load_sprite(png.c_str(), 2);
  draw_rect(0, 0, 100, 20, GREEN);
  draw_sprite(1, 10, 5);
  draw_sprite(2, 20, 5);
  EXPECT_EQ(get_pixel(10, 6), WHITE);
  EXPECT_EQ(get_pixel(11, 6), GREEN);
  EXPECT_EQ(get_pixel(21, 6), 0x8000FFu);
  int32_t w, h;
  get_sprite_size(1, w, h);
  EXPECT_EQ(w, 4);
  EXPECT_EQ(h, 4);

  // A missing file: error 3 and an empty slot; an empty path only deletes.
  load_sprite(dir.file("missing.png").c_str(), 1);
  EXPECT_EQ(g_runtime.error_code, 3);
  get_sprite_size(1, w, h);
  EXPECT_EQ(w, 0);
  load_sprite("", 2);
  EXPECT_EQ(g_runtime.error_code, 0);
  EXPECT_EQ(get_sprite_texture(2), 0u);
  EXPECT_EQ(find_free_sprite(), 65503);
}

TEST_F(DrawingGl, AlphaModesAndAlphaTest) {
  // Left pixel opaque white, right pixel fully transparent with colour (10, 20, 30).
  make_sprite(1, 2, 1, [](int32_t x, int32_t) { return x == 0 ? (OPAQUE | WHITE) : 0x001E140Au; });
  set_smoothing(0);
  draw_rect(0, 0, 200, 40, 0x646464);
  draw_sprite(1, 10, 10);
  EXPECT_EQ(get_pixel(10, 10), WHITE);
  EXPECT_EQ(get_pixel(11, 10), 0x646464u);

  set_alpha_mode(0);  // opaque, no blending: the transparent pixel's colour shows
  draw_sprite(1, 20, 10);
  EXPECT_EQ(get_pixel(21, 10), 0x1E140Au);

  set_alpha_mode(-0.5);  // half transparent
  draw_sprite(1, 30, 10);
  uint32_t half = get_pixel(30, 10);
  EXPECT_NEAR(static_cast<int>(half & 0xFF), (255 + 100) / 2, 2);

  set_alpha_mode(0.5);  // additive with half the light
  draw_sprite(1, 40, 10);
  EXPECT_NEAR(static_cast<int>(get_pixel(40, 10) & 0xFF), 100 + 128, 2);
  EXPECT_EQ(get_pixel(41, 10), 0x646464u);

  set_alpha_mode(-1);
  make_sprite(2, 1, 1, [](int32_t, int32_t) { return 0x80FFFFFFu; });  // alpha 128
  set_alpha_test(0.6);
  draw_sprite(2, 50, 10);
  EXPECT_EQ(get_pixel(50, 10), 0x646464u);
  set_alpha_test(0.4);
  draw_sprite(2, 51, 10);
  EXPECT_NE(get_pixel(51, 10), 0x646464u);
  set_alpha_test(1);
  EXPECT_FLOAT_EQ(device->alpha_test_threshold, 1.0f);
}

TEST_F(DrawingGl, ABackgroundIsKeptWhileItsFileIsUnchangedAndLoadedAgainWhenItChanges) {
  auto solid = [](uint32_t colour) { return [colour](int32_t, int32_t) { return OPAQUE | colour; }; };
  const std::string path = write_image("sky.png", 64, 32, solid(RED));
  load_background(path.c_str());
  ASSERT_EQ(get_pixel(10, 10), RED);

  // Paint the tile behind the runtime's back: a reload would bring red back, a kept tile
  // still shows the paint.
  auto paint_tile = [&](uint32_t colour) {
    flush_drawing();
    const std::vector<uint32_t> texels(512 * 512, OPAQUE | colour);
    gl_bind_texture(device->backgrounds[0].textures[0]);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 512, 512, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
  };
  paint_tile(BLUE);
  for (int pass = 0; pass < 3; ++pass) {
    load_background(path.c_str());
    EXPECT_EQ(g_runtime.error_code, 0);
    EXPECT_EQ(get_pixel(10, 10), BLUE) << "pass " << pass << ": the loaded tiles are reused";
  }

  // New bytes of the same size under the same modification time are seen at once.
  const auto stamp = std::filesystem::last_write_time(path);
  write_image("sky.png", 64, 32, solid(GREEN));
  std::filesystem::last_write_time(path, stamp);
  load_background(path.c_str());
  EXPECT_EQ(get_pixel(10, 10), GREEN);

  // Another file with the same bytes shows the same picture; a dropped background is made
  // anew; a file that became unreadable drops the image (error 3, black).
  const std::string twin = write_image("twin.png", 64, 32, solid(GREEN));
  paint_tile(WHITE);
  load_background(twin.c_str());
  EXPECT_EQ(get_pixel(10, 10), WHITE);
  set_background_colour(0);
  load_background(twin.c_str());
  EXPECT_EQ(get_pixel(10, 10), GREEN);
  write_file(dir.file("twin.png"), "not an image");
  load_background(twin.c_str());
  EXPECT_EQ(g_runtime.error_code, 3);
  EXPECT_EQ(device->backgrounds[0].columns, 0);
  EXPECT_EQ(get_pixel(10, 10), BLACK);
}

TEST_F(DrawingGl, BackgroundImageTilesAndCapture) {
  // 600 × 40: two tiles of 512 side by side.
  std::string path = write_image("bg.png", 600, 40, [](int32_t x, int32_t y) {
    return OPAQUE | static_cast<uint32_t>(x % 256) | (static_cast<uint32_t>(y * 5) << 8) |
           (x >= 512 ? 0xFF0000u : 0);
  });
  load_background(path.c_str());
  EXPECT_EQ(g_runtime.error_code, 0);
  EXPECT_EQ(device->backgrounds[0].columns, 2);
  EXPECT_EQ(device->backgrounds[0].rows, 1);
  EXPECT_EQ(get_pixel(0, 0), 0u);
  EXPECT_EQ(get_pixel(5, 5), 5u | (25u << 8));
  EXPECT_EQ(get_pixel(300, 5), 44u | (25u << 8));
  EXPECT_EQ(get_pixel(511, 39), 255u | (195u << 8));
  EXPECT_EQ(get_pixel(512, 3), 0u | (15u << 8) | 0xFF0000u);
  EXPECT_EQ(get_pixel(599, 0), 87u | 0xFF0000u);
  EXPECT_EQ(get_pixel(600, 0), BLACK);  // beyond the image: the tile's transparent part
  EXPECT_EQ(get_pixel(10, 40), BLACK);

  // The frame start draws it again over whatever was there.
  draw_rect(0, 0, W, H, WHITE);
  device->draw_background(0);
  EXPECT_EQ(get_pixel(511, 39), 255u | (195u << 8));

  // A missing file: error 3 and a black background without an image.
  load_background(dir.file("none.png").c_str());
  EXPECT_EQ(g_runtime.error_code, 3);
  EXPECT_EQ(device->backgrounds[0].columns, 0);
  EXPECT_EQ(get_pixel(300, 20), BLACK);

  // Capture: the window becomes background image 0.
  draw_rect(0, 0, 20, 10, RED);
  draw_rect(600, 150, 40, 10, GREEN);
  capture_background();
  EXPECT_EQ(device->backgrounds[0].columns, 1);
  set_alpha_mode(-1);
  draw_rect(0, 0, W, H, WHITE);
  device->draw_background(0);
  EXPECT_EQ(get_pixel(19, 9), RED);
  EXPECT_EQ(get_pixel(20, 9), BLACK);
  EXPECT_EQ(get_pixel(639, 159), GREEN);
  EXPECT_EQ(get_pixel(599, 149), BLACK);
}

TEST_F(DrawingGl, GrabSpriteCopiesTheScreenAndKeysOutTheTransparentColour) {
  draw_rect(10, 10, 6, 4, RED);
  plot(12, 11, 0x8000FF);  // invisible: draw the key colour opaque instead
  set_alpha_mode(0);
  plot(13, 11, 0x8000FF);
  set_alpha_mode(-1);
  grab_sprite(5, 10, 10, 6, 4);
  int32_t w, h;
  get_sprite_size(5, w, h);
  EXPECT_EQ(w, 6);
  EXPECT_EQ(h, 4);
  EXPECT_EQ(device->sprites[5].texture_width, 16);
  Image image;
  ASSERT_TRUE(device->read_sprite_pixels(5, image));
  EXPECT_EQ(image.at(0, 0)[0], 255);
  EXPECT_EQ(image.at(0, 0)[3], 255);
  EXPECT_EQ(image.at(3, 1)[3], 0);  // the key-coloured pixel became transparent
  EXPECT_EQ(image.at(2, 1)[0], 255);
  set_smoothing(0);
  draw_rect(100, 10, 10, 10, GREEN);
  draw_sprite(5, 100, 10);
  EXPECT_EQ(get_pixel(100, 10), RED);
  EXPECT_EQ(get_pixel(103, 11), GREEN);
  EXPECT_EQ(get_pixel(105, 13), RED);
  EXPECT_EQ(get_pixel(106, 13), GREEN);
  // The probe pixel at (4, 4) was put back.
  EXPECT_EQ(get_pixel(4, 4), BLACK);
  grab_sprite(5, 0, 0, 0, 4);
  EXPECT_EQ(get_sprite_texture(5), 0u);
}

TEST_F(DrawingGl, PolygonsWithTextureAndVertexColours) {
  make_sprite(1, 8, 8, marker);
  set_smoothing(0);
  // A textured quad as a fan over the whole image, twice the size.
  start_polygon(1, 0);
  polygon_vertex(10, 10, 0, 0, WHITE);
  polygon_vertex(26, 10, 8, 0, WHITE);
  polygon_vertex(26, 26, 8, 8, WHITE);
  polygon_vertex(10, 26, 0, 8, WHITE);
  end_polygon();
  EXPECT_EQ(get_pixel(10, 10), GREEN);
  EXPECT_EQ(get_pixel(25, 12), RED);
  EXPECT_EQ(get_pixel(12, 24), BLUE);
  // Untextured separate triangles in one colour.
  start_polygon(-1, 1);
  polygon_vertex(40, 10, 0, 0, GREEN);
  polygon_vertex(60, 10, 0, 0, GREEN);
  polygon_vertex(40, 30, 0, 0, GREEN);
  end_polygon();
  EXPECT_EQ(get_pixel(41, 11), GREEN);
  EXPECT_EQ(get_pixel(58, 28), BLACK);
  // Solid colours afterwards still draw in their own colour.
  draw_rect(70, 10, 2, 2, RED);
  EXPECT_EQ(get_pixel(70, 10), RED);
  draw_sprite(1, 80, 10);
  EXPECT_EQ(get_pixel(87, 15), RED);
}

TEST_F(DrawingGl, QueuedQuadsGiveTheSamePixelsAsDrawingEachAtOnce) {
  make_sprite(1, 32, 32, [](int32_t x, int32_t y) {
    return static_cast<uint32_t>((x + y) * 4) << 24 | static_cast<uint32_t>(x * 8) | (y * 8) << 8 | 0x400000;
  });
  make_sprite(2, 16, 16, [](int32_t x, int32_t) { return OPAQUE | static_cast<uint32_t>(x * 16) << 16; });
  auto scene = [&](bool flush_each) {
    set_background_colour(0x203040);
    for (int i = 0; i < 60; ++i) {
      if (i % 15 == 0) set_alpha_mode(i % 30 == 0 ? -0.7 : 0.4);
      if (i % 20 == 7) draw_rect(i * 5, i % 50, 30, 20, 0x10 * i);
      if (i % 2) {
        draw_sprite(1, i * 9 % (W - 32), i * 7 % (H - 32));
      } else {
        draw_sprite_rotozoom(i % 3 ? 1 : 2, i * 11 % (W - 40), i * 13 % (H - 40), i * 17.3, 0.5 + i % 4 * 0.4);
      }
      if (flush_each) flush_drawing();
    }
    std::vector<uint8_t> pixels = all_pixels();
    set_alpha_mode(-1);
    return pixels;
  };
  std::vector<uint8_t> queued = scene(false);
  std::vector<uint8_t> each = scene(true);
  EXPECT_TRUE(queued == each);
}

TEST_F(DrawingGl, UnscaledSpritesLookTheSameWithEitherFilter) {
  // Odd sizes, half-transparent texels and a busy background: draw_sprite (which may filter
  // by nearest texel) must match the same box drawn through draw_sprite_stretched (linear).
  make_sprite(1, 13, 7, [](int32_t x, int32_t y) {
    return static_cast<uint32_t>((x * 37 + y * 11) % 256) << 24 | static_cast<uint32_t>(x * 19) |
           static_cast<uint32_t>(y * 31) << 8 | 0x550000;
  });
  auto scene = [&](bool stretched) {
    set_background_colour(0);
    for (int i = 0; i < 40; ++i) draw_rect(i * 16, 0, 8, H, 0x30 * (i % 5) + 0x102000);
    for (int i = 0; i < 50; ++i) {
      const int32_t x = i * 23 % (W - 13), y = i * 17 % (H - 7);
      if (stretched) {
        draw_sprite_stretched(1, x, y, 13, 7);
      } else {
        draw_sprite(1, x, y);
      }
    }
    return all_pixels();
  };
  EXPECT_TRUE(scene(false) == scene(true));
}

// Pixels of two pictures that differ, and by how much at most (in 1/255 per channel).
struct PictureDifference {
  int pixels = 0;
  int most = 0;
};
PictureDifference difference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  PictureDifference d;
  for (size_t i = 0; i + 3 < a.size() && i + 3 < b.size(); i += 4) {
    int most = 0;
    for (size_t c = i; c < i + 3; ++c) most = std::max(most, std::abs(a[c] - b[c]));
    if (most) ++d.pixels;
    d.most = std::max(d.most, most);
  }
  return d;
}

TEST_F(DrawingGl, SpritesCutToTheirVisibleTexelsDrawTheSamePixels) {
  // 40 × 30 with a visible part away from the edges (alpha rising towards its middle); a
  // sprite showing nothing; one whose visible part touches the top and left edges.
  make_sprite(1, 40, 30, [](int32_t x, int32_t y) -> uint32_t {
    if (x < 9 || x > 27 || y < 6 || y > 20) return 0x00FFFFFFu;  // transparent, not black
    return static_cast<uint32_t>(40 + (x - 9) * 6 + (y - 6) * 5) << 24 | static_cast<uint32_t>(x * 6) |
           static_cast<uint32_t>(y * 8) << 8 | 0x300000;
  });
  make_sprite(2, 20, 20, [](int32_t, int32_t) { return 0x00FF00FFu; });
  make_sprite(3, 24, 24, [](int32_t x, int32_t y) { return x + y < 12 ? OPAQUE | GREEN : 0u; });
  set_animation_frame_size(1, 20, 15);
  auto scene = [&](bool cut, bool turned) {
    gl_set_quad_trimming(cut);
    set_background_colour(0);
    for (int i = 0; i < 40; ++i) draw_rect(i * 16, 0, 8, H, 0x30 * (i % 5) + 0x102000);
    for (int i = 0; i < 36; ++i) {
      if (i % 12 == 0) set_alpha_mode(i % 24 == 0 ? -1 : 0.6);  // blended, then added
      if (i == 30) set_alpha_test(0.0);
      set_smoothing(i % 2);
      const int32_t x = i * 17 % (W - 60), y = i * 29 % (H - 50);
      const int32_t id = 1 + i % 3;
      if (!turned) {
        switch (i % 4) {
          case 0: draw_sprite(id, x, y); break;
          case 1: draw_sprite_stretched(id, x, y, i % 8 == 1 ? -53 : 61, 37); break;
          case 2: draw_sprite_zoomed(id, x, y, i % 8 == 2 ? -1.5 : 1.5, 0.75); break;
          default: draw_animation(1, i % 4, x, y); break;
        }
      } else {
        draw_sprite_rotozoom(id, x, y, i * 23.7, 0.6 + i % 3 * 0.5);
      }
    }
    set_alpha_test(1.0);
    set_alpha_mode(-1);
    gl_set_quad_trimming(true);
    return all_pixels();
  };
  const int64_t cut_before = gl_cut_quad_count();
  const std::vector<uint8_t> upright = scene(true, false);
  EXPECT_GT(gl_cut_quad_count(), cut_before);  // the scene did cut quads
  EXPECT_TRUE(upright == scene(false, false));
  // Turned sprites may differ by the rounding of the cut corners: at most 1/255 in a few
  // pixels of their edges.
  const PictureDifference turned = difference(scene(true, true), scene(false, true));
  EXPECT_LE(turned.most, 1);
  EXPECT_LE(turned.pixels, 40) << "of " << W * H;
  std::printf("turned sprites: %d of %d pixels differ, by at most %d/255\n", turned.pixels, W * H, turned.most);

  // Without blending a transparent texel is drawn (here white with alpha 0): nothing is cut.
  set_alpha_mode(0);
  draw_sprite(2, 100, 40);
  EXPECT_EQ(get_pixel(110, 50), 0xFF00FFu);
  set_alpha_mode(-1);

  // A copy of the screen into a loaded sprite shows whole, outside its old visible part too.
  set_background_colour(0);
  draw_rect(0, 0, 40, 30, RED);
  grab_sprite(3, 0, 0, 40, 30);
  set_background_colour(0);
  draw_sprite(3, 100, 40);
  EXPECT_EQ(get_pixel(138, 68), RED);
  EXPECT_EQ(get_pixel(100, 40), RED);
}

TEST_F(DrawingGl, TheQueuesOwnProgramsDrawWhatTheFixedPipelineDraws) {
  make_sprite(1, 32, 32, [](int32_t x, int32_t y) {
    return static_cast<uint32_t>((x + y) * 4) << 24 | static_cast<uint32_t>(x * 8) | (y * 8) << 8 | 0x400000;
  });
  make_sprite(2, 10, 14, [](int32_t x, int32_t y) { return OPAQUE | static_cast<uint32_t>(x * 25) << 16 | y * 18; });
  set_animation_frame_size(1, 16, 16);
  auto scene = [&](bool programs, bool turned, bool rects) {
    gl_set_quad_programs(programs);
    set_background_colour(0x102030);
    for (int i = 0; i < 48; ++i) {
      // Replaced (opaque white), modulated by a global alpha, added; then an alpha test.
      if (i % 12 == 0) set_alpha_mode(i % 36 == 0 ? -1 : i % 36 == 12 ? -0.45 : 0.7);
      if (i == 40) set_alpha_test(0.5);
      set_smoothing(i % 3 == 0);
      const int32_t x = i * 19 % (W - 70), y = i * 31 % (H - 60);
      const int32_t id = 1 + i % 2;
      if (turned) {
        draw_sprite_rotozoom(id, x + 20, y + 20, i * 17.9, 0.5 + i % 4 * 0.45);
        continue;
      }
      switch (i % 5) {
        case 0: draw_sprite(id, x, y); break;
        case 1: draw_sprite_stretched(id, x, y, i % 10 == 1 ? -45 : 67, 29); break;
        case 2: draw_sprite_zoomed(id, x, y, 2.5, i % 10 == 2 ? -0.75 : 1.25); break;
        case 3: draw_animation(1, i % 4, x, y); break;
        default:  // untextured: the fixed pipeline
          if (rects) draw_rect(x, y, 30, 12, 0x305070);
          break;
      }
    }
    set_alpha_test(1.0);
    set_alpha_mode(-1);
    std::vector<uint8_t> pixels = all_pixels();
    gl_set_quad_programs(true);
    return pixels;
  };
  // The rasterizer's first frames of a fresh window may round a blended rectangle
  // differently: a scene is drawn first to compare frames drawn alike. Its 48 sprites are too
  // few to make the programs; a queue of 256 sprites makes them.
  scene(true, false, false);
  EXPECT_FALSE(gl_quad_programs_available());
  for (int i = 0; i < 255; ++i) draw_sprite(2, i % 64, i / 64);
  flush_drawing();
  EXPECT_FALSE(gl_quad_programs_available());
  for (int i = 0; i < 256; ++i) draw_sprite(2, i % 64, i / 64);
  flush_drawing();
  const std::vector<uint8_t> upright = scene(true, false, false);
  EXPECT_EQ(gl_quad_programs_available(), driver_has_glsl_130());  // else the fixed pipeline
  EXPECT_TRUE(upright == scene(false, false, false));
  // Blended rectangles drawn by the fixed pipeline in a frame with the programs' sprites:
  // the rasterizer may round them by 1/255 otherwise than in a frame without.
  EXPECT_LE(difference(scene(true, false, true), scene(false, false, true)).most, 1);
  const PictureDifference turned = difference(scene(true, true, false), scene(false, true, false));
  EXPECT_LE(turned.most, 1);
  EXPECT_LE(turned.pixels, 40) << "of " << W * H;
  std::printf("turned sprites with the queue's programs: %d of %d pixels differ, by at most %d/255\n",
              turned.pixels, W * H, turned.most);
}

TEST_F(DrawingGl, SpritesAndCollisionFromLoadedFiles) {
  // 10 × 10 becomes a 16 × 16 texture; 100 × 33 a 128 × 64 one.
  make_sprite(1, 10, 10, [](int32_t, int32_t) { return OPAQUE; });
  EXPECT_EQ(device->sprites[1].texture_width, 16);
  EXPECT_FLOAT_EQ(device->sprites[1].u_max, 0.625f);
  EXPECT_NE(device->sprites[1].mip_texture, 0u);
  make_sprite(2, 100, 33, [](int32_t, int32_t) { return OPAQUE; });
  EXPECT_EQ(device->sprites[2].texture_width, 128);
  EXPECT_EQ(device->sprites[2].texture_height, 64);

  // Two 8 × 8 sprites whose only solid pixel is the top-left (id 3) or bottom-right (id 4).
  make_sprite(3, 8, 8, [](int32_t x, int32_t y) { return x == 0 && y == 0 ? OPAQUE : 0u; });
  make_sprite(4, 8, 8, [](int32_t x, int32_t y) { return x == 7 && y == 7 ? OPAQUE : 0u; });
  EXPECT_EQ(sprite_collision(3, 10, 10, 4, 3, 3), 1);
  EXPECT_EQ(sprite_collision(3, 10, 10, 4, 4, 3), 0);   // boxes overlap, pixels do not
  EXPECT_EQ(sprite_collision(3, 10, 10, 4, 50, 50), 0);
  set_animation_frame_size(4, 4, 4);  // frame 3 is the bottom-right quarter
  EXPECT_EQ(animation_collision(3, 0, 10, 10, 4, 3, 7, 7), 1);
  EXPECT_EQ(animation_collision(3, 0, 10, 10, 4, 0, 7, 7), 0);

  // Saved and loaded again, a sprite keeps its pixels.
  make_sprite(6, 5, 3, [](int32_t x, int32_t y) { return OPAQUE | (x * 50) | (y * 80) << 8; });
  std::string path = dir.file("saved.png");
  save_sprite(path.c_str(), 6);
  EXPECT_EQ(g_runtime.error_code, 0);
  load_sprite(path.c_str(), 7);
  Image a, b;
  ASSERT_TRUE(device->read_sprite_pixels(6, a));
  ASSERT_TRUE(device->read_sprite_pixels(7, b));
  EXPECT_EQ(std::memcmp(a.pixels, b.pixels, 5 * 3 * 4), 0);
  save_sprite(path.c_str(), 8);  // empty slot
  EXPECT_EQ(g_runtime.error_code, 3);
  // The screen saved as a BMP has the window's size.
  draw_rect(0, 0, 3, 3, RED);
  std::string shot = dir.file("screen.bmp");
  save_screen(shot.c_str());
  Image screen;
  ASSERT_TRUE(decode_any(screen, shot.c_str(), -1));
  EXPECT_EQ(screen.width, W);
  EXPECT_EQ(screen.height, H);
  EXPECT_EQ(screen.at(0, 0)[0], 255);
}

TEST_F(DrawingGl, SpritesFromAndToArrays) {
  RtArray<int32_t> pixels;
  array_dim(pixels, 6);
  for (int32_t i = 0; i < 6; ++i) pixels.data[i] = static_cast<int32_t>(0xFF000000u | (i * 40));
  pixels.data[4] = 0x11223344;  // a half-transparent pixel keeps its alpha
  ASSERT_TRUE(create_sprite_from_array(pixels, 9, 3, 2));
  EXPECT_FALSE(create_sprite_from_array(pixels, 9, 2, 2));  // 6 entries for 4 pixels
  EXPECT_FALSE(create_sprite_from_array(pixels, 9, 4, 2));
  int32_t w, h;
  get_sprite_size(9, w, h);
  EXPECT_EQ(w, 3);  // unchanged by the failures
  RtArray<int32_t> back;
  ASSERT_TRUE(sprite_to_array(9, back));
  EXPECT_EQ(back.dim_i, 3);
  EXPECT_EQ(back.dim_j, 2);
  for (int32_t i = 0; i < 6; ++i) EXPECT_EQ(back.data[i], pixels.data[i]) << i;
  EXPECT_EQ(back(1, 1), 0x11223344);
  set_smoothing(0);
  draw_sprite(9, 10, 10);
  EXPECT_EQ(get_pixel(12, 10), 80u);
  EXPECT_FALSE(sprite_to_array(10, back));

  // A file decoded straight into an array, with the transparent colour applied.
  std::string path = write_image("a.bmp", 5, 5, [](int32_t x, int32_t y) {
    return OPAQUE | (x == 2 && y == 2 ? 0x8000FFu : 0x102030u);
  });
  int32_t iw = 0, ih = 0;
  ASSERT_TRUE(load_image_to_array(path.c_str(), iw, ih, back));
  EXPECT_EQ(iw, 5);
  EXPECT_EQ(ih, 5);
  EXPECT_EQ(back(0, 0), static_cast<int32_t>(0xFF102030u));
  EXPECT_EQ(back(2, 2), 0x00102030);  // transparent, coloured from its neighbours
  EXPECT_FALSE(load_image_to_array(dir.file("none.bmp").c_str(), iw, ih, back));
  EXPECT_EQ(g_runtime.error_code, 3);
}

TEST_F(DrawingGl, NormalMapsFromTheBlueChannel) {
  // A ramp rising to the right in blue: the normal leans left (red below 128), not up or down.
  std::string path = write_image("ramp.png", 16, 16, [](int32_t x, int32_t) {
    return OPAQUE | static_cast<uint32_t>(40 + x * 4) << 16;
  });
  load_normal_map_sprite(path.c_str(), 4);
  ASSERT_EQ(g_runtime.error_code, 0);
  Image image;
  ASSERT_TRUE(device->read_sprite_pixels(4, image));
  const uint8_t* p = image.at(8, 8);
  EXPECT_LT(p[0], 128);
  EXPECT_EQ(p[1], 128);
  EXPECT_GT(p[2], 200);
  EXPECT_EQ(p[3], 255);
}

}  // namespace
}  // namespace qrn::test
