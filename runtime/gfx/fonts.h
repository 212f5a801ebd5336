// Bitmap fonts and text: font slots loaded from grid images, proportional printing.
#pragma once

#include <cstdint>

#include "core/text_value.h"

namespace qrn {

// Loads a font file into slot index (a missing file: error 3 and the built-in font) and
// selects it with scale 1.
void load_font(const RtString& path, int32_t index);
// Selects font index (0..31) and sets its scale.
void set_font(int32_t index, double scale);

}  // namespace qrn
