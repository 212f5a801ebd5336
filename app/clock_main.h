// The clock's main routine.
#pragma once

#include <cstdint>

namespace qrn {

// Runs the clock; it loops until the program ends and never returns in normal use.
int32_t clock_main();

}  // namespace qrn
