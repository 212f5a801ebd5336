// The clock face: time text, version, hands, sun or moon, cycle indicator, peak/low/bedtime
// or wake-time rows, test-mode counter, and the menu, about box and editor on top.
// Drawing goes through a ClockCanvas so tests can record the exact calls.
#pragma once

#include <cstdint>

#include "quarnel.h"

namespace qrn {

// The four drawing commands the face uses.
class ClockCanvas {
 public:
  virtual ~ClockCanvas() = default;
  virtual void set_font(int32_t slot, double scale) = 0;
  virtual void print_text(const RtString& text, double x, double y, int32_t proportional) = 0;
  virtual void draw_sprite(int32_t id, int32_t x, int32_t y) = 0;
  virtual void draw_sprite_rotated(int32_t id, double x, double y, double angle) = 0;
};

// The canvas the face draws on: the runtime's own commands unless a test installed another.
ClockCanvas& clock_canvas();
// Installs a canvas (not owned); null restores the runtime's. Returns the previous one.
ClockCanvas* install_clock_canvas(ClockCanvas* canvas);

// Draws one frame of the face from g_clock (the cycle must be computed for this frame).
void draw_clock_face();

}  // namespace qrn
