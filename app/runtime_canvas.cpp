// The face's canvas on the runtime's drawing commands.
#include "clock_face.h"

namespace qrn {

namespace {
class RuntimeCanvas : public ClockCanvas {
 public:
  void set_font(int32_t slot, double scale) override { qrn::set_font(slot, scale); }
  void print_text(const RtString& text, double x, double y, int32_t proportional) override {
    qrn::print_text(text, x, y, proportional);
  }
  void draw_sprite(int32_t id, int32_t x, int32_t y) override { qrn::draw_sprite(id, x, y); }
  void draw_sprite_rotated(int32_t id, double x, double y, double angle) override {
    qrn::draw_sprite_rotated(id, x, y, angle);
  }
};
}  // namespace

ClockCanvas* installed_clock_canvas();  // clock_face.cpp

ClockCanvas& clock_canvas() {
  static RuntimeCanvas runtime_canvas;
  ClockCanvas* installed = installed_clock_canvas();
  return installed ? *installed : runtime_canvas;
}

}  // namespace qrn
