// Runtime errors and diagnostics: the error state in RuntimeState, the "error: " line on
// standard output, assertions, the debugger channel, the debug log and the standard streams.
#pragma once

#include <cstdint>

#include "core/text_value.h"

namespace qrn {

// Error codes of the runtime.
enum : int32_t {
  ERROR_NONE = 0,
  ERROR_NO_FILE = 3,
  ERROR_OUT_OF_MEMORY = 7,
  ERROR_PUSH_MULTI_DIM = 8,
  ERROR_OUT_OF_BOUNDS = 9,
  ERROR_OUT_OF_DATA = 20,
  ERROR_ASSERTION = 21,
};

// Records a non-zero code (and error_line), writes "error: <hex>\n" to standard output.
// Code 0 changes nothing. Returns the code.
int32_t set_error(int32_t code);
// set_error, then the orderly end of the program.
[[noreturn]] void fatal_error(int32_t code);
void clear_error();
// "%.4d %s" of the current code and its message: "0003 no such file".
RtString error_text();
void set_source_position(int32_t module, int32_t line);
// Ends the program with code 21 when value is 0.
void assert_value(int32_t value);
// The program's end command.
[[noreturn]] void end_command();
// The orderly end of the process: "QRN_ON_QUIT" once, the shutdown of every subsystem,
// "exit", exit code 0. Called again while the end is under way (from "QRN_ON_QUIT"), it
// returns at once.
void end_program();
// The last step of the end: "exit" on standard output and exit code 0.
[[noreturn]] void exit_program();
// Calls "QRN_ON_QUIT" the first time only.
void call_quit_callback_once();

// "TX" + text to an attached debugger; nothing without one.
void debug_output(const RtString& text);
// Full path of the debug log: the temporary folder + "ErrorLog.txt".
RtString debug_log_path();
// Appends text to the debug log (null: "NULL"); five attempts, exclusive while writing.
void log_write(const char* text);
void print_stdout(const RtString& text);
void print_stderr(const RtString& text);
// One line of standard input without its line feed (at most 4095 bytes); empty at the end.
RtString read_stdin_line();

}  // namespace qrn
