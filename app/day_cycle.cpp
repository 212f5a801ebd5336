// The day cycle (see day_cycle.h). The waking period follows a fixed schedule of activity
// cycles with four peak hours; the sleeping period turns once in 120 minutes, then every 90.
#include "day_cycle.h"

#include "clock_state.h"

namespace qrn {

namespace {

// One row of the waking-period schedule: for minutes awake M in [first, last],
// angle = (angle_times_2 * M) / 2 + angle_offset (cut toward zero), and the minutes to the
// next peak and low are peak_at - M and low_at - M (0 when peak_at is 0: bedtime shows).
struct ScheduleRow {
  int first, last;
  int sprite;
  int y;
  int angle_times_2;  // twice the degrees per minute (3 for 1.5 degrees)
  int angle_from;     // M at which the angle formula's own count starts
  int angle_offset;
  int peak_at;
  int low_at;
};

constexpr int A = SPRITE_CYCLE_A, B = SPRITE_CYCLE_B, PEAK = SPRITE_CYCLE_PEAK;

const ScheduleRow kSchedule[] = {
    {0, 59, A, -38, 3, 0, 180, 120, 240},
    {60, 119, B, -38, 3, 60, 270, 120, 240},
    {120, 179, PEAK, -55, 12, 0, -720, 180, 240},
    {180, 209, B, -38, 6, 0, -540, 300, 240},
    {210, 269, A, -38, 6, 0, -540, 300, 420},
    {270, 299, B, -38, 6, 0, -540, 300, 420},
    {300, 359, PEAK, -55, 12, 0, -1800, 360, 420},
    {360, 389, B, -38, 6, 0, -1080, 480, 420},
    {390, 419, A, -38, 6, 0, -1080, 480, 510},
    {420, 479, A, -38, 6, 0, -1080, 480, 600},
    {480, 539, PEAK, -55, 12, 0, -2880, 540, 600},
    {540, 569, B, -38, 6, 0, -1620, 660, 600},
    {570, 629, A, -38, 6, 0, -1620, 660, 780},
    {630, 659, B, -38, 6, 0, -1620, 660, 780},
    {660, 719, PEAK, -55, 12, 0, -3960, 840, 780},
    {720, 749, B, -38, 6, 0, -2160, 840, 780},
    {750, 809, A, -38, 6, 0, -2160, 840, 960},
    {810, 838, B, -38, 6, 0, -2160, 840, 960},
    {839, 869, B, -38, 6, 0, -2520, 0, 960},
    {870, 959, A, -38, 3, 840, 0, 0, 960},
};

}  // namespace

void compute_elapsed() {
  ClockState& c = g_clock;
  c.now_minutes = 60 * c.now_hour + c.now_minute;
  c.elapsed = c.now_minutes > c.cycle_origin ? c.now_minutes - c.cycle_origin
                                             : c.now_minutes - c.cycle_origin + 1440;
}

void compute_cycle() {
  compute_elapsed();
  place_in_cycle();
}

void place_in_cycle() {
  ClockState& c = g_clock;
  const int e = c.elapsed;
  c.is_day = (e >= 480 && e <= 959) ? 0 : 1;
  c.sun_moon_angle = 360 - e / 4;
  if (!c.is_day) {
    const int n = e - 480;
    c.indicator_angle = n <= 119 ? 3 * n : (4 * n - 480) % 360;
    c.indicator_sprite = SPRITE_CYCLE_NIGHT;
    c.indicator_y = 38;
    c.elapsed = n;
    return;
  }
  const int m = e <= 959 ? e + 480 : e - 960;
  for (const ScheduleRow& row : kSchedule) {
    if (m < row.first || m > row.last) continue;
    c.indicator_sprite = row.sprite;
    c.indicator_y = row.y;
    c.indicator_angle = row.angle_times_2 * (m - row.angle_from) / 2 + row.angle_offset;
    c.minutes_to_peak = row.peak_at ? row.peak_at - m : 0;
    c.minutes_to_low = row.low_at - m;
    break;
  }
  c.elapsed = m;
}

}  // namespace qrn
