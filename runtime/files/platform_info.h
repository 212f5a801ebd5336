// Platform information: named questions about the machine and the build, answered as text.
#pragma once

#include "core/text_value.h"

namespace qrn {

// Answers a key (compared in upper case) such as "TIME", "TEMP", "COMPILED" or "VERSION".
RtString platform_info(const RtString& key);

}  // namespace qrn
