// Fuzz entry: a bitmap font from an image file: the input decoded as the font loader does
// (any format, the default colour key, edge fill), then every glyph measured. Each glyph's
// inked part must lie inside its cell.
#include <string>

#include "fuzz/fuzz_support.h"
#include "gfx/device.h"
#include "gfx/fonts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qrn;
  fuzz::MemoryInput input(data, size);
  Image image;
  if (!decode_any(image, input.name(), 0x008000FF)) return 0;
  fuzz::check_image(image);
  if (!image.alpha_from_file) edge_fill(image);
  FontSlot font;
  measure_font(image, font);
  const FontGrid grid = font_grid(image.width, image.height);
  for (int32_t c = 0; c < grid.glyph_count; ++c) {
    const GlyphInfo& glyph = font.glyphs[c];
    if (c != ' ' && grid.cell_width > 0 && glyph.left + glyph.advance > grid.cell_width) {
      fuzz::fail("glyph " + std::to_string(c) + " reaches past its cell");
    }
    if (!(glyph.u1 >= glyph.u0)) fuzz::fail("glyph " + std::to_string(c) + " has a negative width");
  }
  return 0;
}
