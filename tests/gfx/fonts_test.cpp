// Font grids, ink measurement and the built-in font's image on plain data, and the font
// commands that need no GL.
#include <gtest/gtest.h>

#include "core/errors.h"
#include "core/runtime_state.h"
#include "gfx/device.h"
#include "gfx/fonts.h"
#include "gfx/image.h"
#include "platform/fake_platform.h"
#include "runtime.h"

namespace qrn {
namespace {

TEST(FontGrid, WideImagesHold128AndTallOnes256) {
  const struct {
    int32_t w, h, cell_w, cell_h, count;
  } cases[] = {{256, 128, 16, 16, 128}, {256, 256, 16, 32, 128}, {128, 256, 8, 16, 256},
               {128, 64, 8, 8, 128},    {100, 30, 6, 3, 128}};
  for (const auto& c : cases) {
    FontGrid grid = font_grid(c.w, c.h);
    EXPECT_EQ(grid.cell_width, c.cell_w) << c.w << "x" << c.h;
    EXPECT_EQ(grid.cell_height, c.cell_h) << c.w << "x" << c.h;
    EXPECT_EQ(grid.glyph_count, c.count) << c.w << "x" << c.h;
  }
}

// Inks columns first..last (inclusive) of character c's cell in a 128 × 64 font image.
void ink(Image& image, int c, int first, int last) {
  for (int x = first; x <= last; ++x) image.at((c % 16) * 8 + x, (c / 16) * 8 + 3)[3] = 255;
}

TEST(MeasureFont, InkWidthsSpacingSpaceRuleAndTheUpperHalfCopy) {
  Image image;
  ASSERT_TRUE(image.resize(128, 64));
  ink(image, 'A', 2, 4);  // 3 columns inked from column 2: one spacing pixel
  ink(image, 'W', 0, 7);  // the whole cell: no spacing
  ink(image, 'j', 1, 3);
  ink(image, ' ', 0, 1);  // a space with some ink of its own
  FontSlot font;
  measure_font(image, font);

  const GlyphInfo& a = font.glyphs['A'];
  EXPECT_EQ(a.left, 2);
  EXPECT_EQ(a.advance, 4);
  EXPECT_FLOAT_EQ(a.u0, (1 * 8 + 2) / 128.0f);  // 'A' is 65: column 1
  EXPECT_FLOAT_EQ(a.u1, (1 * 8 + 2 + 4) / 128.0f);
  EXPECT_EQ(font.glyphs['W'].left, 0);
  EXPECT_EQ(font.glyphs['W'].advance, 8);
  EXPECT_EQ(font.glyphs['x'].left, 0);  // empty cell: the cell width
  EXPECT_EQ(font.glyphs['x'].advance, 8);

  // The space is as wide as "j" and starts at u 0; record 160 keeps the space as measured.
  EXPECT_EQ(font.glyphs['j'].advance, 4);
  EXPECT_EQ(font.glyphs[' '].advance, 4);
  EXPECT_FLOAT_EQ(font.glyphs[' '].u0, 0.0f);
  EXPECT_FLOAT_EQ(font.glyphs[' '].u1, 4 / 128.0f);
  EXPECT_EQ(font.glyphs[160].advance, 3);
  EXPECT_EQ(font.glyphs[128 + 'A'].advance, 4);
  EXPECT_FLOAT_EQ(font.glyphs[128 + 'A'].u0, a.u0);
}

TEST(MeasureFont, UsesThePowerOfTwoTextureWidth) {
  Image image;
  ASSERT_TRUE(image.resize(160, 80));  // texture 256 wide, cells 10 × 10
  image.at(10 * 1 + 5, 10 * 4 + 2)[3] = 1;  // 'A' (row 4, column 1), one inked column
  FontSlot font;
  measure_font(image, font);
  EXPECT_EQ(font.glyphs['A'].left, 5);
  EXPECT_EQ(font.glyphs['A'].advance, 2);
  EXPECT_FLOAT_EQ(font.glyphs['A'].u0, 15 / 256.0f);
}

TEST(BuiltinFont, PatternsWithOutline) {
  Image image;
  build_builtin_font_image(image);
  ASSERT_EQ(image.width, 128);
  ASSERT_EQ(image.height, 64);
  // Codes 0..31 stay transparent.
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 128; ++x) ASSERT_EQ(image.at(x, y)[3], 0);
  }
  // '1' (49: column 1, row 3) is 004210C4: pattern row 0 has bit 2 lit, row 1 bits 1 and 2.
  auto px = [&](int c, int x, int y) { return image.at((c % 16) * 8 + x, (c / 16) * 8 + y); };
  const uint8_t* lit = px('1', 1 + 2, 1 + 0);
  EXPECT_EQ(lit[0], 255);
  EXPECT_EQ(lit[3], 255);
  EXPECT_EQ(px('1', 1 + 1, 1 + 1)[0], 255);
  EXPECT_EQ(px('1', 1 + 1, 1 + 0)[0], 8);  // beside and above lit pixels: outline
  EXPECT_EQ(px('1', 1 + 1, 1 + 0)[3], 255);
  EXPECT_EQ(px('1', 0, 0)[3], 0);  // touches nothing
  // Every lit pixel of every pattern is white; every pixel the table does not light is not.
  for (int c = 32; c < 128; ++c) {
    for (int r = 0; r < 6; ++r) {
      for (int k = 0; k < 5; ++k) {
        bool on = (BUILTIN_GLYPHS[c - 32] >> (5 * r + k)) & 1;
        EXPECT_EQ(px(c, 1 + k, 1 + r)[0] == 255, on) << c << " " << r << " " << k;
      }
    }
  }
}

class FontCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_runtime_state();
    g_runtime.device = new OpenGLZodidoze();
  }
  void TearDown() override {
    reset_runtime_state();
  }
  FakePlatformScope fake;
};

TEST_F(FontCommands, SetFontChecksTheIndex) {
  set_font(3, 2.5);
  EXPECT_EQ(get_font(), 3);
  EXPECT_FLOAT_EQ(g_runtime.device->font_scale[3], 2.5f);
  set_font(32, 1.0);
  EXPECT_EQ(g_runtime.error_code, 7);
  EXPECT_EQ(get_font(), 3);
  set_font(-1, 1.0);
  EXPECT_EQ(get_font(), 3);
}

TEST_F(FontCommands, TextWidthAndFontSizeFollowTheScale) {
  OpenGLZodidoze& device = *g_runtime.device;
  // A measured 128 × 64 font in slot 2 (the texture is not needed for measuring).
  Image image;
  ASSERT_TRUE(image.resize(128, 64));
  ink(image, 'i', 3, 3);
  measure_font(image, device.fonts[2]);
  device.sprites[FONT_SLOT_BASE + 2].width = 128;
  device.sprites[FONT_SLOT_BASE + 2].height = 64;
  set_font(2, 1.5);
  EXPECT_EQ(text_width("ii", 1), 6);  // two advances of 2, times 1.5
  EXPECT_EQ(text_width("ii", 0), 24);
  EXPECT_EQ(text_width("", 1), 0);
  // Bytes of the upper half count with their copied records.
  EXPECT_EQ(text_width("i\xE9", 1), static_cast<int32_t>((2 + 2) * 1.5));
  int32_t w, h;
  get_font_size(w, h);
  EXPECT_EQ(w, 12);
  EXPECT_EQ(h, 12);
  double dw, dh;
  set_font(2, 0.3);
  get_font_size(dw, dh);
  EXPECT_DOUBLE_EQ(dw, 8 * static_cast<double>(0.3f));
  get_font_size(w, h);
  EXPECT_EQ(w, 2);  // 2.4 cut toward zero
}

}  // namespace
}  // namespace qrn
