// Process launch (see process_launch.h): the command line split into the program and its
// arguments, the start through the process service, and the runtime's window and ending
// around it (the window mode, the focus and the shutdown are steps of the layers above,
// reached through RuntimeState::hooks).
#include "files/process_launch.h"

#include <cstdlib>

#include "core/errors.h"
#include "core/runtime_state.h"
#include "files/process_launch_internal.h"
#include "platform/process.h"
#include "platform/video.h"

namespace qrn {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// The end of the program's first half: the host's shutdown when the runtime was started,
// before that only the quit callback.
void shut_down_runtime() {
  if (g_runtime.hooks.shutdown) {
    g_runtime.hooks.shutdown();
  } else {
    call_quit_callback_once();
  }
}

}  // namespace

std::vector<std::string> split_command_line(const char* line) {
  std::vector<std::string> args;
  if (!line) return args;
  const char* p = line;
  while (is_blank(*p)) ++p;
  if (!*p) return args;

  std::string program;
  bool quoted = false;
  for (; *p && (quoted || !is_blank(*p)); ++p) {
    if (*p == '"') {
      quoted = !quoted;
    } else {
      program += *p;
    }
  }
  args.push_back(program);

  for (;;) {
    while (is_blank(*p)) ++p;
    if (!*p) break;
    std::string arg;
    quoted = false;
    while (*p && (quoted || !is_blank(*p))) {
      if (*p == '\\') {
        size_t run = 0;
        while (*p == '\\') {
          ++run;
          ++p;
        }
        if (*p != '"') {
          arg.append(run, '\\');
        } else {
          arg.append(run / 2, '\\');
          if (run % 2) {
            arg += '"';
            ++p;
          }  // after an even run the quote groups, below
        }
        continue;
      }
      if (*p == '"') {
        if (quoted && p[1] == '"') {
          arg += '"';
          p += 2;
        } else {
          quoted = !quoted;
          ++p;
        }
        continue;
      }
      arg += *p++;
    }
    args.push_back(arg);
  }
  return args;
}

int32_t run_program(RtString& command_line, double wait, double show, double& exit_code) {
  RuntimeState& rt = g_runtime;
  command_line.reserve(1024, true);
  exit_code = 0.0;
  if (rt.device && rt.hooks.window_mode) rt.hooks.window_mode();
  (void)show;

  std::vector<std::string> args = split_command_line(command_line.data);
  int32_t started = 0;
  if (!args.empty()) {
    if (wait != 0.0) {
      // A child of ours, waited for until it ends.
      int32_t id = os_process().start_program(args);
      if (id != 0) {
        started = 1;
        int32_t code = 0;
        if (os_process().wait_program(id, -1, code)) exit_code = code;
      }
    } else {
      // Nobody waits for it: started detached, so it leaves no zombie behind.
      started = os_process().start_detached(args, false, false) ? 1 : 0;
    }
  }
  if (started) command_line.recount_length();

  if (rt.window_handle) os_video().raise_window(rt.window_handle);
  return started;
}

void run_program_and_end(const RtString& command_line) {
  shut_down_runtime();
  RtString line = command_line;
  double exit_code = 0.0;
  run_program(line, 0.0, 1.0, exit_code);
  os_process().exit_process(0);
  std::abort();  // a backend's exit never returns
}

// xdg-open may never end (it can stay with the program it started), so it runs detached,
// in a session of its own and with its streams on /dev/null.
void open_document(const RtString& target) {
  bool ends_program = g_runtime.escape_quits != 0;
  if (ends_program) shut_down_runtime();
  os_process().start_detached({"xdg-open", target.data}, true, true);
  if (ends_program) end_program();
}

}  // namespace qrn
