// Scripted backend for tests: records what the runtime writes, sleeps and swaps, and plays
// back what a test scripts (clock, debugger, messages, pointer, keys). Install it with
// FakePlatformScope so the real backend comes back when the test ends.
#pragma once

#include <deque>
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

  double counter_ms() override {
    double value = now_ms;
    now_ms += ms_per_read;
    return value;
  }
  void sleep_ms(int32_t ms) override {
    sleeps.push_back(ms);
    if (ms > 0) now_ms += ms;
  }

  void swap_buffers(WindowHandle) override { ++swaps; }
  void beep() override { ++beeps; }
  void message_box(const char* title, const char* text) override {
    message_boxes.push_back(std::string(title) + "|" + text);
  }
  bool next_message(WindowHandle window, WindowMessage& message) override;
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
