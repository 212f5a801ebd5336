// Runtime clocks: milliseconds since the first clock read, the program timer, sleeping.
#pragma once

#include <cstdint>

namespace qrn {

// Milliseconds since the first clock read in the process (the first call returns 0).
double timer_ms();
// timer_ms() minus RuntimeState::timer_base_ms.
double program_timer_ms();
// Suspends the calling thread for ms milliseconds.
void sleep_ms(int32_t ms);

}  // namespace qrn
