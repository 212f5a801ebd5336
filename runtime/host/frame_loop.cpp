// Frame loop and the orderly end of the program (see frame_loop.h).
#include "host/frame_loop.h"

#include <cstdio>
#include <cstdlib>

#include "core/errors.h"
#include "core/named_callbacks.h"
#include "host/runtime_state.h"
#include "platform/platform.h"

namespace qrn {

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
  shutdown_runtime();
  exit_program();
}

void exit_program() {
  print_stdout("exit\n");
  platform().exit_process(0);
  std::abort();  // a backend's exit never returns
}

void shutdown_runtime() {
  RuntimeState& rt = g_runtime;
  if (!rt.quit_callback_done) {
    rt.quit_callback_done = 1;
    call_by_name("QRN_ON_QUIT");
  }
}

}  // namespace qrn
