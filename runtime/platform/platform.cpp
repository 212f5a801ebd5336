// Platform layer: neutral defaults of every operation and the backend selection.
// A default is what the runtime sees when the platform has no such service.
#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace qrn {

Platform& real_platform();  // linux_platform.cpp

namespace {
Platform* g_installed = nullptr;
}

Platform& platform() { return g_installed ? *g_installed : real_platform(); }

Platform* install_platform(Platform* backend) {
  Platform* previous = g_installed;
  g_installed = backend;
  return previous;
}

void Platform::write_stdout(const char*, size_t) {}
void Platform::write_stderr(const char*, size_t) {}
bool Platform::read_stdin_line(char* buffer, size_t size) {
  if (size) buffer[0] = 0;
  return false;
}
std::string Platform::temp_folder() { return "/tmp/"; }
bool Platform::debugger_attached() { return false; }
void Platform::debugger_output(const char*) {}
void Platform::exit_process(int32_t code) { std::exit(code); }
std::string Platform::command_line() { return ""; }
std::string Platform::program_path() { return ""; }
ModuleHandle Platform::program_module() { return nullptr; }
bool Platform::startup_show_command(int32_t&) { return false; }

bool Platform::append_file_exclusive(const char*, const char*, size_t) { return false; }

FileHandle Platform::file_open(const char*, FileOpenMode) { return nullptr; }
int64_t Platform::file_read(FileHandle, void*, size_t) { return -1; }
int64_t Platform::file_write(FileHandle, const void*, size_t) { return -1; }
bool Platform::file_seek(FileHandle, int64_t) { return false; }
int64_t Platform::file_length(FileHandle) { return -1; }
void Platform::file_close(FileHandle) {}
bool Platform::replace_file(const char*, const char*, size_t) { return false; }
PathKind Platform::path_kind(const char*) { return PathKind::unknown; }
bool Platform::remove_file(const char*) { return false; }
bool Platform::remove_directory(const char*) { return false; }
bool Platform::make_directory(const char*) { return false; }
bool Platform::file_modified_time(const char*, int64_t&) { return false; }
bool Platform::read_directory(const char*, std::vector<DirectoryEntry>& entries) {
  entries.clear();
  return false;
}
bool Platform::env_get(const char*, std::string& value) {
  value.clear();
  return false;
}
bool Platform::env_set(const char*, const char*) { return false; }
std::vector<std::string> Platform::env_entries() { return {}; }
int64_t Platform::calendar_time() { return static_cast<int64_t>(std::time(nullptr)); }
std::string Platform::documents_folder() { return ""; }
std::string Platform::data_folder() { return ""; }
int32_t Platform::battery_percent() { return 255; }
uint32_t Platform::machine_serial() { return 0; }
std::string Platform::user_language() { return ""; }
int32_t Platform::display_dpi() { return 0; }

double Platform::counter_ms() { return 0.0; }
void Platform::sleep_ms(int32_t) {}
void Platform::nap_ms(double) {}

bool Platform::video_init() { return false; }
void Platform::video_quit() {}
ScreenRect Platform::display_bounds() { return {0, 0, 1024, 768}; }
ScreenRect Platform::display_usable_bounds() { return display_bounds(); }
int32_t Platform::display_bits_per_pixel() { return 24; }
bool Platform::display_has_mode(int32_t, int32_t, int32_t) { return false; }
WindowHandle Platform::create_window(const WindowRequest&) { return nullptr; }
void Platform::destroy_window(WindowHandle) {}
void Platform::set_window_title(WindowHandle, const char*) {}
std::string Platform::window_title(WindowHandle) { return ""; }
void Platform::show_window(WindowHandle, bool) {}
void Platform::raise_window(WindowHandle) {}
void Platform::set_window_decorated(WindowHandle, bool) {}
void Platform::set_window_fullscreen(WindowHandle, bool) {}
void Platform::set_window_position(WindowHandle, int32_t, int32_t) {}
void Platform::set_window_size(WindowHandle, int32_t, int32_t) {}
ScreenRect Platform::window_client_rect(WindowHandle) { return {}; }
ScreenRect Platform::window_outer_rect(WindowHandle) { return {}; }
bool Platform::window_has_focus(WindowHandle) { return false; }
void Platform::swap_buffers(WindowHandle) {}
bool Platform::set_swap_interval(int32_t) { return false; }
void* Platform::gl_proc_address(const char*) { return nullptr; }
void* Platform::current_gl_context() { return nullptr; }
void Platform::beep() {}
void Platform::message_box(const char*, const char*) {}
void Platform::allow_screen_saver(bool) {}
bool Platform::next_message(WindowHandle, WindowMessage&) { return false; }
bool Platform::peek_message(WindowHandle, WindowMessage&) { return false; }
std::string Platform::video_error() { return ""; }
bool Platform::set_mouse_pointer_messages(bool) { return false; }

std::string Platform::working_directory() { return ""; }
bool Platform::set_working_directory(const char*) { return false; }
bool Platform::open_console() { return false; }
bool Platform::file_dialog(bool, const std::vector<std::pair<std::string, std::string>>&, const std::string&,
                           std::string&) {
  return false;
}

void Platform::os_version(int32_t& major, int32_t& minor) { major = minor = 0; }
bool Platform::prefers_pointer_messages() { return false; }
void Platform::cursor_position(int32_t& x, int32_t& y) { x = y = 0; }
void Platform::set_cursor_position(int32_t, int32_t) {}
void Platform::show_cursor(bool) {}
uint32_t Platform::mouse_buttons() { return 0; }
InputHandle Platform::open_input_system() { return nullptr; }
void Platform::close_input_system(InputHandle) {}
InputHandle Platform::open_mouse_device(InputHandle) { return nullptr; }
bool Platform::acquire_mouse_device(InputHandle, WindowHandle, int32_t) { return false; }
void Platform::unacquire_mouse_device(InputHandle) {}
bool Platform::read_mouse_device(InputHandle, MouseDeviceState&) { return false; }
void Platform::close_mouse_device(InputHandle) {}
InputHandle Platform::open_keyboard_device(InputHandle) { return nullptr; }
bool Platform::acquire_keyboard_device(InputHandle, WindowHandle) { return false; }
void Platform::unacquire_keyboard_device(InputHandle) {}
bool Platform::read_keyboard_device(InputHandle, uint8_t*) { return false; }
void Platform::close_keyboard_device(InputHandle) {}
bool Platform::virtual_key_state(int32_t) { return false; }
void Platform::keyboard_state(uint8_t state[256]) {
  for (int32_t key = 0; key < 256; ++key) state[key] = virtual_key_state(key) ? 0x80 : 0;
}
bool Platform::pointer_location(int32_t, int32_t&, int32_t&) { return false; }

}  // namespace qrn
