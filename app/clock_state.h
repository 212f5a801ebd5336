// The clock's state: the wake time as stored and on the 12-hour dial, the derived bedtime and
// cycle origin, the current time, the day-cycle results and the overlays.
#pragma once

#include <cstdint>

#include "quarnel.h"

namespace qrn {

// Sprite slots of the clock's images.
enum : int32_t {
  SPRITE_MENU = 1,
  SPRITE_MINUTE_HAND = 2,
  SPRITE_HOUR_HAND = 3,
  SPRITE_MOON = 4,
  SPRITE_SUN = 5,
  SPRITE_CYCLE_A = 6,
  SPRITE_CYCLE_NIGHT = 7,
  SPRITE_CYCLE_B = 8,
  SPRITE_CYCLE_PEAK = 9,
  SPRITE_PEAK_DIAL = 10,
  SPRITE_SECOND_HAND = 11,
  SPRITE_ABOUT = 12,
};

// Font slots of the clock's bitmap fonts.
enum : int32_t {
  FONT_GRAY = 1,
  FONT_LIGHT_GREEN = 2,
  FONT_LIGHT_BLUE = 3,
  FONT_YELLOW = 4,
  FONT_RED = 5,
  FONT_GREEN = 6,
  FONT_WHITE = 7,
};

struct ClockState {
  RtString wake_text;  // stored wake time, four digits HHMM (24-hour)
  int32_t wake_hour12 = 0;
  int32_t wake_minute = 0;
  RtString wake_ampm;
  int32_t wake_minutes = 0;
  int32_t bed_minutes = 0;
  int32_t bed_hour12 = 0;
  int32_t bed_minute = 0;
  RtString bed_ampm;
  int32_t cycle_origin = 0;

  int32_t now_hour = 0;  // 0..23 as read; the 12-hour dial value once the minutes are counted
  int32_t now_minute = 0;
  int32_t now_second = 0;
  int32_t now_minutes = 0;
  RtString now_ampm;
  RtString now_minute_text;

  int32_t elapsed = 0;  // minutes since cycle_origin; then minutes awake or asleep
  int32_t is_day = 0;
  int32_t sun_moon_angle = 0;
  int32_t indicator_angle = 0;
  int32_t indicator_y = 0;
  int32_t indicator_sprite = 0;
  int32_t minutes_to_peak = 0;
  int32_t minutes_to_low = 0;

  int32_t show_hands = 0;
  int32_t menu_open = 0;
  int32_t about_open = 0;
  int32_t editor_open = 0;
  int32_t test_mode = 0;
  double editor_row_y = 0;

  double mouse_x = 0, mouse_y = 0, mouse_left = 0, mouse_right = 0;
  double mouse_left_before = 0;  // the left button at the previous read: a click is a press
};

// The clock's one state record.
extern ClockState g_clock;

// 0..9 for the characters "0".."9", -1 for any other code.
int32_t digit_value(int32_t code);
// Hour 0..23 on the 12-hour dial: 0 is 12 "am", 12 is 12 "pm", 13..23 are 1..11 "pm".
void to_12_hour(int32_t hour, int32_t& dial_hour, RtString& ampm);
// The stored form of a wake time as a person may have written it by hand ("730", "7:30",
// "07.30"), as four digits HHMM; "0700" when it is not a time of day.
RtString normalise_wake_text(const RtString& stored);
// Reads the wake time from "ORVL.INI" (default "0700"); the store stays open.
void load_wake_time();
// Derives every wake field from wake_text; closes the menu and the editor, shows the hands.
void parse_wake_time();
// Writes the edited wake time back to "ORVL.INI" as four digits.
void commit_wake_time();

}  // namespace qrn
