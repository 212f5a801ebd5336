// Runtime start-up: brings every subsystem up in a fixed order, with a fresh debug log.
#pragma once

#include <cstdint>

#include "core/text_value.h"
#include "platform/handles.h"

namespace qrn {

// The start-up steps in their fixed order (start_runtime runs them, with the steps of the
// layers above the host installed in RuntimeState::hooks). When no window can be made it
// returns early, after a line on standard error; the first show_screen then ends the program.
void start_runtime_steps(ModuleHandle module, int32_t show_command, const char* caption);
// The program file's directory with "/" separators and no trailing "/".
RtString program_directory();

}  // namespace qrn
