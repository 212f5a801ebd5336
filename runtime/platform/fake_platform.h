// Scripted backend for tests: records what the runtime writes, sleeps and swaps, and plays
// back what a test scripts (clock, debugger, messages, pointer, keys). Install it with
// FakePlatformScope so the real backend comes back when the test ends.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace qrn {

// Thrown by FakePlatform::exit_process so a test can watch the program end without exiting.
struct FakeProcessExit {
  int32_t code;
};

class FakePlatform : public Platform {
 public:
  // Recorded output
  std::string stdout_text;
  std::string stderr_text;
  std::string debugger_text;
  std::vector<int32_t> sleeps;  // every sleep_ms request, in order
  int32_t swaps = 0;
  int32_t beeps = 0;
  std::vector<std::string> message_boxes;

  // Scripted input
  std::deque<std::string> stdin_lines;  // each entry is returned as one line (include "\n")
  std::string temp_dir = "/tmp/";
  bool debugger = false;
  std::string command_text = "prog";
  std::string program_file = "/tmp/prog";
  int32_t start_show = -1;    // show-window value of the start-up information; -1: none
  double now_ms = 0.0;        // the counter; sleep_ms advances it
  double ms_per_read = 0.0;   // added after every counter read (simulates time passing)
  bool exclusive_append_fails = false;
  std::deque<WindowMessage> messages;
  // Messages that join `messages` once the counter reaches their time (in time order).
  std::deque<std::pair<double, WindowMessage>> later_messages;

  void write_stdout(const char* bytes, size_t count) override { stdout_text.append(bytes, count); }
  void write_stderr(const char* bytes, size_t count) override { stderr_text.append(bytes, count); }
  bool read_stdin_line(char* buffer, size_t size) override;
  std::string temp_folder() override { return temp_dir; }
  bool debugger_attached() override { return debugger; }
  void debugger_output(const char* text) override { debugger_text += text ? text : ""; }
  [[noreturn]] void exit_process(int32_t code) override { throw FakeProcessExit{code}; }
  std::string command_line() override { return command_text; }
  std::string program_path() override { return program_file; }
  bool startup_show_command(int32_t& show) override {
    if (start_show < 0) return false;
    show = start_show;
    return true;
  }

  bool append_file_exclusive(const char* path, const char* bytes, size_t count) override;

  // ---- Files and system information: files are real (tests use temporary folders), the
  // system's answers are scripted --------------------------------------------------------
  int64_t calendar_seconds = -1;  // -1: the real calendar time
  std::string documents_dir;      // "" : none
  std::string data_dir;
  int32_t battery = 255;
  uint32_t serial = 0;
  std::string language;
  int32_t dpi = 0;
  bool replace_fails = false;     // replace_file fails without touching anything

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
  int64_t calendar_time() override;
  std::string documents_folder() override { return documents_dir; }
  std::string data_folder() override { return data_dir; }
  int32_t battery_percent() override { return battery; }
  uint32_t machine_serial() override { return serial; }
  std::string user_language() override { return language; }
  int32_t display_dpi() override { return dpi; }

  double counter_ms() override {
    double value = now_ms;
    now_ms += ms_per_read;
    return value;
  }
  void sleep_ms(int32_t ms) override {
    sleeps.push_back(ms);
    if (ms > 0) now_ms += ms;
  }
  std::vector<double> naps;  // every nap_ms request, in order
  void nap_ms(double ms) override {
    naps.push_back(ms);
    if (ms > 0) now_ms += ms;
  }

  void swap_buffers(WindowHandle) override { ++swaps; }
  void beep() override { ++beeps; }
  void message_box(const char* title, const char* text) override {
    message_boxes.push_back(std::string(title) + "|" + text);
  }
  bool next_message(WindowHandle window, WindowMessage& message) override;
  bool peek_message(WindowHandle window, WindowMessage& message) override;
  void deliver_due_messages();

  // ---- Display and windows: a scripted desktop with recorded window operations ----------
  struct FakeWindow {
    std::string title;
    ScreenRect client;  // client area in screen pixels
    bool shown = false;
    bool decorated = true;
    bool fullscreen = false;
    bool destroyed = false;
    int32_t raised = 0;
  };
  bool video_available = true;        // false: video_init and create_window fail
  bool window_creation_fails = false;
  ScreenRect desktop{0, 0, 1280, 1024};
  ScreenRect work_area{0, 0, 1280, 1024};
  int32_t desktop_bits = 24;
  std::vector<std::pair<int32_t, int32_t>> display_modes;  // full-screen modes (width, height)
  int32_t caption_height = 20;  // frame added above the client area of a decorated window
  int32_t border_width = 2;     // frame added on the other three sides
  std::deque<FakeWindow> windows;  // a window handle is the address of its entry
  std::vector<WindowRequest> window_requests;
  std::vector<std::string> events;  // window operations in order ("show 1", "title ..."...)
  std::vector<int32_t> swap_intervals;
  bool screen_saver_allowed = true;
  bool mouse_pointer_messages = false;
  bool raise_gives_focus = true;  // raise_window queues an activation message
  std::string cwd = "/tmp";
  bool dialog_confirms = false;  // scripted answer of the file dialog
  std::string dialog_path;
  std::vector<std::pair<std::string, std::string>> dialog_filters;  // what the dialog was given

