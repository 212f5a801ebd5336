// Process service: standard streams and console, the debugger channel, the process itself
// (exit, command line, program file, working directory), shared libraries, starting other
// programs, its environment and system information, and the clocks. The system always has
// it, so the class is the POSIX implementation (posix_process.cpp); a fake derives and
// overrides what it scripts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "platform/service.h"

namespace qrn {

class ProcessService {
 public:
  virtual ~ProcessService() = default;

  // ---- Standard streams and console ------------------------------------------------------
  virtual void write_stdout(const char* bytes, size_t count);
  virtual void write_stderr(const char* bytes, size_t count);
  // Reads one line including its line feed into buffer (at most size - 1 bytes, NUL-ended).
  // Returns false at end of input.
  virtual bool read_stdin_line(char* buffer, size_t size);
  // Connects standard input and output to a text console the user can see; false when the
  // process can have none.
  virtual bool open_console();

  // ---- Debugger --------------------------------------------------------------------------
  // True when a debugger is attached to this process.
  virtual bool debugger_attached();
  // The debugger's output channel.
  virtual void debugger_output(const char* text);

  // ---- The process -----------------------------------------------------------------------
  // Ends the process with the given exit code, running the process-exit handlers.
  [[noreturn]] virtual void exit_process(int32_t code);
  // The complete command line, program path first, arguments separated by blanks.
  virtual std::string command_line();
  // Full path of the program file, with "/" separators.
  virtual std::string program_path();
  // The system's number of this process, unique among the processes running at a time.
  virtual int32_t process_id();
  // Handle of the program's own module.
  virtual ModuleHandle program_module();
  // The show-window value the process was started with; false when it carries none.
  virtual bool startup_show_command(int32_t& show);
  // Version of the operating system (the kernel's on Linux).
  virtual void os_version(int32_t& major, int32_t& minor);
  virtual std::string working_directory();
  virtual bool set_working_directory(const char* path);

  // ---- Libraries --------------------------------------------------------------------------
  // Loads a shared library: a name with a "/" is a path, any other name is looked for the
  // way the system's loader looks for libraries (never in the working directory). Module
  // names are case-insensitive where the runtime came from, so a name that is not found as
  // written is tried once more with its file name in lower case. Null when it cannot be
  // loaded. A library loaded here stays mapped until the process ends, whatever
  // release_module does, so code that still runs in it at exit (its own exit handlers,
  // threads) finds it in place.
  virtual ModuleHandle load_module(const char* name);
  // The address of a function or variable the library exports; null when it has none.
  virtual void* module_symbol(ModuleHandle module, const char* name);
  // Gives back one reference taken by load_module.
  virtual void release_module(ModuleHandle module);

  // ---- Other programs -------------------------------------------------------------------
  // Each start runs one program directly, never through a shell: args[0] names it (searched
  // on PATH when it holds no "/"), args are its argument vector. It gets the default signal
  // dispositions, no blocked signals and none of this process's descriptors but standard
  // input, output and error; it inherits the environment and the working directory.
  //
  // Starts a program as a child of this process; its id, or 0 when it could not be started.
  // The caller must wait for it until it ends (wait_program), or it remains a zombie.
  virtual int32_t start_program(const std::vector<std::string>& args);
  // Waits up to timeout_ms (negative: without limit) for the child to end. True when it has
  // ended (its id is released then), with its exit status, or 128 + the signal number for a
  // program killed by a signal; false while it is still running or when id is not a child
  // (exit_code is then left alone).
  virtual bool wait_program(int32_t id, int32_t timeout_ms, int32_t& exit_code);
  // Starts a program that is not this process's child (nothing to wait for, no zombie left
  // behind), in a session of its own when own_session is set; with quiet its standard
  // streams are /dev/null. False when it could not be started.
  virtual bool start_detached(const std::vector<std::string>& args, bool own_session, bool quiet);

  // ---- Environment and system information -----------------------------------------------
  // An environment variable; false when it is not set.
  virtual bool env_get(const char* name, std::string& value);
  // Sets a variable; an empty value removes it. False when the name is not acceptable.
  virtual bool env_set(const char* name, const char* value);
  // Every "name=value" entry of the process environment, in its order.
  virtual std::vector<std::string> env_entries();
  // The temporary folder as the system reports it, with a trailing "/".
  virtual std::string temp_folder();
  // The user's documents folder and per-user data folder (created when missing), without a
  // trailing "/"; "" when there is none.
  virtual std::string documents_folder();
  virtual std::string data_folder();
  // Charge of the batteries in percent, 255 when unknown or there is no battery.
  virtual int32_t battery_percent();
  // A stable 32-bit value of this machine (installation), 0 when there is none.
  virtual uint32_t machine_serial();
  // The locale name of the user's interface language ("de_DE.UTF-8"); "" when not set.
  virtual std::string user_language();

  // ---- Clocks ----------------------------------------------------------------------------
  // The calendar time: seconds since 1970-01-01 UTC.
  virtual int64_t calendar_time();
  // Monotonic high-resolution counter in milliseconds (arbitrary origin).
  virtual double counter_ms();
  virtual void sleep_ms(int32_t ms);
  // Sleeps for a span that may be a fraction of a millisecond, as exactly as the system's
  // timers allow (the frame loop's last stretch before a deadline).
  virtual void nap_ms(double ms);
};

inline ProcessService& os_process() { return service<ProcessService>(); }

// True when QUARNEL_UNATTENDED is set to something other than "" or "0": nobody is there to
// answer a box or a dialog, so none is shown.
bool unattended_run();

// System information read from files, apart so tests can give them other roots.
// The mean charge of the batteries under a power-supply folder (/sys/class/power_supply);
// 255 when there is none.
int32_t battery_percent_in(const std::string& power_supply_dir);
// A machine-id text (32 hexadecimal digits) folded to 32 bits by XOR; 0 when it is not one.
uint32_t fold_machine_id(const std::string& text);
// XDG_DOCUMENTS_DIR from the text of a user-dirs.dirs file, "$HOME" expanded; "" when absent.
std::string documents_dir_from_user_dirs(const std::string& text, const std::string& home);

}  // namespace qrn
