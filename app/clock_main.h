// The clock's main routine: loads the media, makes the 200 x 200 window, and loops forever
// reading the pointer, handling clicks, reading the time and drawing the face.
#pragma once

#include <cstdint>

namespace qrn {

// Pause at the end of every pass, in milliseconds (halved in test mode).
constexpr int32_t FRAME_PAUSE_MS = 200;

// Runs the clock; it loops until the program ends and never returns.
int32_t clock_main();
// Fills now_hour, now_minute and now_second from the local time (test mode: the real
// minutes and seconds stand in for hours and minutes).
void read_current_time();
// One pass of the loop; returns true when the editor saved a wake time.
bool clock_pass();

}  // namespace qrn
