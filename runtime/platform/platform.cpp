// Platform layer: neutral defaults of every operation and the backend selection.
// A default is what the runtime sees when the platform has no such service.
#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>

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

double Platform::counter_ms() { return 0.0; }
void Platform::sleep_ms(int32_t) {}

bool Platform::video_init() { return false; }
void Platform::video_quit() {}
ScreenRect Platform::display_bounds() { return {0, 0, 1024, 768}; }
ScreenRect Platform::display_usable_bounds() { return display_bounds(); }
int32_t Platform::display_bits_per_pixel() { return 24; }
bool Platform::display_has_mode(int32_t, int32_t, int32_t) { return false; }
WindowHandle Platform::create_window(const WindowRequest&) { return nullptr; }
void Platform::destroy_window(WindowHandle) {}
void Platform::set_window_title(WindowHandle, const char*) {}
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
void Platform::beep() {}
void Platform::message_box(const char*, const char*) {}
void Platform::allow_screen_saver(bool) {}
bool Platform::next_message(WindowHandle, WindowMessage&) { return false; }

void Platform::cursor_position(int32_t& x, int32_t& y) { x = y = 0; }
void Platform::set_cursor_position(int32_t, int32_t) {}
void Platform::show_cursor(bool) {}
uint32_t Platform::mouse_buttons() { return 0; }
bool Platform::key_state(int32_t) { return false; }
bool Platform::pointer_location(int32_t, int32_t&, int32_t&) { return false; }

}  // namespace qrn
