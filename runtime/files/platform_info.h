// Platform information: named questions about the machine and the build, answered as text.
// Never sets the runtime's error state; a question without an answer gives "NO_DATA".
#pragma once

#include <cstdint>

#include "core/text_value.h"

namespace qrn {

// Answers a key, compared in upper case: "" ("LINUX"), "DEVICE", "GLEXT:<name>", "ID",
// "TIME", "UTCTIME", "BATTERY", "COMPILED", "HOSTID", "VERSION", "LOCALE", "DOCUMENTS",
// "APPDATA", "TEMP", "DPI"; any other key gives "NO_DATA".
RtString platform_info(const RtString& key);

// ---- Plain data behind the answers (open to tests) -------------------------------------------
// The language identifier (LANGID) of a locale name such as "de_CH.UTF-8" or "sr_RS@latin";
// 0 for "C", "POSIX", "" and languages without one.
uint16_t langid_from_locale(const char* locale);
// The two-letter code of a language identifier ("us" when it has none).
RtString language_code(uint16_t langid);
// "YYYY-MM-DD hh:mm:ss" of calendar seconds, in local time or UTC.
RtString calendar_time_text(int64_t seconds, bool utc);

}  // namespace qrn
