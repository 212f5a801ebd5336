// Runtime start-up (see startup.h).
#include "host/startup.h"

#include <cstdio>

#include "core/errors.h"
#include "host/runtime_state.h"

namespace qrn {

void start_runtime(ModuleHandle /*module*/, int32_t /*show_command*/, const char* caption) {
  RuntimeState& rt = g_runtime;
  RtString log = debug_log_path();
  std::remove(log.data);  // a file, or an empty directory of that name
  log_write("Start new log...\n");
  rt.pause_enabled = 1;
  log_write("timer\n");
  rt.caption = caption;
  log_write("Init Finalized\n");
}

}  // namespace qrn
