// Point and direction transforms (see screen_points.h).
#include "core/screen_points.h"

namespace qrn {

void program_to_window_point(int32_t o, int32_t width, int32_t height, int32_t& x, int32_t& y) {
  int32_t px = x, py = y;
  switch (o) {
    case 1: x = width - 1 - py; y = px; break;
    case 2: x = width - 1 - px; y = height - 1 - py; break;
    case 3: x = py; y = height - 1 - px; break;
    default: break;
  }
}

void window_to_program_point(int32_t o, int32_t width, int32_t height, int32_t& x, int32_t& y) {
  int32_t wx = x, wy = y;
  switch (o) {
    case 1: x = wy; y = width - 1 - wx; break;
    case 2: x = width - 1 - wx; y = height - 1 - wy; break;
    case 3: x = height - 1 - wy; y = wx; break;
    default: break;
  }
}

void program_to_window_direction(int32_t o, double& dx, double& dy) {
  double px = dx, py = dy;
  switch (o) {
    case 1: dx = -py; dy = px; break;
    case 2: dx = -px; dy = -py; break;
    case 3: dx = py; dy = -px; break;
    default: break;
  }
}

}  // namespace qrn
