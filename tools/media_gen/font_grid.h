// Font grids: 128 characters in 16 columns by 8 rows of equal cells, one colour, transparent
// background, as the runtime's bitmap-font loader reads them (it measures each character's
// inked columns, so nothing but the glyph may carry alpha inside a cell).
#pragma once

#include <cstdint>
#include <vector>

#include "canvas.h"
#include "typeface.h"

namespace media {

struct FontGridStyle {
    int cell = 32;              // cell width and height in pixels
    double pixel_size = 14;     // FreeType em size (letters about 17 px from ascender to descender)
    double squeeze = 0.76;      // horizontal scale of the letters
    int figure_ink = 6;         // digits are narrowed until none is inked wider than this
    int baseline = 13;          // baseline row inside a cell
    Rgba colour;                // letter colour
    float outline_alpha = 0.5f; // strength of the dark rim that keeps letters legible on light sky
};

// The finished grid as 8-bit RGBA, (16 x cell) by (8 x cell).
std::vector<uint8_t> make_font_grid(const Typeface& face, const FontGridStyle& style);

}  // namespace media
