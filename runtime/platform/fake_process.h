// Scripted process service for tests: records what the runtime writes and sleeps, and plays
// back a scripted clock, command line, debugger, folders and system answers. The
// environment, libraries and other programs stay the real ones; loads and starts are
// recorded.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/process.h"

namespace qrn {

// Thrown by FakeProcess::exit_process so a test can watch the program end without exiting.
struct FakeProcessExit {
  int32_t code;
};

class FakeProcess : public ProcessService {
 public:
  // Recorded output
  std::string stdout_text;
  std::string stderr_text;
  std::string debugger_text;
  std::vector<int32_t> sleeps;  // every sleep_ms request, in order
  std::vector<double> naps;     // every nap_ms request, in order
  std::vector<std::string> module_loads;          // every load_module name, in order
  std::vector<std::vector<std::string>> started;  // the arguments of every program start

  // Scripted answers
  std::deque<std::string> stdin_lines;  // each entry is returned as one line (include "\n")
  std::string temp_dir = "/tmp/";
  bool debugger = false;
  std::string command_text = "prog";
  std::string program_file = "/tmp/prog";
  int32_t start_show = -1;    // show-window value of the start-up information; -1: none
  int32_t os_major = 6, os_minor = 1;
  std::string cwd = "/tmp";
  double now_ms = 0.0;        // the counter; sleep_ms and nap_ms advance it
  double ms_per_read = 0.0;   // added after every counter read (simulates time passing)
  int64_t calendar_seconds = -1;  // -1: the real calendar time
  std::string documents_dir;      // "" : none
  std::string data_dir;
  int32_t battery = 255;
  uint32_t serial = 0;
  std::string language;

  void write_stdout(const char* bytes, size_t count) override { stdout_text.append(bytes, count); }
  void write_stderr(const char* bytes, size_t count) override { stderr_text.append(bytes, count); }
  bool read_stdin_line(char* buffer, size_t size) override;
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
  void os_version(int32_t& major, int32_t& minor) override {
    major = os_major;
    minor = os_minor;
  }
  std::string working_directory() override { return cwd; }
  bool set_working_directory(const char* path) override {
    cwd = path ? path : "";
    return true;
  }
  ModuleHandle load_module(const char* name) override {
    module_loads.push_back(name ? name : "");
    return ProcessService::load_module(name);
  }
  int32_t start_program(const std::vector<std::string>& args) override {
    started.push_back(args);
    return ProcessService::start_program(args);
  }
  bool start_detached(const std::vector<std::string>& args, bool own_session, bool quiet) override {
    started.push_back(args);
    return ProcessService::start_detached(args, own_session, quiet);
  }
  std::string temp_folder() override { return temp_dir; }
  std::string documents_folder() override { return documents_dir; }
  std::string data_folder() override { return data_dir; }
  int32_t battery_percent() override { return battery; }
  uint32_t machine_serial() override { return serial; }
  std::string user_language() override { return language; }
  int64_t calendar_time() override {
    return calendar_seconds >= 0 ? calendar_seconds : ProcessService::calendar_time();
  }
  double counter_ms() override {
    double value = now_ms;
    now_ms += ms_per_read;
    return value;
  }
  void sleep_ms(int32_t ms) override {
    sleeps.push_back(ms);
    if (ms > 0) now_ms += ms;
  }
  void nap_ms(double ms) override {
    naps.push_back(ms);
    if (ms > 0) now_ms += ms;
  }
};

}  // namespace qrn
