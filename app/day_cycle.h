// The day cycle: where the current time lies in the user's day (waking or sleeping period),
// the cycle indicator's image, position and angle, the sun or moon angle, and the minutes to
// the next peak and low.
#pragma once

namespace qrn {

// The first half: now_minutes and elapsed (minutes since the cycle origin, 1..1440) from the
// 24-hour now_hour and now_minute.
void compute_elapsed();
// The second half, from elapsed alone: day or night, the indicator, the sun or moon angle,
// the minutes to the next peak and low; elapsed becomes minutes awake or asleep.
void place_in_cycle();
// Both halves for the current time in g_clock.
void compute_cycle();

}  // namespace qrn
