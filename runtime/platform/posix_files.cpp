// The file service on POSIX. Every open takes an exclusive advisory lock (flock) on the file
// for as long as it is open; flock locks belong to the open file, so a second open of a held
// file fails within this process as well as in another runtime process.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/files.h"

namespace qrn {

template <>
FileService& real_service<FileService>() {
  static FileService* backend = new FileService();
  return *backend;
}

namespace {

// A handle is the descriptor plus one, so descriptor 0 is not the null handle.
FileHandle handle_of(int fd) { return reinterpret_cast<FileHandle>(static_cast<intptr_t>(fd) + 1); }
int fd_of(FileHandle file) { return static_cast<int>(reinterpret_cast<intptr_t>(file) - 1); }

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

// The folder part of a path ("." when it has none).
std::string folder_of(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Takes the file's lock; false only when another open holds it (a file system without
// locks does not refuse).
bool take_lock(int fd) {
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    return errno != EWOULDBLOCK;
  }
  return true;
}

// Opens an existing regular file and takes its lock, so that nothing else can open it while
// it is removed or replaced. -1 with held set when another open holds it; -1 with held clear
// when there is no such file (or it cannot be opened at all).
int hold_existing(const char* path, bool& held) {
  held = false;
  int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  // A file this user may write but not read can still be held (appended to) by another open.
  if (fd < 0 && errno == EACCES) fd = ::open(path, O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return -1;
  }
  if (!take_lock(fd)) {
    ::close(fd);
    held = true;
    return -1;
  }
  return fd;
}

}  // namespace

// Only regular files open: a pipe or a device could block or never end. O_NONBLOCK keeps
// the open itself from waiting on a pipe; it means nothing for a regular file.
FileHandle FileService::file_open(const char* path, FileOpenMode mode) {
  if (!path || !*path) return nullptr;
  int flags = O_CLOEXEC | O_NONBLOCK;
  mode_t permissions = 0666;
  switch (mode) {
    case FileOpenMode::read: flags |= O_RDONLY; break;
    case FileOpenMode::create: flags |= O_RDWR | O_CREAT | O_NOFOLLOW; break;
    case FileOpenMode::append: flags |= O_WRONLY | O_CREAT; break;
    // O_EXCL never follows a link and fails on any existing name.
    case FileOpenMode::create_private: flags |= O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW; permissions = 0600; break;
    case FileOpenMode::read_owned: flags |= O_RDONLY | O_NOFOLLOW; break;
  }
  int fd = ::open(path, flags, permissions);
  // A symbolic link at the name is replaced by a new file, never written through.
  if (fd < 0 && errno == ELOOP && mode == FileOpenMode::create && ::unlink(path) == 0) {
    fd = ::open(path, flags | O_EXCL, permissions);
  }
  if (fd < 0) return nullptr;
  struct stat info {};
  bool usable = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && take_lock(fd);
  if (usable && mode == FileOpenMode::read_owned) {
    usable = info.st_uid == ::geteuid() && info.st_nlink == 1;
  }
  // A umask may take bits away, never add them; make sure nobody else may even read it.
  if (usable && mode == FileOpenMode::create_private) usable = ::fchmod(fd, 0600) == 0;
  // Emptied only once the lock is ours, so a file another holder is using is never cut.
  if (usable && mode == FileOpenMode::create && ::ftruncate(fd, 0) != 0) usable = false;
  if (usable && mode == FileOpenMode::append && ::lseek(fd, 0, SEEK_END) < 0) usable = false;
  if (!usable) {
    ::close(fd);
    return nullptr;
  }
  return handle_of(fd);
}

int64_t FileService::file_read(FileHandle file, void* buffer, size_t count) {
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

int64_t FileService::file_write(FileHandle file, const void* bytes, size_t count) {
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

bool FileService::file_seek(FileHandle file, int64_t offset) {
  return file && offset >= 0 && ::lseek(fd_of(file), static_cast<off_t>(offset), SEEK_SET) >= 0;
}

int64_t FileService::file_length(FileHandle file) {
  struct stat info {};
  if (!file || ::fstat(fd_of(file), &info) != 0) return -1;
  return static_cast<int64_t>(info.st_size);
}

void FileService::file_close(FileHandle file) {
  if (file) ::close(fd_of(file));  // also releases the lock
}

bool FileService::append_file_exclusive(const char* path, const char* bytes, size_t count) {
  FileHandle file = file_open(path, FileOpenMode::append);
  if (!file) return false;
  bool ok = file_write(file, bytes, count) == static_cast<int64_t>(count);
  file_close(file);
  return ok;
}

// The temporary file carries the process id, so two processes never write the same one. The
// old file is held while its successor is written and renamed over it.
ReplaceResult FileService::replace_file(const char* path, const char* bytes, size_t count) {
  if (!path || !*path) return ReplaceResult::failed;
  bool held = false;
  int old_fd = hold_existing(path, held);
  if (held) return ReplaceResult::held;
  std::string temp = std::string(path) + "." + std::to_string(::getpid()) + ".tmp";
  bool ok = false;
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd >= 0) {
    struct stat old {};
    if (old_fd >= 0 && ::fstat(old_fd, &old) == 0) ::fchmod(fd, old.st_mode & 07777);
    ok = write_all(fd, bytes, count) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temp.c_str(), path) != 0) {
      ::unlink(temp.c_str());
      ok = false;
    }
  }
  if (old_fd >= 0) ::close(old_fd);
  if (!ok) return ReplaceResult::failed;
  // The rename itself reaches the disk with the folder's entry.
  int folder = ::open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
  return ReplaceResult::replaced;
}

bool FileService::file_held(const char* path) {
  bool held = false;
  int fd = path ? hold_existing(path, held) : -1;
  if (fd >= 0) ::close(fd);
  return held;
}

PathKind FileService::path_kind(const char* path) {
  struct stat info {};
  if (!path || !*path) return PathKind::missing;
  if (::stat(path, &info) != 0) {
    return errno == ENOENT || errno == ENOTDIR ? PathKind::missing : PathKind::unknown;
  }
  return S_ISDIR(info.st_mode) ? PathKind::directory : PathKind::file;
}

// A held file stays; a link is removed itself, whatever it points to.
bool FileService::remove_file(const char* path) {
  if (!path || !*path) return false;
  bool held = false;
  int fd = hold_existing(path, held);
  if (held) return false;
  bool ok = ::unlink(path) == 0;
  if (fd >= 0) ::close(fd);
  return ok;
}

bool FileService::remove_directory(const char* path) { return path && ::rmdir(path) == 0; }
bool FileService::make_directory(const char* path) { return path && ::mkdir(path, 0777) == 0; }

bool FileService::file_modified_time(const char* path, int64_t& seconds) {
  struct stat info {};
  if (!path || ::stat(path, &info) != 0) return false;
  seconds = static_cast<int64_t>(info.st_mtime);
  return true;
}

bool FileService::read_directory(const char* path, std::vector<DirectoryEntry>& entries) {
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

}  // namespace qrn
