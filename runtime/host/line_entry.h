// Line entry: the user types a line over a still copy of the screen, frame by frame, until
// Enter (the editing rules are the keyboard's edit_text_line).
#pragma once

#include <cstdint>

#include "core/text_value.h"

namespace qrn {

// Lets the user type a line at (x, y) in the current font, appended to text; ends with Enter.
void read_text_line(RtString& text, int32_t x, int32_t y, int32_t kerning);
// A typed line read as a whole number or a number.
void read_text_line_int(int32_t& value, int32_t x, int32_t y, int32_t kerning);
void read_text_line_real(double& value, int32_t x, int32_t y, int32_t kerning);

}  // namespace qrn
