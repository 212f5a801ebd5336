// Real backend, process side: standard streams, temporary folder, debugger detection and
// channel, command line, program path, exclusive appends, monotonic clock and sleep (POSIX).
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/linux_platform.h"

namespace qrn {

Platform& real_platform() {
  // Never destroyed: process-exit handlers (the settings store's write-back) still use it.
  static LinuxPlatform* backend = new LinuxPlatform();
  return *backend;
}

namespace {

void write_stream(FILE* stream, const char* bytes, size_t count) {
  if (count) std::fwrite(bytes, 1, count, stream);
  std::fflush(stream);
}

std::string read_whole_file(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

void LinuxPlatform::write_stdout(const char* bytes, size_t count) { write_stream(stdout, bytes, count); }
void LinuxPlatform::write_stderr(const char* bytes, size_t count) { write_stream(stderr, bytes, count); }

bool LinuxPlatform::read_stdin_line(char* buffer, size_t size) {
  if (size == 0) return false;
  std::memset(buffer, 0, size);
  return std::fgets(buffer, static_cast<int>(size), stdin) != nullptr;
}

std::string LinuxPlatform::temp_folder() {
  const char* dir = std::getenv("TMPDIR");
  std::string folder = (dir && *dir) ? dir : "/tmp";
  if (folder.back() != '/') folder += '/';
  return folder;
}

// A tracer (gdb, strace) shows as a non-zero TracerPid in the process status.
bool LinuxPlatform::debugger_attached() {
  std::string status = read_whole_file("/proc/self/status");
  size_t at = status.find("TracerPid:");
  if (at == std::string::npos) return false;
  return std::atoi(status.c_str() + at + 10) != 0;
}

// The debugger channel is off unless QUARNEL_DEBUGGER_LOG names a file to append to.
void LinuxPlatform::debugger_output(const char* text) {
  const char* path = std::getenv("QUARNEL_DEBUGGER_LOG");
  if (!path || !*path || !text) return;
  int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  size_t left = std::strlen(text);
  while (left) {
    ssize_t n = ::write(fd, text, left);
    if (n <= 0) break;
    text += n;
    left -= static_cast<size_t>(n);
  }
  ::close(fd);
}

void LinuxPlatform::exit_process(int32_t code) {
  std::fflush(nullptr);
  std::exit(code);
}

// The arguments from /proc, joined with blanks; an argument holding a blank or tab, or an
// empty one, is put in double quotes so the program name can be skipped as on other systems.
std::string LinuxPlatform::command_line() {
  std::string raw = read_whole_file("/proc/self/cmdline");
  std::string line;
  size_t start = 0;
  while (start < raw.size()) {
    size_t end = raw.find('\0', start);
    if (end == std::string::npos) end = raw.size();
    std::string arg = raw.substr(start, end - start);
    if (!line.empty()) line += ' ';
    if (arg.empty() || arg.find_first_of(" \t") != std::string::npos) {
      line += '"' + arg + '"';
    } else {
      line += arg;
    }
    start = end + 1;
  }
  return line;
}

std::string LinuxPlatform::program_path() {
  char buffer[4096];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return "";
  return std::string(buffer, static_cast<size_t>(n));
}

ModuleHandle LinuxPlatform::program_module() {
  static ModuleHandle self = ::dlopen(nullptr, RTLD_NOW);
  return self;
}

bool LinuxPlatform::append_file_exclusive(const char* path, const char* bytes, size_t count) {
  int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  bool ok = true;
  while (count) {
    ssize_t n = ::write(fd, bytes, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    bytes += n;
    count -= static_cast<size_t>(n);
  }
  ::close(fd);  // also releases the lock
  return ok;
}

double LinuxPlatform::counter_ms() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

void LinuxPlatform::sleep_ms(int32_t ms) {
  if (ms <= 0) return;
  timespec want{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
  timespec left{};
  while (nanosleep(&want, &left) != 0 && errno == EINTR) want = left;
}

}  // namespace qrn
