// Off-screen screens of the device. Drawing into sprites through framebuffer objects is not
// built yet: no screen can be created, so there is never one to end.
#include "core/runtime_state.h"
#include "gfx/device.h"
#include "gfx/gl_state.h"

namespace qrn {

void OpenGLZodidoze::init_framebuffers() {}

void OpenGLZodidoze::end_offscreen() {
  if (g_runtime.current_offscreen == -1) return;
  flush_drawing();
  g_runtime.current_offscreen = -1;
}

}  // namespace qrn
