// The clock's state and its wake time (see clock_state.h).
#include "clock_state.h"

#include <cctype>
#include <cstdio>

namespace qrn {

ClockState g_clock;

int32_t digit_value(int32_t code) { return (code >= '0' && code <= '9') ? code - '0' : -1; }

void to_12_hour(int32_t hour, int32_t& dial_hour, RtString& ampm) {
  ampm = hour >= 12 ? "pm" : "am";
  dial_hour = hour % 12 == 0 ? 12 : hour % 12;
}

RtString normalise_wake_text(const RtString& stored) {
  const char* at = stored.data;
  while (*at == ' ' || *at == '\t') ++at;
  int32_t digits[4];
  int32_t count = 0, before_separator = -1;
  for (; *at && *at != ' ' && *at != '\t' && *at != '\r'; ++at) {
    if (std::isdigit(static_cast<unsigned char>(*at)) && count < 4) {
      digits[count++] = *at - '0';
    } else if ((*at == ':' || *at == '.' || *at == 'h') && before_separator < 0 && count > 0) {
      before_separator = count;
    } else {
      return "0700";
    }
  }
  while (*at == ' ' || *at == '\t' || *at == '\r') ++at;
  if (*at) return "0700";
  int32_t hour = 0, minute = 0;
  if (before_separator >= 0) {
    // "7:30", "07:30": hour digits before the separator, exactly two minute digits after
    if (before_separator > 2 || count - before_separator != 2) return "0700";
    for (int32_t i = 0; i < before_separator; ++i) hour = hour * 10 + digits[i];
  } else {
    // "730" or "0730"
    if (count < 3) return "0700";
    for (int32_t i = 0; i < count - 2; ++i) hour = hour * 10 + digits[i];
  }
  minute = digits[count - 2] * 10 + digits[count - 1];
  if (hour > 23 || minute > 59) return "0700";
  char text[16];
  std::snprintf(text, sizeof text, "%02d%02d", hour, minute);
  return text;
}

void load_wake_time() {
  ClockState& c = g_clock;
  ini_open("ORVL.INI");
  c.wake_text = ini_get("TIME", "AWAKE", "NO_DATA");
  if (text_equals(c.wake_text, "NO_DATA")) c.wake_text = "0700";
  c.wake_text = normalise_wake_text(c.wake_text);
}

void parse_wake_time() {
  ClockState& c = g_clock;
  c.menu_open = 0;
  c.editor_open = 0;
  int32_t d[4];
  for (int32_t i = 0; i < 4; ++i) d[i] = digit_value(char_code(mid_text(c.wake_text, i, 1)));
  c.wake_minute = 10 * d[2] + d[3];
  int32_t hour = 10 * d[0] + d[1];
  to_12_hour(hour, c.wake_hour12, c.wake_ampm);
  c.wake_minutes = 60 * hour + c.wake_minute;
  c.bed_minutes = c.wake_minutes > 479 ? c.wake_minutes - 480 : c.wake_minutes + 960;
  c.bed_minute = c.bed_minutes % 60;
  to_12_hour((c.bed_minutes - c.bed_minute) / 60, c.bed_hour12, c.bed_ampm);
  c.cycle_origin = c.wake_minutes + 480 <= 1439 ? c.wake_minutes + 480 : c.wake_minutes - 960;
  c.show_hands = 1;
}

}  // namespace qrn

namespace qrn {

void commit_wake_time() {
  ClockState& c = g_clock;
  int32_t hour = c.wake_hour12 % 12;  // 12 am is 0, 12 pm is 12
  if (c.wake_ampm == "pm") hour += 12;
  char text[16];
  std::snprintf(text, sizeof text, "%04d", 100 * hour + c.wake_minute);
  c.wake_text = text;
  ini_open("ORVL.INI");
  ini_put("TIME", "AWAKE", c.wake_text);
  ini_open("");
}

}  // namespace qrn
