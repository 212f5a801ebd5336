// Runtime start-up: brings every subsystem up in a fixed order, with a fresh debug log.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace qrn {

// Called once before the program's main routine; the program continues in every case.
void start_runtime(ModuleHandle module, int32_t show_command, const char* caption);

}  // namespace qrn
