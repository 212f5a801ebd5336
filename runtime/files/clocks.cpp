// Runtime clocks over the platform's monotonic counter (see clocks.h).
// The counter always exists on Linux; it counts milliseconds, so its frequency is 1000.
// Whether the first read happened is a flag of its own: a counter may well read 0.0.
#include "files/clocks.h"

#include "core/runtime_state.h"
#include "platform/platform.h"

namespace qrn {

namespace {

void query_counter(RuntimeState& rt) {
  rt.counter_frequency = 1000.0;
  rt.counter_available = 1;
}

}  // namespace

void start_clocks() {
  RuntimeState& rt = g_runtime;
  query_counter(rt);
  rt.clock_started = 0;
  timer_ms();
}

double timer_ms() {
  RuntimeState& rt = g_runtime;
  if (rt.counter_frequency <= 0.0) query_counter(rt);
  double value = os_process().counter_ms() * 1000.0 / rt.counter_frequency;
  if (!rt.clock_started) {
    rt.clock_started = 1;
    rt.clock_base = value;
  }
  return value - rt.clock_base;
}

double program_timer_ms() { return timer_ms() - g_runtime.timer_base_ms; }

void sleep_ms(int32_t ms) { os_process().sleep_ms(ms); }

}  // namespace qrn
