// The window procedure, caption, console and file dialogs (see window_messages.h).
#include "host/window_messages.h"

#include "core/errors.h"
#include "core/named_callbacks.h"
#include "core/runtime_state.h"
#include "gfx/device.h"
#include "host/frame_loop.h"
#include "host/screen.h"
#include "input/input_devices.h"
#include "platform/process.h"
#include "platform/video.h"

namespace qrn {

namespace {

void show_title(const RtString& title) {
  os_video().set_window_title(g_runtime.window_handle, title.data);
}

int32_t pointer_message_kind(MessageKind kind) {
  switch (kind) {
    case MessageKind::pointer_down: return WM_POINTERDOWN;
    case MessageKind::pointer_up: return WM_POINTERUP;
    default: return WM_POINTERUPDATE;
  }
}

}  // namespace

const WindowMessage& current_window_message() { return g_runtime.current_message; }
void set_current_window_message(const WindowMessage& message) { g_runtime.current_message = message; }

int32_t window_procedure(const WindowMessage& message) {
  RuntimeState& rt = g_runtime;
  switch (message.kind) {
    case MessageKind::close_request:
      end_program();
      return 0;
    case MessageKind::deactivate:
      os_video().allow_screen_saver(true);
      if (rt.debug_mode) return 0;
      set_focus_lost(1);
      if (rt.paused) show_title(rt.caption + PAUSE_SUFFIX);
      return 0;
    case MessageKind::activate:
      if (message.code != 1 && message.code != 2) return 0;
      os_video().allow_screen_saver(false);
      if (rt.debug_mode) return 0;
      set_focus_lost(0);
      if (!rt.paused) show_title(rt.caption);
      return 0;
    case MessageKind::expose:
      return 1;  // the next frame covers the window
    case MessageKind::system_key_up:
      return 0;  // swallowed: Alt alone never opens the window menu
    case MessageKind::screen_saver:
      return 0;  // refused
    case MessageKind::pointer_down:
    case MessageKind::pointer_update:
    case MessageKind::pointer_up:
      if (message.code != 0) {
        handle_pointer_message(pointer_message_kind(message.kind), static_cast<uint32_t>(message.code) & 0xFFFF);
      }
      return 0;
    default:
      return 0;
  }
}

RtString get_caption() { return g_runtime.caption; }

void set_caption(const char* caption) {
  g_runtime.caption = caption ? caption : "";
  show_title(g_runtime.caption);
}

void open_console() { os_process().open_console(); }

std::vector<std::pair<std::string, std::string>> split_dialog_filter(const RtString& filter) {
  // The platform's list ends at the first empty entry, as a double zero byte ends it.
  std::vector<std::string> parts;
  std::string text(filter.data, filter.length);
  size_t start = 0;
  for (;;) {
    size_t bar = text.find('|', start);
    std::string part = text.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
    if (part.empty()) break;
    parts.push_back(part);
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  std::vector<std::pair<std::string, std::string>> pairs;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) pairs.emplace_back(parts[i], parts[i + 1]);
  return pairs;
}

RtString file_dialog(int32_t open, const RtString& filter) {
  RuntimeState& rt = g_runtime;
  std::string start_dir = os_process().working_directory();
  if (rt.device) rt.device->hide_window();
  std::string chosen;
  bool confirmed = os_video().file_dialog(open != 0, split_dialog_filter(filter), start_dir, chosen);
  if (!start_dir.empty()) os_process().set_working_directory(start_dir.c_str());
  if (OpenGLZodidoze* device = rt.device) {
    if (rt.full_screen) {
      if (rt.screen_width) g_runtime.window_width = rt.screen_width;
      if (rt.screen_height) g_runtime.window_height = rt.screen_height;
      device->enter_full_screen();
      rebind_window_users();
      for (int frame = 0; frame < 5; ++frame) show_screen();
    } else {
      device->enter_window_mode();
    }
  }
  if (!confirmed || chosen.empty()) return RtString("NO_FILE");
  for (char& c : chosen) {
    if (c == '\\') c = '/';
  }
  return RtString(chosen.c_str());
}

}  // namespace qrn
