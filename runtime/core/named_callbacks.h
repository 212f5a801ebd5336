// Named callbacks: the program's table of named functions, looked up and called by name,
// the repeating dispatcher, and the focus-loss pause switch that fires the pause callbacks.
#pragma once

#include <cstdint>

#include "core/text_value.h"

namespace qrn {

struct NamedCallback {
  void (*function)();  // null ends the table
  const char* name;    // compared exactly, case included
};

// Installs the program's table (ended by an entry with a null function); null: no callbacks.
void install_callbacks(const NamedCallback* table);

// The function of the first entry with exactly this name, or null.
void (*find_callback(const RtString& name))();
void (*find_callback(const char* name))();
// Calls the named function: 1 when one was called, 0 otherwise (reported to the debugger,
// except for "QRN_ON_QUIT" and "QRN_WIN32_MSG").
int32_t call_by_name(const RtString& name);
// Runs the named function again and again; a call from inside switches routine (or stops,
// with the empty name) once the current call returns.
void run_by_name(const RtString& name);
void set_focus_lost(int32_t lost);
void set_pause_enabled(int32_t enable);

}  // namespace qrn
