// Runtime clocks: milliseconds since the first clock read (the platform's monotonic counter,
// CLOCK_MONOTONIC on Linux), the program timer, sleeping. State lives in RuntimeState.
#pragma once

#include <cstdint>

namespace qrn {

// Queries the counter and makes the first clock read (runtime start-up).
void start_clocks();
// Milliseconds since the first clock read in the process (the first call returns 0).
double timer_ms();
// timer_ms() minus RuntimeState::timer_base_ms.
double program_timer_ms();
// Suspends the calling thread for ms milliseconds.
void sleep_ms(int32_t ms);

}  // namespace qrn
