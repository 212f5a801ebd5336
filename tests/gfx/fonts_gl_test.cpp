// Printing text on a real GL context: proportional advances, pixel snapping, scale, the
// 128-character limit and the built-in font's pixels.
#include "gfx/device.h"
#include "gfx/gl_fixture.h"

namespace qrn::test {
namespace {

constexpr uint32_t YELLOW = 0x00FFFF;

class FontsGl : public GfxGlTest {
 protected:
  // 128 × 64 font: "A" inked in columns 2..4 (white), "B" in 0..1 (yellow), "j" in 1..3.
  std::string write_font() {
    return write_image("font.png", 128, 64, [](int32_t x, int32_t y) -> uint32_t {
      const int32_t c = (y / 8) * 16 + x / 8, cx = x % 8;
      if (c == 'A' && cx >= 2 && cx <= 4) return OPAQUE | WHITE;
      if (c == 'B' && cx <= 1) return OPAQUE | YELLOW;
      if (c == 'j' && cx >= 1 && cx <= 3) return OPAQUE | WHITE;
      return 0;
    });
  }
};

TEST_F(FontsGl, ProportionalTextSnapsToWholePixelsAndAdvancesByInk) {
  load_font(write_font().c_str(), 1);
  ASSERT_EQ(g_runtime.error_code, 0);
  EXPECT_EQ(get_font(), 1);
  EXPECT_EQ(text_width("AB", 1), 4 + 3);
  print_text("AB", 10.2, 20, 1);  // the pen starts at column 11
  for (int y = 20; y < 28; ++y) {
    EXPECT_EQ(get_pixel(10, y), BLACK);
    EXPECT_EQ(get_pixel(11, y), WHITE) << y;
    EXPECT_EQ(get_pixel(13, y), WHITE);
    EXPECT_EQ(get_pixel(14, y), BLACK);  // the spacing pixel
    EXPECT_EQ(get_pixel(15, y), YELLOW);
    EXPECT_EQ(get_pixel(16, y), YELLOW);
    EXPECT_EQ(get_pixel(17, y), BLACK);
  }
  EXPECT_EQ(get_pixel(11, 19), BLACK);
  EXPECT_EQ(get_pixel(11, 28), BLACK);

  // A space is as wide as "j"; fixed width uses whole cells.
  print_text("A B", 0, 40, 1);
  EXPECT_EQ(get_pixel(8, 40), YELLOW);
  EXPECT_EQ(get_pixel(7, 40), BLACK);
  print_text("AB", 0, 60, 0);
  EXPECT_EQ(get_pixel(2, 60), WHITE);
  EXPECT_EQ(get_pixel(5, 60), BLACK);
  EXPECT_EQ(get_pixel(8, 60), YELLOW);

  // A byte from the upper half ends the text of a 128-character font.
  print_text("A\x80" "B", 0, 80, 1);
  EXPECT_EQ(get_pixel(2, 80), WHITE);
  EXPECT_EQ(get_pixel(4, 80), BLACK);
  EXPECT_EQ(get_pixel(5, 80), BLACK);
}

TEST_F(FontsGl, ScaleTwoDoublesWidthHeightAndAdvance) {
  load_font(write_font().c_str(), 1);
  set_font(1, 2.0);
  print_text("AB", 100, 20, 1);
  EXPECT_EQ(get_pixel(100, 20), WHITE);
  EXPECT_EQ(get_pixel(105, 35), WHITE);
  EXPECT_EQ(get_pixel(106, 20), BLACK);
  EXPECT_EQ(get_pixel(108, 20), YELLOW);
  EXPECT_EQ(get_pixel(111, 35), YELLOW);
  EXPECT_EQ(get_pixel(112, 20), BLACK);
  EXPECT_EQ(get_pixel(100, 36), BLACK);
  EXPECT_EQ(text_width("AB", 1), 14);
  int32_t w, h;
  get_font_size(w, h);
  EXPECT_EQ(w, 16);
  EXPECT_EQ(h, 16);
}

TEST_F(FontsGl, MissingFontFileLeavesTheBuiltInFont) {
  load_font(dir.file("nothing.png").c_str(), 0);
  EXPECT_EQ(g_runtime.error_code, 3);
  EXPECT_FLOAT_EQ(device->font_scale[0], 4.0f);
  EXPECT_EQ(find_free_font(), 31);
  set_font(0, 1.0);
  int32_t w, h;
  get_font_size(w, h);
  EXPECT_EQ(w, 8);
  EXPECT_EQ(h, 8);
  EXPECT_EQ(text_width("12", 1), 16);

  draw_rect(0, 90, 100, 40, GREEN);
  print_text("1", 0, 100, 0);
  const uint32_t pattern = BUILTIN_GLYPHS['1' - 32];
  auto lit = [&](int32_t x, int32_t y) {
    const int32_t k = x - 1, r = y - 1;
    return k >= 0 && k < 5 && r >= 0 && r < 6 && ((pattern >> (5 * r + k)) & 1);
  };
  for (int32_t y = 0; y < 8; ++y) {
    for (int32_t x = 0; x < 8; ++x) {
      uint32_t expected = GREEN;
      if (lit(x, y)) {
        expected = WHITE;
      } else if (lit(x - 1, y) || lit(x + 1, y) || lit(x, y - 1) || lit(x, y + 1)) {
        expected = 0x080808;
      }
      EXPECT_EQ(get_pixel(x, 100 + y), expected) << x << "," << y;
    }
  }
  // At its own scale of 4 every font pixel is a 4 × 4 block.
  set_font(0, 4.0);
  print_text("1", 40, 90, 1);
  EXPECT_EQ(get_pixel(40 + 4 * 3, 90 + 4 * 1), WHITE);
  EXPECT_EQ(get_pixel(40 + 4 * 3 + 3, 90 + 4 * 1 + 3), WHITE);
  EXPECT_EQ(get_pixel(40 + 4 * 3 + 4, 90 + 4 * 1), 0x080808u);

  // An index above 31: error 7, and the current font is loaded instead.
  set_font(2, 1.0);
  load_font(write_font().c_str(), 40);
  EXPECT_EQ(g_runtime.error_code, 7);
  EXPECT_EQ(get_font(), 2);
  EXPECT_EQ(device->sprites[FONT_SLOT_BASE + 2].width, 128);
}

}  // namespace
}  // namespace qrn::test
