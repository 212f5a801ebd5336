// The day cycle, row boundary by row boundary, for several wake times; the wake-time
// parsing and the 12-hour rule it rests on.
#include <gtest/gtest.h>

#include <string>

#include "clock_state.h"
#include "day_cycle.h"

using qrn::g_clock;

namespace {

void set_wake(const char* hhmm) {
  g_clock = qrn::ClockState{};
  g_clock.wake_text = hhmm;
  qrn::parse_wake_time();
}

void at(int hour, int minute) {
  g_clock.now_hour = hour;
  g_clock.now_minute = minute;
  qrn::compute_cycle();
}

// "h:mm am" of minutes since midnight taken as the described 12-hour text.
std::string clock_text(int minutes) {
  if (minutes > 1439) minutes -= 1440;
  int dial;
  qrn::RtString ampm;
  qrn::to_12_hour(minutes / 60, dial, ampm);
  char text[16];
  std::snprintf(text, sizeof text, "%d:%02d %s", dial, minutes % 60, ampm.data);
  return text;
}
std::string peak() { return clock_text(g_clock.now_minutes + g_clock.minutes_to_peak); }
std::string low() { return clock_text(g_clock.now_minutes + g_clock.minutes_to_low); }

}  // namespace

TEST(WakeTime, TwelveHourRuleAndDigits) {
  struct Case {
    int hour, dial;
    const char* ampm;
  } cases[] = {{0, 12, "am"}, {1, 1, "am"}, {11, 11, "am"}, {12, 12, "pm"}, {13, 1, "pm"}, {23, 11, "pm"}};
  for (const Case& c : cases) {
    int dial;
    qrn::RtString ampm;
    qrn::to_12_hour(c.hour, dial, ampm);
    EXPECT_EQ(dial, c.dial) << c.hour;
    EXPECT_STREQ(ampm.data, c.ampm) << c.hour;
  }
  EXPECT_EQ(qrn::digit_value('0'), 0);
  EXPECT_EQ(qrn::digit_value('9'), 9);
  EXPECT_EQ(qrn::digit_value('/'), -1);
  EXPECT_EQ(qrn::digit_value(':'), -1);
  EXPECT_EQ(qrn::digit_value(0), -1);
}

TEST(WakeTime, DerivedBedtimeAndCycleOrigin) {
  struct Case {
    const char* stored;
    int wake12, wake_minute;
    const char* wake_ampm;
    int bed12, bed_minute;
    const char* bed_ampm;
    int origin;
  } cases[] = {
      {"0700", 7, 0, "am", 11, 0, "pm", 900},  {"0000", 12, 0, "am", 4, 0, "pm", 480},
      {"1230", 12, 30, "pm", 4, 30, "am", 1230}, {"0030", 12, 30, "am", 4, 30, "pm", 510},
      {"0745", 7, 45, "am", 11, 45, "pm", 945}, {"2200", 10, 0, "pm", 2, 0, "pm", 360},
      {"0500", 5, 0, "am", 9, 0, "pm", 780},   {"0800", 8, 0, "am", 12, 0, "am", 960},
      {"1600", 4, 0, "pm", 8, 0, "am", 0},
  };
  for (const Case& c : cases) {
    set_wake(c.stored);
    EXPECT_EQ(g_clock.wake_hour12, c.wake12) << c.stored;
    EXPECT_EQ(g_clock.wake_minute, c.wake_minute) << c.stored;
    EXPECT_STREQ(g_clock.wake_ampm.data, c.wake_ampm) << c.stored;
    EXPECT_EQ(g_clock.bed_hour12, c.bed12) << c.stored;
    EXPECT_EQ(g_clock.bed_minute, c.bed_minute) << c.stored;
    EXPECT_STREQ(g_clock.bed_ampm.data, c.bed_ampm) << c.stored;
    EXPECT_EQ(g_clock.cycle_origin, c.origin) << c.stored;
    EXPECT_EQ(g_clock.show_hands, 1);
  }
}

