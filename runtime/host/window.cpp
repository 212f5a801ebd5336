// Window, GL context and screen geometry of the device. Placeholder until the host module is
// built: no window can be made.
#include "gfx/device.h"

namespace qrn {

bool OpenGLZodidoze::create_window(ModuleHandle, int32_t, int32_t, int32_t, int32_t, int32_t) { return false; }
bool OpenGLZodidoze::enter_window_mode() { return true; }
bool OpenGLZodidoze::enter_full_screen() { return false; }
void OpenGLZodidoze::hide_window() {}
void OpenGLZodidoze::release_window() {}
void OpenGLZodidoze::setup_2d() {}
void OpenGLZodidoze::set_viewport_raw(int32_t, int32_t, int32_t, int32_t, float) {}

}  // namespace qrn
