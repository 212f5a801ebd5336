// Menu, about box and wake-time editor (see clock_menu.h).
#include "clock_menu.h"

#include "clock_face.h"
#include "clock_state.h"

namespace qrn {

namespace {

void toggle_ampm(RtString& ampm) { ampm = ampm == "pm" ? "am" : "pm"; }
int32_t hour_up(int32_t hour) { return hour + 1 == 13 ? 1 : hour + 1; }
int32_t hour_down(int32_t hour) { return hour - 1 == 0 ? 12 : hour - 1; }

void choose_from_menu(ClockState& c) {
  const double y = c.mouse_y;
  if (y > 25 && y < 55) end_command();
  if (y < 80) c.editor_open = 1;
  if (y > 79 && y < 110) c.test_mode = !c.test_mode;
  if (y > 109 && y < 135) c.show_hands = !c.show_hands;
  if (y > 134 && y < 160) c.about_open = 1;
}

// Returns true when the click saved the wake time.
bool edit(ClockState& c) {
  const double x = c.mouse_x, y = c.mouse_y, y0 = c.editor_row_y;
  if (x < 90 || x > 150 || y < y0 - 20 || y > y0 + 32) {
    commit_wake_time();
    return true;
  }
  const bool up = y < y0;
  const bool down = y > y0 + 10;
  if (!up && !down) return false;
  if (x > 90 && x < 105) {
    c.wake_hour12 = up ? hour_up(c.wake_hour12) : hour_down(c.wake_hour12);
  } else if (x > 110 && x < 130) {
    if (up) {
      if (++c.wake_minute == 60) {
        c.wake_minute = 0;
        c.wake_hour12 = hour_up(c.wake_hour12);
      }
    } else if (--c.wake_minute < 0) {
      c.wake_minute = 59;
      c.wake_hour12 = hour_down(c.wake_hour12);
    }
  } else if (x > 135) {
    toggle_ampm(c.wake_ampm);
  }
  return false;
}

}  // namespace

bool handle_click() {
  ClockState& c = g_clock;
  const bool pressed = c.mouse_left != 0 && c.mouse_left_before == 0;
  c.mouse_left_before = c.mouse_left;
  if (!pressed) return false;
  if (c.menu_open && c.mouse_x > 10 && c.mouse_x < 180 && !c.editor_open) {
    sleep_ms(CLICK_PAUSE_MS);
    c.menu_open = 0;
    choose_from_menu(c);
  } else if (!c.menu_open && !c.about_open && !c.editor_open) {
    c.menu_open = 1;
    sleep_ms(CLICK_PAUSE_MS);
  } else if (c.about_open) {
    c.about_open = 0;
    sleep_ms(CLICK_PAUSE_MS);
  } else if (c.editor_open) {
    sleep_ms(CLICK_PAUSE_MS);
    return edit(c);
  }
  return false;
}

void draw_wake_editor() {
  ClockState& c = g_clock;
  ClockCanvas& canvas = clock_canvas();
  const double y0 = c.is_day ? 115 : 75;
  c.editor_row_y = y0;
  auto text = [&](const RtString& value, double x, double y) { canvas.print_text(value, x, y, 1); };
  auto hour = [&](int32_t value, double y) { text(int_to_text(value), value <= 9 ? 96 : 90, y); };
  auto minute = [&](int32_t value, double y) {
    if (value > 9) {
      text(int_to_text(value), 112, y);
    } else {
      text("0", 112, y);
      text(int_to_text(value), 120, y);
    }
  };

  canvas.set_font(FONT_YELLOW, 1.0);
  text("Awake", 45, y0);
  hour(c.wake_hour12, y0);
  text(":", 105, y0);
  minute(c.wake_minute, y0);
  text(c.wake_ampm, 135, y0);

  canvas.set_font(FONT_GRAY, 1.0);
  hour(hour_up(c.wake_hour12), y0 - 15);
  if (c.wake_minute == 59) {
    text("00", 112, y0 - 15);
  } else {
    minute(c.wake_minute + 1, y0 - 15);
  }
  text(c.wake_ampm == "pm" ? "am" : "pm", 135, y0 - 15);

  hour(hour_down(c.wake_hour12), y0 + 15);
  if (c.wake_minute == 0) {
    text("59", 112, y0 + 15);
  } else {
    minute(c.wake_minute - 1, y0 + 15);
  }
}

}  // namespace qrn
