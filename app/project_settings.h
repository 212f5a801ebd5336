// The clock's compiled-in project settings and the step that copies them into the runtime.
#pragma once

#include <cstdint>

#include "quarnel.h"

namespace qrn {

struct ProjectSettings {
  static constexpr int32_t screen_width = 240;  // first window: 240 wide, 320 high
  static constexpr int32_t screen_height = 320;
  static constexpr int32_t full_screen = 0;
  static constexpr int32_t exclusive_mouse = 1;
  static constexpr int32_t frame_rate = 60;
  static constexpr int32_t debug_mode = 0;
  static constexpr int32_t multisample = 0;
  static constexpr const char* project_title = "Orvela";
};

// Writes the settings into RuntimeState and sets the project title text.
void apply_project_settings();
// The project title (the first window's caption); empty until the settings are applied.
RtString& project_title();

}  // namespace qrn
