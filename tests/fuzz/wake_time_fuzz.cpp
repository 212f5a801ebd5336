// Fuzz entry: the clock's wake time as people write it by hand: the input taken as the text
// itself and as the settings file it is read from. The stored form is always four digits of
// a time of day, and the fields derived from it stay within a day.
#include <cctype>
#include <string>

#include "clock_state.h"
#include "fuzz/fuzz_support.h"

namespace {

void check_wake_text(const qrn::RtString& text) {
  using namespace qrn;
  const RtString stored = normalise_wake_text(text);
  if (stored.length != 4) fuzz::fail("a wake time is not four characters");
  for (int i = 0; i < 4; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(stored.data[i]))) fuzz::fail("a wake time is not four digits");
  }
  const int hour = (stored.data[0] - '0') * 10 + stored.data[1] - '0';
  const int minute = (stored.data[2] - '0') * 10 + stored.data[3] - '0';
  if (hour > 23 || minute > 59) fuzz::fail("a wake time is not a time of day: " + std::string(stored.data));
  if (normalise_wake_text(stored) != stored) fuzz::fail("a stored wake time does not read back as itself");
  g_clock.wake_text = stored;
  parse_wake_time();
  const ClockState& c = g_clock;
  if (c.wake_minutes != hour * 60 + minute || c.bed_minutes < 0 || c.bed_minutes >= 1440 ||
      c.wake_hour12 < 1 || c.wake_hour12 > 12 || c.bed_hour12 < 1 || c.bed_hour12 > 12 || c.cycle_origin < 0 ||
      c.cycle_origin >= 1440) {
    fuzz::fail("wake fields outside the day for " + std::string(stored.data));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qrn;
  check_wake_text(text_from_bytes(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size)));
  fuzz::MemoryInput file(data, size);
  ini_open(file.name());
  check_wake_text(ini_get("TIME", "AWAKE", "0700"));
  ini_open(RtString());
  return 0;
}
