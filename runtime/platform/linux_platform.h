// The real backend: POSIX for process, files and clocks; SDL2 for display, window, GL and input.
// Its operations are defined across the linux_*.cpp and sdl_*.cpp files of this folder.
#pragma once

#include "platform/platform.h"

namespace qrn {

// Typed UTF-8 text as the runtime's 8-bit characters: a code below 256 is that byte
// (Latin-1), any other character and any broken sequence is "?".
std::string typed_text_bytes(const char* utf8);

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

  // Files and system information (linux_files.cpp)
  FileHandle file_open(const char* path, FileOpenMode mode) override;
  int64_t file_read(FileHandle file, void* buffer, size_t count) override;
  int64_t file_write(FileHandle file, const void* bytes, size_t count) override;
  bool file_seek(FileHandle file, int64_t offset) override;
  int64_t file_length(FileHandle file) override;
  void file_close(FileHandle file) override;
  bool replace_file(const char* path, const char* bytes, size_t count) override;
  PathKind path_kind(const char* path) override;
  bool remove_file(const char* path) override;
  bool remove_directory(const char* path) override;
  bool make_directory(const char* path) override;
  bool file_modified_time(const char* path, int64_t& seconds) override;
  bool read_directory(const char* path, std::vector<DirectoryEntry>& entries) override;
  bool env_get(const char* name, std::string& value) override;
  bool env_set(const char* name, const char* value) override;
  std::vector<std::string> env_entries() override;
  std::string documents_folder() override;
  std::string data_folder() override;
  int32_t battery_percent() override;
  uint32_t machine_serial() override;
  std::string user_language() override;
  int32_t display_dpi() override;  // sdl_video.cpp

  // Clocks (linux_process.cpp)
  double counter_ms() override;
  void sleep_ms(int32_t ms) override;
  void nap_ms(double ms) override;  // linux_host.cpp

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
  std::string window_title(WindowHandle window) override;
  void show_window(WindowHandle window, bool shown) override;
  void raise_window(WindowHandle window) override;
  void set_window_decorated(WindowHandle window, bool decorated) override;
  void set_window_fullscreen(WindowHandle window, bool on) override;
  void set_window_position(WindowHandle window, int32_t x, int32_t y) override;
  void set_window_size(WindowHandle window, int32_t width, int32_t height) override;
  ScreenRect window_client_rect(WindowHandle window) override;
  ScreenRect window_outer_rect(WindowHandle window) override;
  bool window_has_focus(WindowHandle window) override;
  void swap_buffers(WindowHandle window) override;
  bool set_swap_interval(int32_t interval) override;
  void* gl_proc_address(const char* name) override;
  void* current_gl_context() override;
  void beep() override;
  void message_box(const char* title, const char* text) override;
  void allow_screen_saver(bool allowed) override;
  bool next_message(WindowHandle window, WindowMessage& message) override;
  bool peek_message(WindowHandle window, WindowMessage& message) override;
  std::string video_error() override;
  bool set_mouse_pointer_messages(bool on) override;
  // Touch and pen pointers are known from the events that next_message maps.
  bool pointer_location(int32_t pointer_id, int32_t& x, int32_t& y) override;

  // Host services (linux_host.cpp)
  std::string working_directory() override;
  bool set_working_directory(const char* path) override;
  bool open_console() override;
  bool file_dialog(bool open, const std::vector<std::pair<std::string, std::string>>& filters,
                   const std::string& start_dir, std::string& chosen) override;

  // Pointer and keyboard (sdl_input.cpp)
  void os_version(int32_t& major, int32_t& minor) override;
  bool prefers_pointer_messages() override;
  void cursor_position(int32_t& x, int32_t& y) override;
  void set_cursor_position(int32_t x, int32_t y) override;
  void show_cursor(bool shown) override;
  uint32_t mouse_buttons() override;
  InputHandle open_input_system() override;
  void close_input_system(InputHandle system) override;
  InputHandle open_mouse_device(InputHandle system) override;
  bool acquire_mouse_device(InputHandle device, WindowHandle window, int32_t cooperation) override;
  void unacquire_mouse_device(InputHandle device) override;
  bool read_mouse_device(InputHandle device, MouseDeviceState& state) override;
  void close_mouse_device(InputHandle device) override;
  InputHandle open_keyboard_device(InputHandle system) override;
  bool acquire_keyboard_device(InputHandle device, WindowHandle window) override;
  void unacquire_keyboard_device(InputHandle device) override;
  bool read_keyboard_device(InputHandle device, uint8_t snapshot[256]) override;
  void close_keyboard_device(InputHandle device) override;
};

// The runtime's key code (the keyboard's set-1 scan code, extended keys at 128 and above) of
// an SDL scan code; 0 when the key has none (sdl_input.cpp).
int32_t sdl_key_code(int32_t sdl_scancode);

// Files and system information (linux_files.cpp), apart so tests can give them other roots.
// The mean charge of the batteries under a power-supply folder (/sys/class/power_supply);
// 255 when there is none.
int32_t battery_percent_in(const std::string& power_supply_dir);
// A machine-id text (32 hexadecimal digits) folded to 32 bits by XOR; 0 when it is not one.
uint32_t fold_machine_id(const std::string& text);
// XDG_DOCUMENTS_DIR from the text of a user-dirs.dirs file, "$HOME" expanded; "" when absent.
std::string documents_dir_from_user_dirs(const std::string& text, const std::string& home);

// True when QUARNEL_UNATTENDED is set to something other than "" or "0": nobody is there to
// answer a box or a dialog, so none is shown.
bool unattended_run();

// The arguments (program first) of the dialog program for a file dialog.
std::vector<std::string> file_dialog_arguments(
    bool open, const std::vector<std::pair<std::string, std::string>>& filters, const std::string& start_dir);

}  // namespace qrn
