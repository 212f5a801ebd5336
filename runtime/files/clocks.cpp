// Runtime clocks over the platform's monotonic counter (see clocks.h).
#include "files/clocks.h"

#include "host/runtime_state.h"
#include "platform/platform.h"

namespace qrn {

namespace {
bool g_clock_started = false;
double g_clock_base = 0.0;
}  // namespace

double timer_ms() {
  double now = platform().counter_ms();
  if (!g_clock_started) {
    g_clock_started = true;
    g_clock_base = now;
  }
  return now - g_clock_base;
}

double program_timer_ms() { return timer_ms() - g_runtime.timer_base_ms; }

void sleep_ms(int32_t ms) { platform().sleep_ms(ms); }

}  // namespace qrn
