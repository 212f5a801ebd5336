// The clock face (see clock_face.h).
#include "clock_face.h"

#include "clock_menu.h"
#include "clock_state.h"

namespace qrn {

namespace {

ClockCanvas* g_installed_canvas = nullptr;

// Font changes and texts with the face's conventions: scale 1, proportional spacing.
void font(int32_t slot) { clock_canvas().set_font(slot, 1.0); }
void text(const RtString& value, double x, double y) { clock_canvas().print_text(value, x, y, 1); }
void rotated(int32_t sprite, double y, double angle) { clock_canvas().draw_sprite_rotated(sprite, 0, y, angle); }

// "Pk: " or "Lo: " row for a time minutes after midnight (wrapped into the day).
void cycle_time_row(const char* label, int32_t minutes, double y) {
  if (minutes > 1439) minutes -= 1440;
  int32_t minute = minutes % 60;
  int32_t dial_hour;
  RtString ampm;
  to_12_hour(minutes / 60, dial_hour, ampm);
  RtString minute_text = minute <= 9 ? RtString("0") + minute : int_to_text(minute);
  text(label + int_to_text(dial_hour) + ":" + minute_text, 5, y);
  text(ampm, dial_hour <= 9 ? 62 : 68, y);
}

void draw_hands(const ClockState& c) {
  rotated(SPRITE_MINUTE_HAND, 0, 360 - 6 * c.now_minute);
  rotated(SPRITE_HOUR_HAND, 0, 360 - (30 * c.now_hour + c.now_minute / 2));
  rotated(SPRITE_SECOND_HAND, 0, 360 - 6 * c.now_second);
}

void draw_test_counter(const ClockState& c, double y) {
  font(FONT_RED);
  text("TEST ", 82, y);
  text(int_to_text(c.elapsed), 75, y + 15);
  text("mins", 105, y + 15);
  font(FONT_GRAY);
}

// Hour and minute of a wake or bed row: "h", ":", then "0" and m, or mm.
void time_fields(int32_t hour12, int32_t minute, double hour_x, double colon_x, double minute_x,
                 double ones_x, double y) {
  text(int_to_text(hour12), hour_x, y);
  text(":", colon_x, y);
  if (minute <= 9) {
    text("0", minute_x, y);
    text(int_to_text(minute), ones_x, y);
  } else {
    text(int_to_text(minute), minute_x, y);
  }
}

void draw_night(const ClockState& c) {
  if (c.test_mode) draw_test_counter(c, 60);
  font(FONT_YELLOW);
  text("Wake", 5, 180);
  time_fields(c.wake_hour12, c.wake_minute, 45, 60, 65, 72, 180);
  text(c.wake_ampm, 81, 180);
  rotated(SPRITE_MOON, 0, c.sun_moon_angle);
  rotated(SPRITE_CYCLE_NIGHT, 38, 360 - c.indicator_angle);
}

void draw_day(const ClockState& c) {
  if (c.test_mode) draw_test_counter(c, 125);
  if (c.indicator_y == -55) rotated(SPRITE_PEAK_DIAL, 0, 0);
  rotated(SPRITE_SUN, 0, c.sun_moon_angle);
  rotated(c.indicator_sprite, c.indicator_y, 360 - c.indicator_angle);
  if (c.minutes_to_peak == 0) {
    font(FONT_LIGHT_BLUE);
    text("Bed", 5, 180);
    time_fields(c.bed_hour12, c.bed_minute, 35, 50, 55, 61, 180);
    text(c.bed_ampm, 72, 180);
    return;
  }
  font(FONT_GREEN);
  cycle_time_row("Pk: ", c.now_minutes + c.minutes_to_peak, 5);
  font(FONT_LIGHT_BLUE);
  cycle_time_row("Lo: ", c.now_minutes + c.minutes_to_low, 180);
}

}  // namespace

ClockCanvas* installed_clock_canvas() { return g_installed_canvas; }

void FaceRecording::replay(ClockCanvas& canvas) const {
  for (const Call& call : calls_) {
    switch (call.kind) {
      case SET_FONT: canvas.set_font(call.number, call.a); break;
      case PRINT_TEXT: canvas.print_text(call.text.c_str(), call.a, call.b, call.number); break;
      case DRAW_SPRITE:
        canvas.draw_sprite(call.number, static_cast<int32_t>(call.a), static_cast<int32_t>(call.b));
        break;
      case DRAW_ROTATED: canvas.draw_sprite_rotated(call.number, call.a, call.b, call.c); break;
    }
  }
}

ClockCanvas* install_clock_canvas(ClockCanvas* canvas) {
  ClockCanvas* previous = g_installed_canvas;
  g_installed_canvas = canvas;
  return previous;
}

void draw_clock_face() {
  const ClockState& c = g_clock;
  font(FONT_GRAY);
  text(int_to_text(c.now_hour) + " : " + c.now_minute_text, 135, 180);
  text(c.now_ampm, c.now_hour <= 9 ? 172 : 176, 180);
  font(FONT_LIGHT_GREEN);
  text("Ver. 4.8", 145, 5);
  font(FONT_GRAY);
  if (c.show_hands) draw_hands(c);
  if (c.is_day) {
    draw_day(c);
  } else {
    draw_night(c);
  }
  if (c.menu_open) clock_canvas().draw_sprite(SPRITE_MENU, 10, 25);
  if (c.about_open) clock_canvas().draw_sprite(SPRITE_ABOUT, 10, 25);
  if (c.editor_open) draw_wake_editor();
}

}  // namespace qrn
