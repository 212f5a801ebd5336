// Named callbacks (see named_callbacks.h).
#include "core/named_callbacks.h"

#include <cstring>

#include "core/errors.h"
#include "core/runtime_state.h"

namespace qrn {

using Callback = void (*)();

void install_callbacks(const NamedCallback* table) { g_runtime.callbacks = table; }

namespace {
Callback lookup(const char* name, size_t length) {
  const NamedCallback* entry = g_runtime.callbacks;
  if (!entry) return nullptr;
  for (; entry->function; ++entry) {
    const char* candidate = entry->name ? entry->name : "";
    if (std::strlen(candidate) == length && std::memcmp(candidate, name, length) == 0) {
      return entry->function;
    }
  }
  return nullptr;
}
}  // namespace

Callback find_callback(const RtString& name) { return lookup(name.data, name.length); }
Callback find_callback(const char* name) { return lookup(name ? name : "", name ? std::strlen(name) : 0); }

int32_t call_by_name(const RtString& name) {
  if (Callback function = find_callback(name)) {
    function();
    return 1;
  }
  if (name == "QRN_ON_QUIT" || name == "QRN_WIN32_MSG") return 0;
  debug_output("CALLBYNAME \"" + name + "\" *** failed ***\n");
  return 0;
}

void run_by_name(const RtString& name) {
  RuntimeState& rt = g_runtime;
  if (!rt.current_routine.empty()) {
    rt.pending_routine = name;
    rt.current_routine = RtString();
    return;
  }
  rt.pending_routine = RtString();
  rt.current_routine = name;
  if (rt.current_routine.empty()) return;
  Callback function = find_callback(rt.current_routine);
  for (;;) {
    if (!function) {
      // Nothing runs under an unknown name; forget it so the next call is not taken for a
      // request from inside a running routine.
      rt.current_routine = RtString();
      return;
    }
    function();
    if (!rt.current_routine.empty()) continue;
    rt.current_routine = rt.pending_routine;
    rt.pending_routine = RtString();
    if (rt.current_routine.empty()) return;
    function = find_callback(rt.current_routine);
  }
}

void set_focus_lost(int32_t lost) {
  RuntimeState& rt = g_runtime;
  int32_t wanted = (lost != 0 && rt.pause_enabled != 0) ? 1 : 0;
  if (wanted != rt.paused) {
    rt.paused = wanted;
    call_by_name(wanted ? "QRN_ON_PAUSE" : "QRN_ON_RESUME");
  }
  rt.paused = wanted;
}

void set_pause_enabled(int32_t enable) {
  RuntimeState& rt = g_runtime;
  rt.pause_enabled = enable != 0 ? 1 : 0;
  if (enable == 0 && rt.paused) {
    rt.paused = 0;
    call_by_name("QRN_ON_RESUME");
    rt.paused = 0;
  }
}

}  // namespace qrn
