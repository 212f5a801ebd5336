// Font grids: 128 characters in 16 columns by 8 rows of equal cells, one colour, transparent
// background, as the runtime's bitmap-font loader reads them (it measures each character's
// inked columns, so nothing but the glyph may carry alpha inside a cell).
#pragma once

#include <cstdint>
#include <vector>

#include "canvas.h"
#include "typeface.h"

namespace media {

// The loader measures every column that holds a pixel with any alpha, so a font can carry
// spacing of its own: "blank" columns hold one pixel of alpha 1 (invisible on screen) that
// the loader counts as part of the character.
struct FontGridStyle {
    int cell = 32;              // cell width and height in pixels
    double pixel_size = 14;     // FreeType em size (letters about 17 px from ascender to descender)
    double squeeze = 0.76;      // horizontal scale of the letters
    int figure_ink = 6;         // digits are narrowed until none is inked wider than this
    int one_ink = 0;            // "1" narrowed until it inks at most this wide (0: like the digits)
    int tracking = 0;           // blank columns after every character
    int space = 0;              // advance of a space (0: j's own); the loader copies j's advance
    int baseline = 13;          // baseline row inside a cell
    Rgba colour;                // letter colour
    bool outline = false;       // a dark outline all round (each character 2 px wider), else a
                                // dark rim kept inside the character's own columns
    float outline_alpha = 0.5f; // strength of the outline or rim
};

// The finished grid as 8-bit RGBA, (16 x cell) by (8 x cell).
std::vector<uint8_t> make_font_grid(const Typeface& face, const FontGridStyle& style);

}  // namespace media
