// The process service on POSIX: standard streams, the terminal, debugger detection and
// channel, the command line and program file from /proc, shared libraries (dlopen), other
// programs (posix_spawnp), the environment, XDG folders, batteries from sysfs, the machine
// id, the user's language, and the monotonic clock.
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>

#include "platform/process.h"

extern char** environ;

namespace qrn {

template <>
ProcessService& real_service<ProcessService>() {
  static ProcessService* backend = new ProcessService();
  return *backend;
}

namespace {

void write_stream(FILE* stream, const char* bytes, size_t count) {
  if (count) std::fwrite(bytes, 1, count, stream);
  std::fflush(stream);
}

std::string read_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string first_line(const std::string& path) {
  std::string text = read_text(path);
  size_t end = text.find_first_of("\r\n");
  return end == std::string::npos ? text : text.substr(0, end);
}

bool is_directory(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Creates a folder and its missing parents (mode 0700, as XDG asks for its folders).
bool make_folders(const std::string& path) {
  if (path.empty() || is_directory(path)) return !path.empty();
  size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0) make_folders(path.substr(0, slash));
  return ::mkdir(path.c_str(), 0700) == 0 || is_directory(path);
}

std::string home_folder() {
  const char* home = std::getenv("HOME");
  if (home && *home) return home;
  struct passwd* entry = ::getpwuid(::getuid());
  return entry && entry->pw_dir ? entry->pw_dir : "";
}

std::string without_trailing_slashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

void sleep_span(timespec want) {
  timespec left{};
  while (::nanosleep(&want, &left) != 0 && errno == EINTR) want = left;
}

// The file name of a path in lower case (its folders stay as they are).
std::string file_name_lower(const char* path) {
  std::string lower = path;
  size_t slash = lower.rfind('/');
  for (size_t i = slash == std::string::npos ? 0 : slash + 1; i < lower.size(); ++i) {
    char& c = lower[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

// What every start of another program shares: default signal dispositions and an empty
// signal mask (a handler or an ignored SIGPIPE of ours must not reach it), only the standard
// streams as descriptors, and optionally a session of its own and /dev/null for the streams.
// Everything is prepared before any fork, so a forked child only calls posix_spawnp.
class SpawnSetup {
 public:
  SpawnSetup(const std::vector<std::string>& args, bool own_session, bool quiet) {
    for (const std::string& arg : args) argv_.push_back(const_cast<char*>(arg.c_str()));
    argv_.push_back(nullptr);
    attr_ready_ = ::posix_spawnattr_init(&attr_) == 0;
    actions_ready_ = ::posix_spawn_file_actions_init(&actions_) == 0;
    if (!attr_ready_ || !actions_ready_) return;
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (own_session) flags |= POSIX_SPAWN_SETSID;
    bool ok = ::posix_spawnattr_setflags(&attr_, flags) == 0 && ::posix_spawnattr_setsigmask(&attr_, &none) == 0 &&
              ::posix_spawnattr_setsigdefault(&attr_, &all) == 0;
    if (quiet) {
      ok = ok && ::posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0) == 0 &&
           ::posix_spawn_file_actions_addopen(&actions_, STDOUT_FILENO, "/dev/null", O_WRONLY, 0) == 0 &&
           ::posix_spawn_file_actions_adddup2(&actions_, STDOUT_FILENO, STDERR_FILENO) == 0;
    }
    ready_ = ok && ::posix_spawn_file_actions_addclosefrom_np(&actions_, STDERR_FILENO + 1) == 0 &&
             !args.empty() && !args[0].empty();
  }
  ~SpawnSetup() {
    if (attr_ready_) ::posix_spawnattr_destroy(&attr_);
    if (actions_ready_) ::posix_spawn_file_actions_destroy(&actions_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  bool ready() const { return ready_; }
  // posix_spawnp's result: 0, or the error number (the program is missing, not executable).
  int spawn(pid_t& pid) { return ::posix_spawnp(&pid, argv_[0], &actions_, &attr_, argv_.data(), environ); }

 private:
  std::vector<char*> argv_;
  posix_spawnattr_t attr_{};
  posix_spawn_file_actions_t actions_{};
  bool attr_ready_ = false;
  bool actions_ready_ = false;
  bool ready_ = false;
};

// The real clock, whatever backend stands in for the service's own clock.
double monotonic_ms() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

int32_t exit_code_of(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return 0;
}

}  // namespace

// ---- Standard streams and console ------------------------------------------------------------

void ProcessService::write_stdout(const char* bytes, size_t count) { write_stream(stdout, bytes, count); }
void ProcessService::write_stderr(const char* bytes, size_t count) { write_stream(stderr, bytes, count); }

bool ProcessService::read_stdin_line(char* buffer, size_t size) {
  if (size == 0) return false;
  std::memset(buffer, 0, size);
  return std::fgets(buffer, static_cast<int>(size), stdin) != nullptr;
}

// A process started from a terminal already writes to it. One whose streams were redirected
// elsewhere gets them back on its controlling terminal; a process without one has no console.
bool ProcessService::open_console() {
  if (::isatty(STDOUT_FILENO) && ::isatty(STDIN_FILENO)) return true;
  int probe = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
  if (probe < 0) return false;
  ::close(probe);
  std::fflush(stdout);
  bool ok = std::freopen("/dev/tty", "r", stdin) != nullptr;
  ok = std::freopen("/dev/tty", "w", stdout) != nullptr && ok;
  return ok;
}

// ---- Debugger ---------------------------------------------------------------------------------

// A tracer (gdb, strace) shows as a non-zero TracerPid in the process status.
bool ProcessService::debugger_attached() {
  std::string status = read_text("/proc/self/status");
  size_t at = status.find("TracerPid:");
  if (at == std::string::npos) return false;
  return std::atoi(status.c_str() + at + 10) != 0;
}

// The debugger channel is off unless QUARNEL_DEBUGGER_LOG names a file to append to.
void ProcessService::debugger_output(const char* text) {
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

// ---- The process ------------------------------------------------------------------------------

void ProcessService::exit_process(int32_t code) {
  std::fflush(nullptr);
  std::exit(code);
}

// The arguments from /proc, joined with blanks; an argument holding a blank or tab, or an
// empty one, is put in double quotes so the program name can be skipped as on other systems.
std::string ProcessService::command_line() {
  std::string raw = read_text("/proc/self/cmdline");
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

std::string ProcessService::program_path() {
  char buffer[4096];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return "";
  return std::string(buffer, static_cast<size_t>(n));
}

int32_t ProcessService::process_id() { return static_cast<int32_t>(::getpid()); }

ModuleHandle ProcessService::program_module() {
  static ModuleHandle self = ::dlopen(nullptr, RTLD_NOW);
  return self;
}

// A Linux process carries no show-window value.
bool ProcessService::startup_show_command(int32_t&) { return false; }

void ProcessService::os_version(int32_t& major, int32_t& minor) {
  major = minor = 0;
  struct utsname name;
  if (::uname(&name) == 0) std::sscanf(name.release, "%d.%d", &major, &minor);
}

std::string ProcessService::working_directory() {
  char buffer[PATH_MAX];
  if (!::getcwd(buffer, sizeof buffer)) return "";
  return buffer;
}

bool ProcessService::set_working_directory(const char* path) { return path && ::chdir(path) == 0; }

// ---- Libraries --------------------------------------------------------------------------------

// RTLD_NOW: a library whose own dependencies are missing fails here, not at a later call.
// RTLD_NODELETE: releasing it never unmaps it, so its code stays valid until the process ends.
ModuleHandle ProcessService::load_module(const char* name) {
  if (!name || !*name) return nullptr;
  constexpr int kFlags = RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE;
  void* module = ::dlopen(name, kFlags);
  if (!module) {
    std::string lower = file_name_lower(name);
    if (lower != name) module = ::dlopen(lower.c_str(), kFlags);
  }
  return module;
}

void* ProcessService::module_symbol(ModuleHandle module, const char* name) {
  if (!module || !name || !*name) return nullptr;
  return ::dlsym(module, name);
}

void ProcessService::release_module(ModuleHandle module) {
  if (module) ::dlclose(module);
}

// ---- Other programs ---------------------------------------------------------------------------

int32_t ProcessService::start_program(const std::vector<std::string>& args) {
  SpawnSetup setup(args, false, false);
  pid_t child = 0;
  if (!setup.ready() || setup.spawn(child) != 0) return 0;
  return static_cast<int32_t>(child);
}

bool ProcessService::wait_program(int32_t id, int32_t timeout_ms, int32_t& exit_code) {
  if (id <= 0) return false;
  double deadline = monotonic_ms() + (timeout_ms > 0 ? timeout_ms : 0);
  for (;;) {
    int status = 0;
    pid_t done = ::waitpid(static_cast<pid_t>(id), &status, timeout_ms < 0 ? 0 : WNOHANG);
    if (done == static_cast<pid_t>(id)) {
      exit_code = exit_code_of(status);
      return true;
    }
    if (done < 0 && errno != EINTR) return false;  // not a child (or already waited for)
    if (done == 0) {
      if (monotonic_ms() >= deadline) return false;
      sleep_span({0, 2000000L});  // 2 ms between looks
    }
  }
}

// The program is started by a short-lived intermediate child, which ends at once; the
// program is then nobody's child here and the system reaps it. The intermediate reports a
// failed start through a pipe, which works even when this process ignores SIGCHLD.
bool ProcessService::start_detached(const std::vector<std::string>& args, bool own_session, bool quiet) {
  SpawnSetup setup(args, own_session, quiet);
  if (!setup.ready()) return false;
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return false;
  pid_t middle = ::fork();
  if (middle < 0) {
    ::close(report[0]);
    ::close(report[1]);
    return false;
  }
  if (middle == 0) {
    pid_t program = 0;
    int error = setup.spawn(program);
    if (error != 0) {
      unsigned char byte = static_cast<unsigned char>(error);
      ssize_t written = ::write(report[1], &byte, 1);
      (void)written;
    }
    ::_exit(error == 0 ? 0 : 127);
  }
  ::close(report[1]);
  unsigned char byte = 0;
  ssize_t n;
  do {
    n = ::read(report[0], &byte, 1);
  } while (n < 0 && errno == EINTR);
  ::close(report[0]);
  int status = 0;
  while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
  return n == 0;
}

// ---- Environment and system information -------------------------------------------------------

bool ProcessService::env_get(const char* name, std::string& value) {
  const char* found = name ? std::getenv(name) : nullptr;
  value = found ? found : "";
  return found != nullptr;
}

bool ProcessService::env_set(const char* name, const char* value) {
  if (!name || !*name || std::strchr(name, '=')) return false;
  if (!value || !*value) return ::unsetenv(name) == 0;
  return ::setenv(name, value, 1) == 0;
}

std::vector<std::string> ProcessService::env_entries() {
  std::vector<std::string> entries;
  for (char** at = environ; at && *at; ++at) entries.emplace_back(*at);
  return entries;
}

std::string ProcessService::temp_folder() {
  const char* dir = std::getenv("TMPDIR");
  std::string folder = (dir && *dir) ? dir : "/tmp";
  if (folder.back() != '/') folder += '/';
  return folder;
}

// XDG_DOCUMENTS_DIR of user-dirs.dirs; without one, ~/Documents when it exists, else home.
std::string ProcessService::documents_folder() {
  std::string home = home_folder();
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string config_dir = (config && *config == '/') ? config : home + "/.config";
  std::string found = documents_dir_from_user_dirs(read_text(config_dir + "/user-dirs.dirs"), home);
  if (found.empty() && !home.empty()) found = is_directory(home + "/Documents") ? home + "/Documents" : home;
  return without_trailing_slashes(found);
}

std::string ProcessService::data_folder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  std::string folder = (data && *data == '/') ? data : "";
  if (folder.empty()) {
    std::string home = home_folder();
    if (home.empty()) return "";
    folder = home + "/.local/share";
  }
  folder = without_trailing_slashes(folder);
  return make_folders(folder) ? folder : "";
}

int32_t ProcessService::battery_percent() { return battery_percent_in("/sys/class/power_supply"); }

uint32_t ProcessService::machine_serial() {
  uint32_t serial = fold_machine_id(first_line("/etc/machine-id"));
  return serial ? serial : fold_machine_id(first_line("/var/lib/dbus/machine-id"));
}

std::string ProcessService::user_language() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value) return value;
  }
  return "";
}

// ---- Clocks -----------------------------------------------------------------------------------

int64_t ProcessService::calendar_time() { return static_cast<int64_t>(std::time(nullptr)); }

double ProcessService::counter_ms() { return monotonic_ms(); }

void ProcessService::sleep_ms(int32_t ms) {
  if (ms > 0) sleep_span({ms / 1000, static_cast<long>(ms % 1000) * 1000000L});
}

void ProcessService::nap_ms(double ms) {
  if (!(ms > 0.0)) return;
  double whole = static_cast<double>(static_cast<long>(ms / 1000.0));
  sleep_span({static_cast<time_t>(whole), static_cast<long>((ms - whole * 1000.0) * 1e6)});
}

// ---- Helpers ----------------------------------------------------------------------------------

bool unattended_run() {
  const char* value = std::getenv("QUARNEL_UNATTENDED");
  return value && *value && std::strcmp(value, "0") != 0;
}

// Batteries of devices (a wireless mouse) have scope "Device" and are left out.
int32_t battery_percent_in(const std::string& power_supply_dir) {
  DIR* dir = ::opendir(power_supply_dir.c_str());
  if (!dir) return 255;
  int64_t sum = 0;
  int32_t count = 0;
  while (struct dirent* found = ::readdir(dir)) {
    if (found->d_name[0] == '.') continue;
    std::string supply = power_supply_dir + "/" + found->d_name + "/";
    if (first_line(supply + "type") != "Battery" || first_line(supply + "scope") == "Device") continue;
    if (first_line(supply + "present") == "0") continue;
    std::string capacity = first_line(supply + "capacity");
    if (capacity.empty() || capacity.find_first_not_of("0123456789") != std::string::npos ||
        capacity.size() > 6) {
      continue;
    }
    sum += std::atoi(capacity.c_str());
    ++count;
  }
  ::closedir(dir);
  if (count == 0) return 255;
  int64_t mean = sum / count;
  return static_cast<int32_t>(mean > 100 ? 100 : mean);
}

uint32_t fold_machine_id(const std::string& text) {
  if (text.size() != 32 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return 0;
  uint32_t folded = 0;
  for (size_t word = 0; word < 4; ++word) {
    folded ^= static_cast<uint32_t>(std::strtoul(text.substr(word * 8, 8).c_str(), nullptr, 16));
  }
  return folded;
}

// Lines have the form XDG_DOCUMENTS_DIR="$HOME/Documents"; the path is absolute or relative
// to the home folder written as "$HOME".
std::string documents_dir_from_user_dirs(const std::string& text, const std::string& home) {
  const std::string key = "XDG_DOCUMENTS_DIR=";
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    size_t skip = line.find_first_not_of(" \t");
    if (skip == std::string::npos || line.compare(skip, key.size(), key) != 0) continue;
    std::string value = line.substr(skip + key.size());
    while (!value.empty() && (value.back() == '\r' || value.back() == ' ' || value.back() == '\t')) value.pop_back();
    if (value.size() < 2 || value.front() != '"' || value.back() != '"') continue;
    value = value.substr(1, value.size() - 2);
    if (value.compare(0, 5, "$HOME") == 0 && (value.size() == 5 || value[5] == '/')) {
      if (home.empty()) continue;
      value = home + value.substr(5);
    }
    if (!value.empty() && value.front() == '/') return value;
  }
  return "";
}

}  // namespace qrn
