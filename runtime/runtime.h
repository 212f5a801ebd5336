// The runtime put together: start-up with the steps of every layer in place, and the one
// reset that returns the runtime record to its first state.
#pragma once

#include <cstdint>

#include "platform/handles.h"

namespace qrn {

// Called once before the program's main routine; the program continues in every case.
// When no window can be made it returns early, after a line on standard error; the first
// show_screen then ends the program. A null module stands for the program itself.
void start_runtime(ModuleHandle module, int32_t show_command, const char* caption);

// Releases everything the runtime record owns (device, input, sound, network, 3D engine,
// archives, file channels, the drawing state) without running the program's end, and gives
// the record its first state with the layers' steps installed. Tests start from it.
void reset_runtime_state();

}  // namespace qrn
