// The real backend: POSIX for process, files and clocks; SDL2 for display, window, GL and input.
// Its operations are defined across the linux_*.cpp and sdl_*.cpp files of this folder.
#pragma once

#include "platform/platform.h"

namespace qrn {

class LinuxPlatform : public Platform {
 public:
  // Process and standard streams (linux_process.cpp)
  void write_stdout(const char* bytes, size_t count) override;
  void write_stderr(const char* bytes, size_t count) override;
  bool read_stdin_line(char* buffer, size_t size) override;
  std::string temp_folder() override;
  bool debugger_attached() override;
  void debugger_output(const char* text) override;
  [[noreturn]] void exit_process(int32_t code) override;
  std::string command_line() override;
  std::string program_path() override;
  ModuleHandle program_module() override;

  // Files (linux_process.cpp)
  bool append_file_exclusive(const char* path, const char* bytes, size_t count) override;

  // Clocks (linux_process.cpp)
  double counter_ms() override;
  void sleep_ms(int32_t ms) override;
};

}  // namespace qrn
