// Bitmap fonts and text: font slots loaded from grid images (16 cells per row, 128 or 256
// characters), proportional printing from measured ink widths, and a built-in font made
// from a table of 5 × 6 bit patterns.
#pragma once

#include <cstdint>

#include "core/text_value.h"

namespace qrn {

struct FontSlot;
struct Image;

// Loads a font file into slot index (a missing file: error 3 and the built-in font) and
// selects it with scale 1. An index above 31 sets error 7 and loads into the current font.
void load_font(const RtString& path, int32_t index);
// Selects font index (0..31) and sets its scale; another index sets error 7.
void set_font(int32_t index, double scale);
// The current font.
int32_t get_font();
// Prints text in the current font with its scale, the pen starting at (ceil(x), ceil(y)).
void print_text(const RtString& text, double x, double y, int32_t proportional);
// Printed width in pixels, scale included.
int32_t text_width(const RtString& text, int32_t proportional);
// Cell width and height of the current font, times its scale.
void get_font_size(int32_t& width, int32_t& height);
void get_font_size(double& width, double& height);

// ---- Plain font data (no GL) ------------------------------------------------------------------

// Cell grid of a font image: 16 cells per row; a wide (or square) image holds 128 characters
// in 8 rows, a tall one 256 in 16 rows.
struct FontGrid {
  int32_t cell_width = 0;
  int32_t cell_height = 0;
  int32_t rows = 0;
  int32_t glyph_count = 0;
};
FontGrid font_grid(int32_t image_width, int32_t image_height);

// Measures every character's inked columns and fills the glyph records (the space as wide as
// "j"; in a 128-character font the records 128..255 repeat 0..127).
void measure_font(const Image& image, FontSlot& font);

// Bit patterns of the built-in font, codes 32..127: bit 5 × row + column lights a pixel.
extern const uint32_t BUILTIN_GLYPHS[96];
// The built-in font's 128 × 64 image: white glyphs with a near-black outline.
void build_builtin_font_image(Image& image);

}  // namespace qrn
