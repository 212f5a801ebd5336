// Frame loop: presenting frames, pumping window messages, waiting, and the orderly end.
#pragma once

namespace qrn {

// The orderly end of the process: "QRN_ON_QUIT" once, shutdown, "exit", exit code 0.
// Called again while the end is under way (from "QRN_ON_QUIT"), it returns at once.
void end_program();
// The last step of the end: "exit" on standard output and exit code 0.
[[noreturn]] void exit_program();
// Calls "QRN_ON_QUIT" once and releases every subsystem.
void shutdown_runtime();

}  // namespace qrn
