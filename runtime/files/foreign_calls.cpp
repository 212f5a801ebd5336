// Foreign calls (see foreign_calls.h): the registry of declarations and loaded modules, the
// lookups through the process service, and their release at process exit.
#include "files/foreign_calls.h"

#include <cstdlib>
#include <cstring>

#include "core/errors.h"
#include "files/foreign_calls_internal.h"
#include "platform/process.h"

namespace qrn {

namespace {

// Lower case as the C locale maps it, whatever locale the program set.
std::string lower_case(const char* text) {
  std::string lower = text;
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

// A slot is a function pointer of the caller's type; its bytes are written, not its type.
void store_address(void* slot, void* address) {
  if (slot) std::memcpy(slot, &address, sizeof address);
}

// One line on the debugger channel; the same text in the debug log, as "%s\n" formats it.
void report_missing(const char* what, const std::string& name) {
  std::string message = std::string(what) + name + "\n";
  debug_output(RtString(message.c_str()));
  log_write((message + "\n").c_str());
}

}  // namespace

ForeignRegistry& foreign_registry() {
  static ForeignRegistry* registry = [] {
    std::atexit(release_foreign_registry);
    return new ForeignRegistry();
  }();
  return *registry;
}

void release_foreign_registry() {
  ForeignRegistry& registry = foreign_registry();
  for (auto module = registry.modules.rbegin(); module != registry.modules.rend(); ++module) {
    os_process().release_module(module->handle);
  }
  std::vector<ForeignModule>().swap(registry.modules);
  std::vector<ForeignEntry>().swap(registry.entries);
  registry.declared = false;
}

void declare_foreign_slot(const char* module_name, const char* function_name, void* slot) {
  store_address(slot, nullptr);
  ForeignRegistry& registry = foreign_registry();
  registry.entries.push_back(ForeignEntry{module_name ? module_name : "", function_name ? function_name : "", slot});
  registry.declared = true;
}

int32_t resolve_foreign_slot(const char* module_name, const char* function_name, void* slot) {
  ForeignRegistry& registry = foreign_registry();
  const char* module = module_name ? module_name : "";
  const char* function = function_name ? function_name : "";
  std::string lower = lower_case(module);
  ModuleHandle handle = nullptr;
  for (const ForeignModule& loaded : registry.modules) {
    if (loaded.lower_name == lower) {
      handle = loaded.handle;
      break;
    }
  }
  if (!handle) {
    handle = os_process().load_module(module);
    if (!handle) {
      store_address(slot, nullptr);
      report_missing("DECLARE module not found: ", module);
      return 0;
    }
    registry.modules.push_back(ForeignModule{lower, handle});
  }
  void* address = os_process().module_symbol(handle, function);
  store_address(slot, address);
  if (!address) {
    report_missing("DECLARE entry not found: ", function);
    return 0;
  }
  return 1;
}

void resolve_declared() {
  ForeignRegistry& registry = foreign_registry();
  if (!registry.declared) return;
  log_write("Delay load DLLs\n");
  for (const ForeignEntry& entry : registry.entries) {
    resolve_foreign_slot(entry.module_name.c_str(), entry.function_name.c_str(), entry.slot);
  }
}

}  // namespace qrn
