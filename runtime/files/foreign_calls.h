// Foreign calls: functions of libraries that may be missing on a machine. Each is declared by
// module and function name with the address of a function-pointer slot; start-up looks every
// declared function up and fills its slot, or leaves it null when the module or the function
// is missing (one line on the debugger channel and in the debug log, never an error).
// Callers test the slot before calling through it.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>

namespace qrn {

// One declared function; the names are copied when it is declared.
struct ForeignEntry {
  std::string module_name;
  std::string function_name;
  void* slot = nullptr;  // the address of the function pointer to fill
};

// Untyped forms of the commands below, for a slot known only by its address (null: the
// function is looked up and reported, but nothing is stored).
void declare_foreign_slot(const char* module_name, const char* function_name, void* slot);
int32_t resolve_foreign_slot(const char* module_name, const char* function_name, void* slot);

// Sets *slot to null and adds the function to the declarations that resolve_declared fills.
template <class Pointer>
void declare_foreign(const char* module_name, const char* function_name, Pointer* slot) {
  static_assert(std::is_pointer<Pointer>::value && sizeof(Pointer) == sizeof(void*),
                "a foreign slot is a function pointer");
  declare_foreign_slot(module_name, function_name, slot);
}

// Loads the module (once per process, whatever the case of its name) and stores the
// function's address in *slot: 1 when found; 0, with *slot null, when the module or the
// function is missing.
template <class Pointer>
int32_t resolve_foreign(const char* module_name, const char* function_name, Pointer* slot) {
  static_assert(std::is_pointer<Pointer>::value && sizeof(Pointer) == sizeof(void*),
                "a foreign slot is a function pointer");
  return resolve_foreign_slot(module_name, function_name, slot);
}

// Once anything was declared: "Delay load DLLs" in the debug log, then resolve_foreign for
// every declaration in declaration order. Without declarations it does nothing at all.
void resolve_declared();

}  // namespace qrn
