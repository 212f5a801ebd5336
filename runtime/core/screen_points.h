// Point and direction transforms between the program's picture and the window, for an
// orientation o (0..3 quarter turns) on a width x height window.
#pragma once

#include <cstdint>

namespace qrn {

// The window pixel a point drawn at (x, y) in program coordinates lands on.
void program_to_window_point(int32_t o, int32_t width, int32_t height, int32_t& x, int32_t& y);
// The program coordinates of a window pixel.
void window_to_program_point(int32_t o, int32_t width, int32_t height, int32_t& x, int32_t& y);
// A direction in program coordinates as a direction in the window.
void program_to_window_direction(int32_t o, double& dx, double& dy);

}  // namespace qrn
