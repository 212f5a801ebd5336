// File dialogs through the desktop's dialog program (zenity, a Debian-packaged GTK dialog
// tool), run directly (never through a shell) with its answer read from its output.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/desktop_dialog.h"
#include "platform/process.h"

namespace qrn {

namespace {

constexpr size_t kMaxChosenPath = 1024;

// A Windows pattern list "*.png;*.jpg" as the dialog program's blank-separated list; "*.*"
// means every file there, which is "*" here.
std::string dialog_patterns(const std::string& patterns) {
  std::string out;
  size_t start = 0;
  while (start <= patterns.size()) {
    size_t end = patterns.find(';', start);
    if (end == std::string::npos) end = patterns.size();
    std::string one = patterns.substr(start, end - start);
    size_t first = one.find_first_not_of(' ');
    size_t last = one.find_last_not_of(' ');
    one = first == std::string::npos ? "" : one.substr(first, last - first + 1);
    if (one == "*.*") one = "*";
    if (!one.empty()) out += (out.empty() ? "" : " ") + one;
    start = end + 1;
  }
  return out;
}

// Finds a program on PATH; "" when there is none.
std::string find_program(const char* name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string candidate = dirs.substr(start, end - start);
    if (candidate.empty()) candidate = ".";
    candidate += "/";
    candidate += name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return "";
}

// Runs a program, returns its exit status (-1 when it could not run) and its standard output.
int run_capture(const std::string& program, const std::vector<std::string>& args, std::string& out) {
  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) return -1;
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t child = ::fork();
  if (child < 0) {
    ::close(pipe_fds[0]);
    ::close(pipe_fds[1]);
    return -1;
  }
  if (child == 0) {
    ::dup2(pipe_fds[1], STDOUT_FILENO);
    int null_fd = ::open("/dev/null", O_RDWR);
    if (null_fd >= 0) {
      ::dup2(null_fd, STDIN_FILENO);
      ::dup2(null_fd, STDERR_FILENO);
    }
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(pipe_fds[1]);
  char buffer[512];
  for (;;) {
    ssize_t n = ::read(pipe_fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    if (out.size() < kMaxChosenPath * 4) out.append(buffer, static_cast<size_t>(n));
  }
  ::close(pipe_fds[0]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

std::vector<std::string> file_dialog_arguments(bool open, const FileFilters& filters, const std::string& start_dir) {
  std::vector<std::string> args = {"zenity", "--file-selection"};
  args.push_back(open ? "--title=Open" : "--title=Save As");
  if (!open) args.push_back("--save");
  if (!open) args.push_back("--confirm-overwrite");
  if (!start_dir.empty()) args.push_back("--filename=" + start_dir + (start_dir.back() == '/' ? "" : "/"));
  for (const auto& filter : filters) {
    std::string patterns = dialog_patterns(filter.second);
    if (patterns.empty()) continue;
    // The dialog program separates the name from the patterns with "|".
    std::string name = filter.first;
    for (char& c : name) {
      if (c == '|') c = '/';
    }
    args.push_back("--file-filter=" + name + " | " + patterns);
  }
  return args;
}

bool run_file_dialog(bool open, const FileFilters& filters, const std::string& start_dir, std::string& chosen) {
  chosen.clear();
  if (unattended_run() || (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))) return false;
  std::string program = find_program("zenity");
  if (program.empty()) return false;
  std::string out;
  if (run_capture(program, file_dialog_arguments(open, filters, start_dir), out) != 0) return false;
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  if (out.empty() || out.size() > kMaxChosenPath) return false;
  chosen = out;
  return true;
}

}  // namespace qrn
