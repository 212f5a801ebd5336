// The clock's main routine (see clock_main.h).
#include "clock_main.h"

#include "clock_face.h"
#include "clock_menu.h"
#include "clock_state.h"
#include "day_cycle.h"
#include "quarnel.h"

namespace qrn {

namespace {

struct MediaFile {
  int32_t slot;
  const char* path;
};

const MediaFile kSprites[] = {
    {SPRITE_MENU, "Media/OV_Popup.png"},     {SPRITE_MINUTE_HAND, "Media/OV_Min.png"},
    {SPRITE_HOUR_HAND, "Media/OV_Hr.png"},    {SPRITE_MOON, "Media/OV_Moon.png"},
    {SPRITE_SUN, "Media/OV_Sun.png"},         {SPRITE_CYCLE_A, "Media/OV_Quilo.png"},
    {SPRITE_CYCLE_NIGHT, "Media/OV_Quilo1.png"}, {SPRITE_CYCLE_B, "Media/OV_Quilo2.png"},
    {SPRITE_CYCLE_PEAK, "Media/OV_Quilo3.png"}, {SPRITE_PEAK_DIAL, "Media/OV_SDial.png"},
    {SPRITE_SECOND_HAND, "Media/OV_Sec.png"}, {SPRITE_ABOUT, "Media/OV_About.png"},
};

const MediaFile kFonts[] = {
    {FONT_GRAY, "Media/Arial18BLtGray.png"}, {FONT_LIGHT_GREEN, "Media/Arial18BLtGreen.png"},
    {FONT_LIGHT_BLUE, "Media/Arial18BLtBlue.png"}, {FONT_YELLOW, "Media/Arial18BYellow.png"},
    {FONT_RED, "Media/Arial18BRed.png"},     {FONT_GREEN, "Media/Arial18BGreen.png"},
    {FONT_WHITE, "Media/Arial18BWhite.png"},
};

// Two-digit field of the time text at position: 10 * tens + ones.
int32_t time_field(const RtString& time, int32_t position) {
  return 10 * digit_value(char_code_at(time, position)) + digit_value(char_code_at(time, position + 1));
}

}  // namespace

void read_current_time() {
  ClockState& c = g_clock;
  RtString time = platform_info("TIME");  // "YYYY-MM-DD hh:mm:ss"
  int32_t hour = time_field(time, 11);
  int32_t minute = time_field(time, 14);
  int32_t second = time_field(time, 17);
  if (c.test_mode) {
    c.now_hour = minute;
    c.now_minute = second;
    c.now_second = 0;
  } else {
    c.now_hour = hour;
    c.now_minute = minute;
    c.now_second = second;
  }
  if (c.now_hour > 23) c.now_hour %= 24;
}

bool clock_pass() {
  ClockState& c = g_clock;
  read_mouse(c.mouse_x, c.mouse_y, c.mouse_left, c.mouse_right);
  if (handle_click()) return true;
  read_current_time();
  compute_elapsed();
  to_12_hour(c.now_hour, c.now_hour, c.now_ampm);
  c.now_minute_text = c.now_minute <= 9 ? RtString("0") + c.now_minute : int_to_text(c.now_minute);
  if (c.elapsed >= 480 && c.elapsed <= 959) {
    load_background("Media/OV_Back2.png");
    c.is_day = 0;
  } else {
    load_background("Media/OV_Back1.png");
    c.is_day = 1;
  }
  // load_background has drawn this pass's background into the back buffer (the previous
  // show_screen reset the drawing state): presenting here would show the bare sky for a
  // frame on every pass, a visible blink of the face.
  place_in_cycle();
  draw_clock_face();
  show_screen();
  sleep_ms(c.test_mode ? FRAME_PAUSE_MS / 2 : FRAME_PAUSE_MS);
  return false;
}

int32_t clock_main() {
  for (const MediaFile& sprite : kSprites) load_sprite(sprite.path, sprite.slot);
  for (const MediaFile& font : kFonts) load_font(font.path, font.slot);
  show_system_pointer(1.0);
  set_pause_enabled(0);
  set_screen_size(200, 200, 1);
  set_background_colour(0);
  set_transparent_colour(0);
  load_wake_time();
  g_clock.test_mode = 0;
  for (;;) {
    parse_wake_time();
    while (!clock_pass()) {
    }
  }
}

}  // namespace qrn
