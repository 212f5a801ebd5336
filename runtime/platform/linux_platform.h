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

  // Display, windows and GL context (sdl_video.cpp)
  bool video_init() override;
  void video_quit() override;
  ScreenRect display_bounds() override;
  ScreenRect display_usable_bounds() override;
  int32_t display_bits_per_pixel() override;
  bool display_has_mode(int32_t width, int32_t height, int32_t bits) override;
  WindowHandle create_window(const WindowRequest& request) override;
  void destroy_window(WindowHandle window) override;
  void set_window_title(WindowHandle window, const char* title) override;
  void show_window(WindowHandle window, bool shown) override;
  void swap_buffers(WindowHandle window) override;
  bool set_swap_interval(int32_t interval) override;
  void* gl_proc_address(const char* name) override;

  // Pointer and keyboard (sdl_input.cpp)
};

}  // namespace qrn
