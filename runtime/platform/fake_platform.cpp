// Scripted backend for tests (see fake_platform.h).
#include "platform/fake_platform.h"

#include <cstdio>
#include <cstring>

namespace qrn {

Platform& real_platform();  // linux_process.cpp

bool FakePlatform::read_stdin_line(char* buffer, size_t size) {
  if (size == 0) return false;
  std::memset(buffer, 0, size);
  if (stdin_lines.empty()) return false;
  std::string& line = stdin_lines.front();
  size_t take = line.size() < size - 1 ? line.size() : size - 1;
  std::memcpy(buffer, line.data(), take);
  line.erase(0, take);  // a line longer than the buffer is read in pieces, like fgets
  if (line.empty()) stdin_lines.pop_front();
  return true;
}

bool FakePlatform::append_file_exclusive(const char* path, const char* bytes, size_t count) {
  if (exclusive_append_fails) return false;
  FILE* file = std::fopen(path, "ab");
  if (!file) return false;
  bool ok = std::fwrite(bytes, 1, count, file) == count;
  ok = std::fclose(file) == 0 && ok;
  return ok;
}

// Files and the environment are the real ones.
FileHandle FakePlatform::file_open(const char* path, FileOpenMode mode) {
  return real_platform().file_open(path, mode);
}
int64_t FakePlatform::file_read(FileHandle file, void* buffer, size_t count) {
  return real_platform().file_read(file, buffer, count);
}
int64_t FakePlatform::file_write(FileHandle file, const void* bytes, size_t count) {
  return real_platform().file_write(file, bytes, count);
}
bool FakePlatform::file_seek(FileHandle file, int64_t offset) { return real_platform().file_seek(file, offset); }
int64_t FakePlatform::file_length(FileHandle file) { return real_platform().file_length(file); }
void FakePlatform::file_close(FileHandle file) { real_platform().file_close(file); }
bool FakePlatform::replace_file(const char* path, const char* bytes, size_t count) {
  return !replace_fails && real_platform().replace_file(path, bytes, count);
}
PathKind FakePlatform::path_kind(const char* path) { return real_platform().path_kind(path); }
bool FakePlatform::remove_file(const char* path) { return real_platform().remove_file(path); }
bool FakePlatform::remove_directory(const char* path) { return real_platform().remove_directory(path); }
bool FakePlatform::make_directory(const char* path) { return real_platform().make_directory(path); }
bool FakePlatform::file_modified_time(const char* path, int64_t& seconds) {
  return real_platform().file_modified_time(path, seconds);
}
bool FakePlatform::read_directory(const char* path, std::vector<DirectoryEntry>& entries) {
  return real_platform().read_directory(path, entries);
}
bool FakePlatform::env_get(const char* name, std::string& value) { return real_platform().env_get(name, value); }
bool FakePlatform::env_set(const char* name, const char* value) { return real_platform().env_set(name, value); }
std::vector<std::string> FakePlatform::env_entries() { return real_platform().env_entries(); }
int64_t FakePlatform::calendar_time() {
  return calendar_seconds >= 0 ? calendar_seconds : real_platform().calendar_time();
}

void FakePlatform::deliver_due_messages() {
  while (!later_messages.empty() && later_messages.front().first <= now_ms) {
    messages.push_back(later_messages.front().second);
    later_messages.pop_front();
  }
}

bool FakePlatform::next_message(WindowHandle, WindowMessage& message) {
  deliver_due_messages();
  if (messages.empty()) return false;
  message = messages.front();
  messages.pop_front();
  return true;
}

bool FakePlatform::peek_message(WindowHandle, WindowMessage& message) {
  deliver_due_messages();
  if (messages.empty()) return false;
  message = messages.front();
  return true;
}

bool FakePlatform::display_has_mode(int32_t width, int32_t height, int32_t) {
  for (const auto& mode : display_modes) {
    if (mode.first == width && mode.second == height) return true;
  }
  return false;
}

WindowHandle FakePlatform::create_window(const WindowRequest& request) {
  window_requests.push_back(request);
  if (!video_available || window_creation_fails) return nullptr;
  FakeWindow window;
  window.title = request.title ? request.title : "";
  window.client = {0, 0, request.width, request.height};
  windows.push_back(window);
  events.push_back("create " + std::to_string(windows.size()));
  return &windows.back();
}

void FakePlatform::destroy_window(WindowHandle window) {
  if (!window) return;
  fake_window(window)->destroyed = true;
  events.push_back("destroy");
}

void FakePlatform::set_window_title(WindowHandle window, const char* title) {
  if (!window) return;
  fake_window(window)->title = title ? title : "";
  events.push_back("title " + fake_window(window)->title);
}

void FakePlatform::show_window(WindowHandle window, bool shown) {
  if (!window) return;
  fake_window(window)->shown = shown;
  events.push_back(shown ? "show" : "hide");
}

void FakePlatform::raise_window(WindowHandle window) {
  if (!window) return;
  ++fake_window(window)->raised;
  events.push_back("raise");
  if (raise_gives_focus) {  // the desktop activates a window brought to the front
    WindowMessage activation;
    activation.kind = MessageKind::activate;
    activation.window = window;
    activation.code = 1;
    messages.push_back(activation);
  }
}

void FakePlatform::set_window_decorated(WindowHandle window, bool decorated) {
  if (window) fake_window(window)->decorated = decorated;
}

void FakePlatform::set_window_fullscreen(WindowHandle window, bool on) {
  if (!window) return;
  fake_window(window)->fullscreen = on;
  events.push_back(on ? "fullscreen" : "windowed");
}

void FakePlatform::set_window_position(WindowHandle window, int32_t x, int32_t y) {
  if (!window) return;
  fake_window(window)->client.x = x;
  fake_window(window)->client.y = y;
}

void FakePlatform::set_window_size(WindowHandle window, int32_t width, int32_t height) {
  if (!window) return;
  fake_window(window)->client.width = width;
  fake_window(window)->client.height = height;
}

ScreenRect FakePlatform::window_client_rect(WindowHandle window) {
  return window ? fake_window(window)->client : ScreenRect{};
}

ScreenRect FakePlatform::window_outer_rect(WindowHandle window) {
  if (!window) return {};
  ScreenRect r = fake_window(window)->client;
  if (!fake_window(window)->decorated || fake_window(window)->fullscreen) return r;
  return {r.x - border_width, r.y - caption_height, r.width + 2 * border_width,
          r.height + caption_height + border_width};
}

bool FakePlatform::file_dialog(bool, const std::vector<std::pair<std::string, std::string>>& filters,
                               const std::string&, std::string& chosen) {
  dialog_filters = filters;
  events.push_back("dialog");
  chosen = dialog_confirms ? dialog_path : "";
  cwd = "/elsewhere";  // the dialog may move the working directory
  return dialog_confirms;
}

void FakePlatform::set_cursor_position(int32_t x, int32_t y) {
  cursor_moves.emplace_back(x, y);
  cursor_x = x;
  cursor_y = y;
}

uint32_t FakePlatform::mouse_buttons() {
  uint32_t bits = buttons | clicks;
  clicks = 0;
  return bits;
}

bool FakePlatform::pointer_location(int32_t pointer_id, int32_t& x, int32_t& y) {
  auto found = pointer_locations.find(pointer_id);
  if (found == pointer_locations.end()) return false;
  x = found->second.first;
  y = found->second.second;
  return true;
}

bool FakePlatform::acquire_mouse_device(InputHandle device, WindowHandle window, int32_t cooperation) {
  ++mouse_acquire_calls;
  if (!device || mouse_acquire_fails || !window_has_focus(window)) return false;
  mouse_acquired = true;
  mouse_level = cooperation;
  return true;
}

bool FakePlatform::read_mouse_device(InputHandle device, MouseDeviceState& state) {
  if (!device || !mouse_acquired) return false;
  state = mouse_motion;
  mouse_motion = MouseDeviceState();
  return true;
}

bool FakePlatform::acquire_keyboard_device(InputHandle device, WindowHandle window) {
  if (!device || keyboard_acquire_fails || !window_has_focus(window)) return false;
  keyboard_acquired = true;
  return true;
}

bool FakePlatform::read_keyboard_device(InputHandle device, uint8_t snapshot[256]) {
  ++keyboard_reads;
  if (!device || !keyboard_acquired) return false;
  for (int32_t code = 0; code < 256; ++code) snapshot[code] = keys[code] ? 0x80 : 0;
  return true;
}

}  // namespace qrn
