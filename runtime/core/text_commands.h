// Text commands: substrings, search and replace, case, trimming, hexadecimal and URL forms,
// width formatting and the text cipher, all over RtString.
#pragma once

#include <cstdint>

#include "core/text_value.h"

namespace qrn {

// Lower-case hexadecimal of the value's 32 bits, without leading zeros ("0" for zero).
RtString hex_text(int32_t value);

}  // namespace qrn
