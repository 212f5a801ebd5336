// Texture and quad arithmetic (see sprite_geometry.h).
#include "gfx/sprite_geometry.h"

#include <cmath>

namespace qrn {

int32_t texture_size_for(int32_t size) {
  int32_t side = 16;
  while (side < size && side < (1 << 30)) side *= 2;
  return side;
}

void set_slot_sizes(SpriteSlot& slot, int32_t w, int32_t h, int32_t tw, int32_t th) {
  slot.width = static_cast<int16_t>(w);
  slot.height = static_cast<int16_t>(h);
  slot.texture_width = static_cast<int16_t>(tw);
  slot.texture_height = static_cast<int16_t>(th);
  slot.u_max = static_cast<float>(w) / static_cast<float>(tw);
  slot.v_max = static_cast<float>(h) / static_cast<float>(th);
}

bool animation_frame_rect(const SpriteSlot& slot, int32_t frame, bool inset, TextureRect& out) {
  const int32_t fw = slot.frame_width, fh = slot.frame_height;
  if (fw <= 0 || fh <= 0 || slot.texture_width <= 0 || slot.texture_height <= 0) return false;
  const int32_t per_row = slot.width / fw;
  const int32_t column = per_row > 0 ? frame % per_row : frame;
  const int32_t row = per_row > 0 ? frame / per_row : 0;
  const float tw = slot.texture_width, th = slot.texture_height;
  const float margin = inset ? 0.5f : 0.0f;
  const float bottom = static_cast<float>(slot.height - fh * (row + 1));
  out.u0 = (static_cast<float>(column * fw) + margin) / tw;
  out.u1 = (static_cast<float>((column + 1) * fw) - margin) / tw;
  out.v0 = (bottom + margin) / th;
  out.v1 = (bottom + static_cast<float>(fh) - margin) / th;
  return true;
}

void rotated_corners(double cx, double cy, double hw, double hh, double angle_degrees,
                     float xs[4], float ys[4]) {
  // Quarter turns are exact, so a sprite turned by 90 degrees keeps pixel-exact edges.
  double s, c;
  double quarters = angle_degrees / 90.0;
  if (quarters == std::floor(quarters) && std::fabs(quarters) < 1e9) {
    static const double SINES[4] = {0, 1, 0, -1};
    int q = static_cast<int>(std::fmod(quarters, 4.0));
    if (q < 0) q += 4;
    s = SINES[q];
    c = SINES[(q + 1) % 4];
  } else {
    double radians = angle_degrees * 0.017453292;
    s = std::sin(radians);
    c = std::cos(radians);
  }
  const double px[4] = {-hw, hw, hw, -hw};
  const double py[4] = {hh, hh, -hh, -hh};
  for (int i = 0; i < 4; ++i) {
    // A turn about the axis (0, 0, -1): with y pointing down the sprite turns
    // counter-clockwise on screen.
    xs[i] = static_cast<float>(cx + px[i] * c + py[i] * s);
    ys[i] = static_cast<float>(cy - px[i] * s + py[i] * c);
  }
}

void normalise_rect(int32_t& x, int32_t& y, int32_t& w, int32_t& h) {
  if (w < 0) {
    x = x + w + 1;
    w = -w;
  }
  if (h < 0) {
    y = y + h + 1;
    h = -h;
  }
}

}  // namespace qrn
