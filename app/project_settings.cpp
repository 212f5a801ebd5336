// The clock's project settings (see project_settings.h).
#include "project_settings.h"

namespace qrn {

RtString& project_title() {
  static RtString title;  // created on first use, released at exit
  return title;
}

void apply_project_settings() {
  RuntimeState& rt = g_runtime;
  rt.screen_width = ProjectSettings::screen_width;
  rt.screen_height = ProjectSettings::screen_height;
  rt.full_screen = ProjectSettings::full_screen;
  rt.exclusive_mouse = ProjectSettings::exclusive_mouse;
  rt.frame_rate = ProjectSettings::frame_rate;
  rt.debug_mode = ProjectSettings::debug_mode;
  rt.multisample = ProjectSettings::multisample;
  project_title() = ProjectSettings::project_title;
}

}  // namespace qrn
