// Process launch: starting another program and waiting for it or not, handing over to
// another program, and opening a document, folder or web address with the program the
// desktop associates with it (xdg-open).
#pragma once

#include <cstdint>

#include "core/text_value.h"

namespace qrn {

// Starts the program a command line names (Windows quoting: double quotes group, backslashes
// escape the quotes they stand before), directly, never through a shell. With wait not 0 it
// returns when the program has ended and exit_code holds its exit status (128 + the signal
// number for a program killed by a signal); with wait 0 it returns at once and exit_code is
// 0. show is kept for programs written elsewhere: a Linux program gets no terminal window of
// its own, so both values start it alike. Switches a full-screen window to window mode
// first and gives the focus back to the main window afterwards. 1 when it started, else 0
// (no error code). The command line's text gets room for 1024 bytes.
int32_t run_program(RtString& command_line, double wait, double show, double& exit_code);
// Shuts the runtime down, starts the program without waiting and ends this process with
// exit status 0.
[[noreturn]] void run_program_and_end(const RtString& command_line);
// Hands the target to xdg-open without waiting; a target it cannot open, or a missing
// xdg-open, is not reported. While Escape quits the program (set_escape_quits), the runtime
// is shut down first and the program ends after handing the target over.
void open_document(const RtString& target);

}  // namespace qrn
