// Text commands over RtString (see text_commands.h).
#include "core/text_commands.h"

#include <cstdio>

namespace qrn {

RtString hex_text(int32_t value) {
  RtString text;
  char* buffer = text.writable_buffer(15);
  std::snprintf(buffer, 16, "%x", static_cast<uint32_t>(value));
  text.recount_length();
  return text;
}

}  // namespace qrn
