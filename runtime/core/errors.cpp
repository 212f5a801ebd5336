// Runtime errors and diagnostics (see errors.h).
#include "core/errors.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/named_callbacks.h"
#include "core/runtime_state.h"
#include "core/text_commands.h"
#include "platform/platform.h"

namespace qrn {

namespace {

// Bytes of a text up to its first 0 byte (a text may hold 0 bytes inside its length).
size_t c_text_length(const RtString& text) {
  const void* zero = std::memchr(text.data, 0, text.length);
  return zero ? static_cast<size_t>(static_cast<const char*>(zero) - text.data) : text.length;
}

}  // namespace

int32_t set_error(int32_t code) {
  if (code == 0) return 0;
  g_runtime.error_line = g_runtime.source_line;
  g_runtime.error_code = code;
  RtString line = "error: " + hex_text(code) + "\n";
  os_process().write_stdout(line.data, line.length);
  return code;
}

// end_program returns only when the end is already under way (a fatal error inside
// "QRN_ON_QUIT"); the program cannot continue, so it exits from here.
void fatal_error(int32_t code) {
  set_error(code);
  end_program();
  exit_program();
}

void end_program() {
  RuntimeState& rt = g_runtime;
  if (rt.ending) return;
  rt.ending = 1;
  if (rt.debug_mode) {
    log_write("-End On Line\n");
    const int32_t values[4] = {rt.error_code, rt.error_line - 1, rt.source_line, rt.source_module};
    for (int32_t value : values) {
      char line[24];
      std::snprintf(line, sizeof line, "%d\n", value);
      log_write(line);
    }
  }
  // The host's shutdown when the runtime was started; before that there is only the callback.
  if (rt.hooks.shutdown) {
    rt.hooks.shutdown();
  } else {
    call_quit_callback_once();
  }
  exit_program();
}

void exit_program() {
  print_stdout("exit\n");
  os_process().exit_process(0);
  std::abort();  // a backend's exit never returns
}

void call_quit_callback_once() {
  RuntimeState& rt = g_runtime;
  if (rt.quit_callback_done) return;
  rt.quit_callback_done = 1;
  call_by_name("QRN_ON_QUIT");
}

void clear_error() { g_runtime.error_code = 0; }

RtString error_text() {
  const char* message = "unknown error";
  switch (g_runtime.error_code) {
    case ERROR_NONE: message = "success"; break;
    case ERROR_NO_FILE: message = "no such file"; break;
    case ERROR_OUT_OF_MEMORY: message = "out of memory"; break;
    case ERROR_OUT_OF_BOUNDS: message = "out of bounds"; break;
    case ERROR_OUT_OF_DATA: message = "out of data"; break;
    default: break;
  }
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.4d %s", g_runtime.error_code, message);
  return RtString(buffer);
}

void set_source_position(int32_t module, int32_t line) {
  g_runtime.source_module = module;
  g_runtime.source_line = line;
}

void assert_value(int32_t value) {
  if (value != 0) return;
  debug_output(RtString("Assertion: Value = ") + "0" + "\n");
  fatal_error(ERROR_ASSERTION);
}

void end_command() {
  run_by_name(RtString());
  set_error(0);
  end_program();
  exit_program();
}

void debug_output(const RtString& text) {
  if (!os_process().debugger_attached()) return;
  RtString message = "TX" + text;
  os_process().debugger_output(message.data);
}

RtString debug_log_path() {
  RtString path(os_process().temp_folder().c_str());
  for (uint32_t i = 0; i < path.length; ++i) {
    if (path.data[i] == '\\') path.data[i] = '/';
  }
  if (path.length == 0 || path.data[path.length - 1] != '/') path.append("/");
  path.append("ErrorLog.txt");
  return path;
}

void log_write(const char* text) {
  if (!text) text = "NULL";
  RtString path = debug_log_path();
  size_t count = std::strlen(text);
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (os_files().append_file_exclusive(path.data, text, count)) return;
  }
}

// A text is written as C text: up to its first 0 byte.
void print_stdout(const RtString& text) { os_process().write_stdout(text.data, c_text_length(text)); }
void print_stderr(const RtString& text) { os_process().write_stderr(text.data, c_text_length(text)); }

RtString read_stdin_line() {
  char buffer[4096];
  if (!os_process().read_stdin_line(buffer, sizeof buffer)) return RtString();
  size_t len = std::strlen(buffer);
  if (len && buffer[len - 1] == '\n') buffer[len - 1] = 0;
  return RtString(buffer);
}

}  // namespace qrn
