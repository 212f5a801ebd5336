// The day cycle: where the current time lies in the user's day (waking or sleeping period),
// the cycle indicator's image, position and angle, the sun or moon angle, and the minutes to
// the next peak and low.
#pragma once

namespace qrn {

// Steps 1 and 2 only: now_minutes and elapsed (minutes since the cycle origin, 1..1440).
void compute_elapsed();
// The whole computation for the current time in g_clock.
void compute_cycle();

}  // namespace qrn
