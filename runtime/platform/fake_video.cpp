// Scripted video service for tests (see fake_video.h).
#include "platform/fake_video.h"

namespace qrn {

void FakeVideo::deliver_due_messages() {
  while (!later_messages.empty() && later_messages.front().first <= *clock_ms) {
    messages.push_back(later_messages.front().second);
    later_messages.pop_front();
  }
}

bool FakeVideo::next_message(WindowHandle, WindowMessage& message) {
  deliver_due_messages();
  if (messages.empty()) return false;
  message = messages.front();
  messages.pop_front();
  return true;
}

bool FakeVideo::peek_message(WindowHandle, WindowMessage& message) {
  deliver_due_messages();
  if (messages.empty()) return false;
  message = messages.front();
  return true;
}

bool FakeVideo::display_has_mode(int32_t width, int32_t height, int32_t) {
  for (const auto& mode : display_modes) {
    if (mode.first == width && mode.second == height) return true;
  }
  return false;
}

WindowHandle FakeVideo::create_window(const WindowRequest& request) {
  window_requests.push_back(request);
  if (!video_available || window_creation_fails) return nullptr;
  FakeWindow window;
  window.title = request.title ? request.title : "";
  window.client = {0, 0, request.width, request.height};
  windows.push_back(window);
  events.push_back("create " + std::to_string(windows.size()));
  return &windows.back();
}

void FakeVideo::destroy_window(WindowHandle window) {
  if (!window) return;
  fake_window(window)->destroyed = true;
  events.push_back("destroy");
}

void FakeVideo::set_window_title(WindowHandle window, const char* title) {
  if (!window) return;
  fake_window(window)->title = title ? title : "";
  events.push_back("title " + fake_window(window)->title);
}

void FakeVideo::show_window(WindowHandle window, bool shown) {
  if (!window) return;
  fake_window(window)->shown = shown;
  events.push_back(shown ? "show" : "hide");
}

void FakeVideo::raise_window(WindowHandle window) {
  if (!window) return;
  ++fake_window(window)->raised;
  events.push_back("raise");
  if (raise_gives_focus) {  // the desktop activates a window brought to the front
    WindowMessage activation;
    activation.kind = MessageKind::activate;
    activation.window = window;
    activation.code = ACTIVATED_BY_KEYBOARD;
    messages.push_back(activation);
  }
}

void FakeVideo::set_window_decorated(WindowHandle window, bool decorated) {
  if (window) fake_window(window)->decorated = decorated;
}

void FakeVideo::set_window_fullscreen(WindowHandle window, bool on) {
  if (!window) return;
  fake_window(window)->fullscreen = on;
  events.push_back(on ? "fullscreen" : "windowed");
}

void FakeVideo::set_window_position(WindowHandle window, int32_t x, int32_t y) {
  if (!window) return;
  fake_window(window)->client.x = x;
  fake_window(window)->client.y = y;
}

void FakeVideo::set_window_size(WindowHandle window, int32_t width, int32_t height) {
  if (!window) return;
  fake_window(window)->client.width = width;
  fake_window(window)->client.height = height;
}

ScreenRect FakeVideo::window_client_rect(WindowHandle window) {
  return window ? fake_window(window)->client : ScreenRect{};
}

ScreenRect FakeVideo::window_outer_rect(WindowHandle window) {
  if (!window) return {};
  ScreenRect r = fake_window(window)->client;
  if (!fake_window(window)->decorated || fake_window(window)->fullscreen) return r;
  return {r.x - border_width, r.y - caption_height, r.width + 2 * border_width,
          r.height + caption_height + border_width};
}

bool FakeVideo::file_dialog(bool, const FileFilters& filters, const std::string&, std::string& chosen) {
  dialog_filters = filters;
  events.push_back("dialog");
  chosen = dialog_confirms ? dialog_path : "";
  if (on_dialog) on_dialog();
  return dialog_confirms;
}

bool FakeVideo::pointer_location(int32_t pointer_id, int32_t& x, int32_t& y) {
  auto found = pointer_locations.find(pointer_id);
  if (found == pointer_locations.end()) return false;
  x = found->second.first;
  y = found->second.second;
  return true;
}

}  // namespace qrn
