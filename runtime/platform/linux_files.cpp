// Real backend, files and system information (POSIX): locked file handles, durable file
// replacement, paths and directories, the environment, XDG folders, batteries from sysfs,
// the machine id and the user's language.
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/linux_platform.h"

extern char** environ;

namespace qrn {

namespace {

// A handle is the descriptor plus one, so descriptor 0 is not the null handle.
FileHandle handle_of(int fd) { return reinterpret_cast<FileHandle>(static_cast<intptr_t>(fd) + 1); }
int fd_of(FileHandle file) { return static_cast<int>(reinterpret_cast<intptr_t>(file) - 1); }

std::string read_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string first_line(const std::string& path) {
  std::string text = read_text(path);
  size_t end = text.find_first_of("\r\n");
  return end == std::string::npos ? text : text.substr(0, end);
}

bool write_all(int fd, const char* bytes, size_t count) {
  while (count) {
    ssize_t n = ::write(fd, bytes, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    count -= static_cast<size_t>(n);
  }
  return true;
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

// The folder part of a path ("." when it has none).
std::string folder_of(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

FileHandle LinuxPlatform::file_open(const char* path, FileOpenMode mode) {
  if (!path || !*path) return nullptr;
  int flags = O_CLOEXEC;
  int lock = LOCK_EX;
  switch (mode) {
    case FileOpenMode::read: flags |= O_RDONLY; lock = LOCK_SH; break;
    case FileOpenMode::create: flags |= O_RDWR | O_CREAT; break;
    case FileOpenMode::append: flags |= O_WRONLY | O_CREAT; break;
  }
  int fd = ::open(path, flags, 0666);
  if (fd < 0) return nullptr;
  struct stat info {};
  bool usable = ::fstat(fd, &info) == 0 && !S_ISDIR(info.st_mode);
  // A lock someone else holds refuses the open; a file system without locks does not.
  if (usable && ::flock(fd, lock | LOCK_NB) != 0 && errno == EWOULDBLOCK) usable = false;
  // Emptied only once the lock is ours, so a file another holder is using is never cut.
  if (usable && mode == FileOpenMode::create && ::ftruncate(fd, 0) != 0) usable = false;
  if (usable && mode == FileOpenMode::append && ::lseek(fd, 0, SEEK_END) < 0) usable = false;
  if (!usable) {
    ::close(fd);
    return nullptr;
  }
  return handle_of(fd);
}

int64_t LinuxPlatform::file_read(FileHandle file, void* buffer, size_t count) {
  if (!file) return -1;
  char* at = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < count) {
    ssize_t n = ::read(fd_of(file), at + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return done ? static_cast<int64_t>(done) : -1;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

int64_t LinuxPlatform::file_write(FileHandle file, const void* bytes, size_t count) {
  if (!file) return -1;
  const char* at = static_cast<const char*>(bytes);
  size_t done = 0;
  while (done < count) {
    ssize_t n = ::write(fd_of(file), at + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return done ? static_cast<int64_t>(done) : -1;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

bool LinuxPlatform::file_seek(FileHandle file, int64_t offset) {
  return file && offset >= 0 && ::lseek(fd_of(file), static_cast<off_t>(offset), SEEK_SET) >= 0;
}

int64_t LinuxPlatform::file_length(FileHandle file) {
  struct stat info {};
  if (!file || ::fstat(fd_of(file), &info) != 0) return -1;
  return static_cast<int64_t>(info.st_size);
}

void LinuxPlatform::file_close(FileHandle file) {
  if (file) ::close(fd_of(file));  // also releases the lock
}

// The temporary file carries the process id, so two processes never write the same one.
bool LinuxPlatform::replace_file(const char* path, const char* bytes, size_t count) {
  if (!path || !*path) return false;
  std::string temp = std::string(path) + "." + std::to_string(::getpid()) + ".tmp";
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  struct stat old {};
  if (::stat(path, &old) == 0 && S_ISREG(old.st_mode)) ::fchmod(fd, old.st_mode & 07777);
  bool ok = write_all(fd, bytes, count) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (!ok || ::rename(temp.c_str(), path) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  // The rename itself reaches the disk with the folder's entry.
  int folder = ::open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
  return true;
}

PathKind LinuxPlatform::path_kind(const char* path) {
  struct stat info {};
  if (!path || !*path) return PathKind::missing;
  if (::stat(path, &info) != 0) {
    return errno == ENOENT || errno == ENOTDIR ? PathKind::missing : PathKind::unknown;
  }
  return S_ISDIR(info.st_mode) ? PathKind::directory : PathKind::file;
}

bool LinuxPlatform::remove_file(const char* path) { return path && ::unlink(path) == 0; }
bool LinuxPlatform::remove_directory(const char* path) { return path && ::rmdir(path) == 0; }
bool LinuxPlatform::make_directory(const char* path) { return path && ::mkdir(path, 0777) == 0; }

bool LinuxPlatform::file_modified_time(const char* path, int64_t& seconds) {
  struct stat info {};
  if (!path || ::stat(path, &info) != 0) return false;
  seconds = static_cast<int64_t>(info.st_mtime);
  return true;
}

bool LinuxPlatform::read_directory(const char* path, std::vector<DirectoryEntry>& entries) {
  entries.clear();
  DIR* dir = path ? ::opendir(path) : nullptr;
  if (!dir) return false;
  while (struct dirent* found = ::readdir(dir)) {
    DirectoryEntry entry;
    entry.name = found->d_name;
    if (found->d_type == DT_DIR) {
      entry.directory = true;
    } else if (found->d_type == DT_UNKNOWN || found->d_type == DT_LNK) {
      struct stat info {};  // a link to a folder lists as a folder
      entry.directory = ::fstatat(::dirfd(dir), found->d_name, &info, 0) == 0 && S_ISDIR(info.st_mode);
    }
    entries.push_back(std::move(entry));
  }
  ::closedir(dir);
  return true;
}

bool LinuxPlatform::env_get(const char* name, std::string& value) {
  const char* found = name ? std::getenv(name) : nullptr;
  value = found ? found : "";
  return found != nullptr;
}

bool LinuxPlatform::env_set(const char* name, const char* value) {
  if (!name || !*name || std::strchr(name, '=')) return false;
  if (!value || !*value) return ::unsetenv(name) == 0;
  return ::setenv(name, value, 1) == 0;
}

std::vector<std::string> LinuxPlatform::env_entries() {
  std::vector<std::string> entries;
  for (char** at = environ; at && *at; ++at) entries.emplace_back(*at);
  return entries;
}

// XDG_DOCUMENTS_DIR of user-dirs.dirs; without one, ~/Documents when it exists, else home.
std::string LinuxPlatform::documents_folder() {
  std::string home = home_folder();
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string config_dir = (config && *config == '/') ? config : home + "/.config";
  std::string found = documents_dir_from_user_dirs(read_text(config_dir + "/user-dirs.dirs"), home);
  if (found.empty() && !home.empty()) found = is_directory(home + "/Documents") ? home + "/Documents" : home;
  return without_trailing_slashes(found);
}

std::string LinuxPlatform::data_folder() {
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

int32_t LinuxPlatform::battery_percent() { return battery_percent_in("/sys/class/power_supply"); }

uint32_t LinuxPlatform::machine_serial() {
  uint32_t serial = fold_machine_id(first_line("/etc/machine-id"));
  return serial ? serial : fold_machine_id(first_line("/var/lib/dbus/machine-id"));
}

std::string LinuxPlatform::user_language() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value) return value;
  }
  return "";
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
