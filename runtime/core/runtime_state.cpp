// The process-wide runtime record.
#include "core/runtime_state.h"
#include "platform/video.h"

namespace qrn {

RuntimeState g_runtime;

bool platform_get_pointer_touch_info(int32_t pointer_id, int32_t& screen_x, int32_t& screen_y) {
  return os_video().pointer_location(pointer_id, screen_x, screen_y);
}

bool platform_enable_mouse_in_pointer(bool on) { return os_video().set_mouse_pointer_messages(on); }

}  // namespace qrn