  FakeWindow* fake_window(WindowHandle window) { return static_cast<FakeWindow*>(window); }
  bool video_init() override { return video_available; }
  ScreenRect display_bounds() override { return desktop; }
  ScreenRect display_usable_bounds() override { return work_area; }
  int32_t display_bits_per_pixel() override { return desktop_bits; }
  bool display_has_mode(int32_t width, int32_t height, int32_t bits) override;
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
  bool set_swap_interval(int32_t interval) override {
    swap_intervals.push_back(interval);
    return true;
  }
  void allow_screen_saver(bool allowed) override { screen_saver_allowed = allowed; }
  std::string video_error() override { return video_available ? "no window" : "no display"; }
  bool set_mouse_pointer_messages(bool on) override {
    mouse_pointer_messages = on;
    return true;
  }
  std::string working_directory() override { return cwd; }
  bool set_working_directory(const char* path) override {
    cwd = path ? path : "";
    events.push_back("cd " + cwd);
    return true;
  }
  bool file_dialog(bool open, const std::vector<std::pair<std::string, std::string>>& filters,
                   const std::string& start_dir, std::string& chosen) override;

  // ---- Pointer and keyboard: a scripted cursor, mouse device, keyboard and touch pointers --
  int32_t os_major = 6, os_minor = 1;
  bool pointer_messages = false;       // prefers_pointer_messages
  WindowHandle focus_window = nullptr;  // the window that has the focus
  int32_t cursor_x = 0, cursor_y = 0;  // screen pixels; set_cursor_position moves it
  std::vector<std::pair<int32_t, int32_t>> cursor_moves;  // every set_cursor_position
  int32_t cursor_shown = -1;  // last show_cursor: 1 shown, 0 hidden, -1 never called
  uint32_t buttons = 0;       // held mouse buttons (bit 0 left, 1 right, 2 middle)
  uint32_t clicks = 0;        // pressed since the last query; mouse_buttons clears them
  std::map<int32_t, std::pair<int32_t, int32_t>> pointer_locations;  // id -> screen point
  bool input_system = true;         // open_input_system succeeds
  bool keyboard_available = true;   // open_keyboard_device succeeds
  bool mouse_available = true;      // open_mouse_device succeeds
  bool mouse_acquire_fails = false;
  bool keyboard_acquire_fails = false;
  bool mouse_acquired = false;
  int32_t mouse_level = 0;           // cooperation of the last successful acquire
  int32_t mouse_acquire_calls = 0;
  MouseDeviceState mouse_motion;     // what the next device read returns (then cleared)
  uint8_t keys[256] = {};            // keyboard device: non-zero while held, by scan code
  bool keyboard_acquired = false;
  int32_t keyboard_reads = 0;
  bool virtual_keys[256] = {};       // held keys by virtual-key code

  bool window_has_focus(WindowHandle window) override { return window && window == focus_window; }
  void os_version(int32_t& major, int32_t& minor) override {
    major = os_major;
    minor = os_minor;
  }
  bool prefers_pointer_messages() override { return pointer_messages; }
  void cursor_position(int32_t& x, int32_t& y) override {
    x = cursor_x;
    y = cursor_y;
  }
  void set_cursor_position(int32_t x, int32_t y) override;
  void show_cursor(bool shown) override { cursor_shown = shown ? 1 : 0; }
  uint32_t mouse_buttons() override;
  bool pointer_location(int32_t pointer_id, int32_t& x, int32_t& y) override;
  InputHandle open_input_system() override { return input_system ? &input_system : nullptr; }
  InputHandle open_mouse_device(InputHandle system) override {
    return system && mouse_available ? &mouse_acquired : nullptr;
  }
  bool acquire_mouse_device(InputHandle device, WindowHandle window, int32_t cooperation) override;
  void unacquire_mouse_device(InputHandle) override { mouse_acquired = false; }
  bool read_mouse_device(InputHandle device, MouseDeviceState& state) override;
  InputHandle open_keyboard_device(InputHandle system) override {
    return system && keyboard_available ? &keyboard_acquired : nullptr;
  }
  bool acquire_keyboard_device(InputHandle device, WindowHandle window) override;
  void unacquire_keyboard_device(InputHandle) override { keyboard_acquired = false; }
  bool read_keyboard_device(InputHandle device, uint8_t snapshot[256]) override;
  bool virtual_key_state(int32_t virtual_key) override {
    return virtual_key >= 0 && virtual_key < 256 && virtual_keys[virtual_key];
  }
};

// Installs a FakePlatform for the lifetime of the scope.
class FakePlatformScope {
 public:
  FakePlatformScope() : previous_(install_platform(&fake_)) {}
  ~FakePlatformScope() { install_platform(previous_); }
  FakePlatformScope(const FakePlatformScope&) = delete;
  FakePlatformScope& operator=(const FakePlatformScope&) = delete;
  FakePlatform& operator*() { return fake_; }
  FakePlatform* operator->() { return &fake_; }

 private:
  FakePlatform fake_;
  Platform* previous_;
};

}  // namespace qrn
