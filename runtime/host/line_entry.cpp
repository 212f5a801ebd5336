// Line entry (see line_entry.h): a still copy of the screen under the line being typed, with
// a blinking cursor.
#include "host/line_entry.h"

#include <utility>

#include "core/runtime_state.h"
#include "core/text_value.h"
#include "gfx/device.h"
#include "gfx/drawing.h"
#include "gfx/fonts.h"
#include "host/frame_loop.h"
#include "input/keyboard.h"

namespace qrn {

namespace {

// The background image that holds the screen while a line is typed.
constexpr int32_t LINE_BACKGROUND = 3;

// Copies the screen into the line's background image. The capture command fills image 0, so
// the program's image 0 is kept in the line's slot meanwhile and put back afterwards.
void capture_line_background(OpenGLZodidoze& device) {
  std::swap(device.backgrounds[0], device.backgrounds[LINE_BACKGROUND]);
  capture_background();
  std::swap(device.backgrounds[0], device.backgrounds[LINE_BACKGROUND]);
}

}  // namespace

void read_text_line(RtString& text, int32_t x, int32_t y, int32_t kerning) {
  if (OpenGLZodidoze* device = g_runtime.device) capture_line_background(*device);
  auto show = [&](const RtString& shown) {
    if (OpenGLZodidoze* device = g_runtime.device) device->draw_background(LINE_BACKGROUND);
    print_text(shown, x, y, kerning);
    show_screen();
  };
  show(text);
  edit_text_line(text, show, [] {
    reset_draw_state();
    refresh_keys();
  });
  if (OpenGLZodidoze* device = g_runtime.device) device->delete_background(LINE_BACKGROUND);
}

void read_text_line_int(int32_t& value, int32_t x, int32_t y, int32_t kerning) {
  RtString line;
  read_text_line(line, x, y, kerning);
  value = text_to_int(line);
}

void read_text_line_real(double& value, int32_t x, int32_t y, int32_t kerning) {
  RtString line;
  read_text_line(line, x, y, kerning);
  value = text_to_double(line);
}

}  // namespace qrn
