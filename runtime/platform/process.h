// Process service: standard streams and console, the debugger channel, the process itself
// (exit, command line, program file, working directory), its environment and system
// information, and the clocks. The system always has it, so the class is the POSIX
// implementation (posix_process.cpp); a fake derives and overrides what it scripts.
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
