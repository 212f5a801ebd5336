// Texture and quad arithmetic of the sprite store and the drawing commands, as plain
// functions on sprite slots (no GL), so sizes and texture coordinates can be tested alone.
#pragma once

#include <cstdint>

#include "gfx/device.h"

namespace qrn {

// The texture side for an image side: the smallest power of two that is at least the size,
// never below 16 (1..16 give 16, 17..32 give 32).
int32_t texture_size_for(int32_t size);

// Fills a slot's sizes for a w × h image in a tw × th texture (u_max, v_max included).
void set_slot_sizes(SpriteSlot& slot, int32_t w, int32_t h, int32_t tw, int32_t th);

// A texture rectangle: u across, v from the bottom row (v0) to the top row (v1).
struct TextureRect {
  float u0, v0, u1, v1;
};

// The texture rectangle of animation frame n; false when the slot is not an animation
// (no frame size). inset moves every edge half a texel inwards.
bool animation_frame_rect(const SpriteSlot& slot, int32_t frame, bool inset, TextureRect& out);

// Corners of a quad centred on (cx, cy) with half sizes hw, hh, turned counter-clockwise
// on screen (y down) by angle degrees: order (-hw, hh) (hw, hh) (hw, -hh) (-hw, -hh) before
// turning, the order the texture corners (u0, v0) (u1, v0) (u1, v1) (u0, v1) follow.
void rotated_corners(double cx, double cy, double hw, double hh, double angle_degrees,
                     float xs[4], float ys[4]);

// The rectangle a negative size extends to the left or upwards: start at x + w + 1, |w| wide.
void normalise_rect(int32_t& x, int32_t& y, int32_t& w, int32_t& h);

}  // namespace qrn