TEST(WakeTime, HandWrittenValuesAreRepairedOrReplacedByTheDefault) {
  struct Case {
    const char* stored;
    const char* text;
  } cases[] = {
      {"0730", "0730"}, {"2359", "2359"}, {"0000", "0000"}, {"730", "0730"},  {"7:30", "0730"},
      {"07:30", "0730"}, {" 7.30 ", "0730"}, {"21h05", "2105"}, {"2500", "0700"}, {"0760", "0700"},
      {"abc", "0700"},  {"", "0700"},       {"7", "0700"},     {"7:3", "0700"},  {"12:345", "0700"},
      {"07:30pm", "0700"}, {"123:45", "0700"}, {"07300", "0700"}, {"-730", "0700"},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(qrn::normalise_wake_text(c.stored).data, c.text) << c.stored;
  }
}

TEST(DayCycle, WakeAtSevenFollowsTheScheduleRowByRow) {
  set_wake("0700");
  struct Case {
    int hour, minute;
    int is_day, sprite, y, angle, sun_moon;
    const char* peak;  // "" when the bedtime is shown
    const char* low;
  } cases[] = {
      {7, 0, 1, qrn::SPRITE_CYCLE_A, -38, 180, 120, "9:00 am", "11:00 am"},
      {7, 59, 1, qrn::SPRITE_CYCLE_A, -38, 268, 106, "9:00 am", "11:00 am"},
      {8, 0, 1, qrn::SPRITE_CYCLE_B, -38, 270, 105, "9:00 am", "11:00 am"},
      {8, 59, 1, qrn::SPRITE_CYCLE_B, -38, 358, 91, "9:00 am", "11:00 am"},
      {9, 0, 1, qrn::SPRITE_CYCLE_PEAK, -55, 0, 90, "10:00 am", "11:00 am"},
      {9, 59, 1, qrn::SPRITE_CYCLE_PEAK, -55, 354, 76, "10:00 am", "11:00 am"},
      {10, 0, 1, qrn::SPRITE_CYCLE_B, -38, 0, 75, "12:00 pm", "11:00 am"},
      {10, 29, 1, qrn::SPRITE_CYCLE_B, -38, 87, 68, "12:00 pm", "11:00 am"},
      {10, 30, 1, qrn::SPRITE_CYCLE_A, -38, 90, 68, "12:00 pm", "2:00 pm"},
      {11, 30, 1, qrn::SPRITE_CYCLE_B, -38, 270, 53, "12:00 pm", "2:00 pm"},
      {12, 0, 1, qrn::SPRITE_CYCLE_PEAK, -55, 0, 45, "1:00 pm", "2:00 pm"},
      {13, 0, 1, qrn::SPRITE_CYCLE_B, -38, 0, 30, "3:00 pm", "2:00 pm"},
      {13, 30, 1, qrn::SPRITE_CYCLE_A, -38, 90, 23, "3:00 pm", "3:30 pm"},
      {14, 0, 1, qrn::SPRITE_CYCLE_A, -38, 180, 15, "3:00 pm", "5:00 pm"},
      {14, 59, 1, qrn::SPRITE_CYCLE_A, -38, 357, 1, "3:00 pm", "5:00 pm"},
      {15, 0, 1, qrn::SPRITE_CYCLE_PEAK, -55, 0, 0, "4:00 pm", "5:00 pm"},
      {16, 0, 1, qrn::SPRITE_CYCLE_B, -38, 0, 345, "6:00 pm", "5:00 pm"},
      {16, 30, 1, qrn::SPRITE_CYCLE_A, -38, 90, 338, "6:00 pm", "8:00 pm"},
      {17, 30, 1, qrn::SPRITE_CYCLE_B, -38, 270, 323, "6:00 pm", "8:00 pm"},
      {18, 0, 1, qrn::SPRITE_CYCLE_PEAK, -55, 0, 315, "9:00 pm", "8:00 pm"},
      {19, 0, 1, qrn::SPRITE_CYCLE_B, -38, 0, 300, "9:00 pm", "8:00 pm"},
      {19, 30, 1, qrn::SPRITE_CYCLE_A, -38, 90, 293, "9:00 pm", "11:00 pm"},
      {20, 30, 1, qrn::SPRITE_CYCLE_B, -38, 270, 278, "9:00 pm", "11:00 pm"},
      {20, 58, 1, qrn::SPRITE_CYCLE_B, -38, 354, 271, "9:00 pm", "11:00 pm"},
      {20, 59, 1, qrn::SPRITE_CYCLE_B, -38, -3, 271, "", "11:00 pm"},
      {21, 29, 1, qrn::SPRITE_CYCLE_B, -38, 87, 263, "", "11:00 pm"},
      {21, 30, 1, qrn::SPRITE_CYCLE_A, -38, 45, 263, "", "11:00 pm"},
      {22, 59, 1, qrn::SPRITE_CYCLE_A, -38, 178, 241, "", "11:00 pm"},
      {23, 0, 0, qrn::SPRITE_CYCLE_NIGHT, 38, 0, 240, nullptr, nullptr},
      {0, 59, 0, qrn::SPRITE_CYCLE_NIGHT, 38, 357, 211, nullptr, nullptr},
      {1, 0, 0, qrn::SPRITE_CYCLE_NIGHT, 38, 0, 210, nullptr, nullptr},
      {2, 30, 0, qrn::SPRITE_CYCLE_NIGHT, 38, 0, 188, nullptr, nullptr},
      {3, 0, 0, qrn::SPRITE_CYCLE_NIGHT, 38, 120, 180, nullptr, nullptr},
      {6, 59, 0, qrn::SPRITE_CYCLE_NIGHT, 38, 356, 121, nullptr, nullptr},
  };
  for (const Case& c : cases) {
    at(c.hour, c.minute);
    SCOPED_TRACE(std::to_string(c.hour) + ":" + std::to_string(c.minute));
    EXPECT_EQ(g_clock.is_day, c.is_day);
    EXPECT_EQ(g_clock.indicator_sprite, c.sprite);
    EXPECT_EQ(g_clock.indicator_y, c.y);
    EXPECT_EQ(g_clock.indicator_angle, c.angle);
    EXPECT_EQ(g_clock.sun_moon_angle, c.sun_moon);
    if (c.peak) {
      if (*c.peak) {
        EXPECT_EQ(peak(), c.peak);
      } else {
        EXPECT_EQ(g_clock.minutes_to_peak, 0);
      }
      EXPECT_EQ(low(), c.low);
    }
  }
}

