// Scripted video service for tests: a desktop of fake windows with every window operation
// recorded, swaps, beeps and boxes counted, and window messages played back, some of them
// once a clock reaches their time.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/video.h"

namespace qrn {

class FakeVideo : public VideoService {
 public:
  struct FakeWindow {
    std::string title;
    ScreenRect client;  // client area in screen pixels
    bool shown = false;
    bool decorated = true;
    bool fullscreen = false;
    bool destroyed = false;
    int32_t raised = 0;
  };

  // Recorded
  int32_t swaps = 0;
  int32_t beeps = 0;
  std::vector<std::string> message_boxes;  // "title|text"
  std::deque<FakeWindow> windows;          // a window handle is the address of its entry
  std::vector<WindowRequest> window_requests;
  std::vector<std::string> events;  // window operations in order ("show", "title ..."...)
  std::vector<int32_t> swap_intervals;
  bool screen_saver_allowed = true;
  bool mouse_pointer_messages = false;
  std::vector<std::pair<std::string, std::string>> dialog_filters;  // what the dialog was given

  // Scripted
  bool video_available = true;  // false: video_init and create_window fail
  bool window_creation_fails = false;
  ScreenRect desktop{0, 0, 1280, 1024};
  ScreenRect work_area{0, 0, 1280, 1024};
  int32_t desktop_bits = 24;
  int32_t dpi = 0;
  std::vector<std::pair<int32_t, int32_t>> display_modes;  // full-screen modes (width, height)
  int32_t caption_height = 20;  // frame added above the client area of a decorated window
  int32_t border_width = 2;     // frame added on the other three sides
  bool raise_gives_focus = true;  // raise_window queues an activation message
  WindowHandle focus_window = nullptr;  // the window that has the focus
  bool dialog_confirms = false;  // scripted answer of the file dialog
  std::string dialog_path;
  std::map<int32_t, std::pair<int32_t, int32_t>> pointer_locations;  // id -> screen point
  std::deque<WindowMessage> messages;
  // Messages that join `messages` once the clock reaches their time (in time order).
  std::deque<std::pair<double, WindowMessage>> later_messages;
  // The clock later_messages wait for (a FakePlatform points it at its process's counter).
  const double* clock_ms = &own_clock_ms;
  double own_clock_ms = 0.0;

  FakeWindow* fake_window(WindowHandle window) { return static_cast<FakeWindow*>(window); }

  bool video_init() override { return video_available; }
  ScreenRect display_bounds() override { return desktop; }
  ScreenRect display_usable_bounds() override { return work_area; }
  int32_t display_bits_per_pixel() override { return desktop_bits; }
  bool display_has_mode(int32_t width, int32_t height, int32_t bits) override;
  int32_t display_dpi() override { return dpi; }
  std::string video_error() override { return video_available ? "no window" : "no display"; }
  WindowHandle create_window(const WindowRequest& request) override;
  void destroy_window(WindowHandle window) override;
  void set_window_title(WindowHandle window, const char* title) override;
  std::string window_title(WindowHandle window) override { return window ? fake_window(window)->title : ""; }
  void show_window(WindowHandle window, bool shown) override;
  void raise_window(WindowHandle window) override;
  void set_window_decorated(WindowHandle window, bool decorated) override;
  void set_window_fullscreen(WindowHandle window, bool on) override;
  void set_window_position(WindowHandle window, int32_t x, int32_t y) override;
  void set_window_size(WindowHandle window, int32_t width, int32_t height) override;
  ScreenRect window_client_rect(WindowHandle window) override;
  ScreenRect window_outer_rect(WindowHandle window) override;
  bool window_has_focus(WindowHandle window) override { return window && window == focus_window; }
  void swap_buffers(WindowHandle) override { ++swaps; }
  bool set_swap_interval(int32_t interval) override {
    swap_intervals.push_back(interval);
    return true;
  }
  void beep() override { ++beeps; }
  void message_box(const char* title, const char* text) override {
    message_boxes.push_back(std::string(title) + "|" + text);
  }
  void allow_screen_saver(bool allowed) override { screen_saver_allowed = allowed; }
  bool file_dialog(bool open, const FileFilters& filters, const std::string& start_dir,
                   std::string& chosen) override;
  bool next_message(WindowHandle window, WindowMessage& message) override;
  bool peek_message(WindowHandle window, WindowMessage& message) override;
  void deliver_due_messages();
  bool set_mouse_pointer_messages(bool on) override {
    mouse_pointer_messages = on;
    return true;
  }
  bool pointer_location(int32_t pointer_id, int32_t& x, int32_t& y) override;

  // Run when the file dialog is shown (a real dialog may move the working directory).
  std::function<void()> on_dialog;
};

}  // namespace qrn
