// The 3D engine object: created with the 2D device at start-up, stepped once per frame,
// reset with the drawing state, destroyed after the device at shutdown.
#pragma once

#include <cstdint>

namespace qrn {

class OpenGLZodidoze;

class Zodidoze3D {
 public:
  explicit Zodidoze3D(OpenGLZodidoze* device) : device_(device) {}
  virtual ~Zodidoze3D() = default;
  Zodidoze3D(const Zodidoze3D&) = delete;
  Zodidoze3D& operator=(const Zodidoze3D&) = delete;

  // Once per frame, from show_screen.
  virtual void frame_step() {}
  // Back to the per-frame defaults, from reset_draw_state.
  virtual void reset_frame_settings() {}
  // The 2D viewport is about to change to this window rectangle.
  virtual void viewport_changed(int32_t /*x*/, int32_t /*y*/, int32_t /*width*/, int32_t /*height*/) {}

  OpenGLZodidoze* device() const { return device_; }

 private:
  OpenGLZodidoze* device_;
};

}  // namespace qrn
