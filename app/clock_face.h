// The clock face: time text, version, hands, sun or moon, cycle indicator, peak/low/bedtime
// or wake-time rows, test-mode counter, and the menu, about box and editor on top.
// Drawing goes through a ClockCanvas so tests can record the exact calls.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

// A canvas that keeps the calls made on it, to compare one frame's face with another's and to
// draw it later on another canvas.
class FaceRecording : public ClockCanvas {
 public:
  void set_font(int32_t slot, double scale) override { calls_.push_back({SET_FONT, slot, scale, 0, 0, 0, {}}); }
  void print_text(const RtString& text, double x, double y, int32_t proportional) override {
    calls_.push_back({PRINT_TEXT, proportional, x, y, 0, 0, text.c_str()});
  }
  void draw_sprite(int32_t id, int32_t x, int32_t y) override {
    calls_.push_back({DRAW_SPRITE, id, static_cast<double>(x), static_cast<double>(y), 0, 0, {}});
  }
  void draw_sprite_rotated(int32_t id, double x, double y, double angle) override {
    calls_.push_back({DRAW_ROTATED, id, x, y, angle, 0, {}});
  }
  // Makes the same calls, in the same order, on canvas.
  void replay(ClockCanvas& canvas) const;
  bool operator==(const FaceRecording& other) const { return calls_ == other.calls_; }
  bool operator!=(const FaceRecording& other) const { return !(*this == other); }
  bool empty() const { return calls_.empty(); }

 private:
  enum Kind : int32_t { SET_FONT, PRINT_TEXT, DRAW_SPRITE, DRAW_ROTATED };
  struct Call {
    Kind kind;
    int32_t number;  // slot, sprite id or the proportional flag
    double a, b, c, d;
    std::string text;
    bool operator==(const Call& o) const {
      return kind == o.kind && number == o.number && a == o.a && b == o.b && c == o.c && d == o.d &&
             text == o.text;
    }
  };
  std::vector<Call> calls_;
};

// The canvas the face draws on: the runtime's own commands unless a test installed another.
ClockCanvas& clock_canvas();
// Installs a canvas (not owned); null restores the runtime's. Returns the previous one.
ClockCanvas* install_clock_canvas(ClockCanvas* canvas);

// Draws one frame of the face from g_clock (the cycle must be computed for this frame).
void draw_clock_face();

}  // namespace qrn
