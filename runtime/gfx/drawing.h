// Sprite drawing: sprites plain, rotated, zoomed and stretched; backgrounds, colours, alpha
// modes, lines, rectangles and polygons.
#pragma once

#include <cstdint>

namespace qrn {

// Clear colour of following frames (0x00BBGGRR); removes background image 0.
void set_background_colour(uint32_t colour);

}  // namespace qrn