TEST(DayCycle, MinutesAwakeAndAsleepAcrossMidnightForOtherWakeTimes) {
  struct Case {
    const char* wake;
    int hour, minute;
    int is_day, elapsed;  // minutes awake by day, asleep by night
  } cases[] = {
      {"0000", 0, 0, 1, 0},    {"0000", 15, 59, 1, 959}, {"0000", 16, 0, 0, 0},  {"0000", 23, 59, 0, 479},
      {"2200", 22, 0, 1, 0},   {"2200", 1, 30, 1, 210},  {"2200", 13, 59, 1, 959}, {"2200", 14, 0, 0, 0},
      {"2200", 21, 59, 0, 479}, {"1600", 16, 0, 1, 0},   {"1600", 0, 0, 1, 480},  {"1600", 7, 59, 1, 959},
      {"1600", 8, 0, 0, 0},    {"1600", 15, 59, 0, 479},
  };
  for (const Case& c : cases) {
    set_wake(c.wake);
    at(c.hour, c.minute);
    SCOPED_TRACE(std::string(c.wake) + " at " + std::to_string(c.hour) + ":" + std::to_string(c.minute));
    EXPECT_EQ(g_clock.is_day, c.is_day);
    EXPECT_EQ(g_clock.elapsed, c.elapsed);
  }
  // The very minute of the cycle origin counts as 1440, not 0.
  set_wake("1600");
  at(0, 0);
  EXPECT_EQ(g_clock.now_minutes, 0);
  EXPECT_EQ(g_clock.sun_moon_angle, 0);
  EXPECT_EQ(g_clock.indicator_sprite, qrn::SPRITE_CYCLE_PEAK);
}
