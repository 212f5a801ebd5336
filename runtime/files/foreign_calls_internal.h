// The registry of foreign calls, for the runtime's own modules and tests.
#pragma once

#include <string>
#include <vector>

#include "files/foreign_calls.h"
#include "platform/handles.h"

namespace qrn {

// A module loaded for a declaration, under its lower-case name.
struct ForeignModule {
  std::string lower_name;
  ModuleHandle handle = nullptr;
};

struct ForeignRegistry {
  std::vector<ForeignEntry> entries;   // in declaration order
  std::vector<ForeignModule> modules;  // in load order
  bool declared = false;               // set by the first declaration
};

// The process-wide registry, made on first use (which also registers its exit step) and
// never destroyed, so later exit steps can still use it.
ForeignRegistry& foreign_registry();
// The exit step: gives back every loaded module, newest first, and frees the lists. The
// modules stay mapped until the process is gone (see load_module), so a slot filled earlier
// still works from any exit step that runs after this one. Tests call it to start afresh.
void release_foreign_registry();

}  // namespace qrn
