// The path from process start to the clock's main routine.
#pragma once

#include <cstdint>

#include "quarnel.h"

namespace qrn {

// The C-level main: finds the command text and show value, calls program_entry once.
int command_line_entry(int argc, char** argv, char** envp);
// Stores the command line, applies the project settings, starts the runtime, clears the
// error state and runs the clock; should the clock return, runs "QRN_ON_LOOP" and ends.
int32_t program_entry(ModuleHandle module, int32_t previous_instance, const char* command_text,
                      int32_t show_command);
// The arguments after the program name of a command line (quoted or bare program name).
const char* command_text_of(const char* line);

}  // namespace qrn
