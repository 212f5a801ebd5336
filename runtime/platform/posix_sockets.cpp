// Sockets service over POSIX: BSD sockets, poll(), getaddrinfo and getifaddrs, with the one
// table that turns errno values into the network error numbers programs see.
#include "platform/sockets.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qrn {

namespace {

// errno value -> network error number. The first entry of a number is the errno whose
// message text stands for it.
struct ErrorPair {
  int errno_value;
  int32_t code;
};
constexpr ErrorPair kErrorTable[] = {
    {EINTR, NET_INTERRUPTED},
    {EBADF, NET_BAD_HANDLE},
    {EACCES, NET_ACCESS_DENIED},
    {EPERM, NET_ACCESS_DENIED},
    {EFAULT, NET_BAD_ADDRESS},
    {EINVAL, NET_INVALID_ARGUMENT},
    {EMFILE, NET_TOO_MANY_SOCKETS},
    {ENFILE, NET_TOO_MANY_SOCKETS},
    {EWOULDBLOCK, NET_WOULD_BLOCK},
    {EAGAIN, NET_WOULD_BLOCK},
    {EINPROGRESS, NET_IN_PROGRESS},
    {EALREADY, NET_ALREADY},
    {ENOTSOCK, NET_NOT_A_SOCKET},
    {EDESTADDRREQ, NET_NO_DESTINATION},
    {EMSGSIZE, NET_MESSAGE_TOO_LONG},
    {EPROTOTYPE, NET_WRONG_PROTOCOL},
    {ENOPROTOOPT, NET_BAD_OPTION},
    {EPROTONOSUPPORT, NET_PROTOCOL_UNSUPPORTED},
    {EOPNOTSUPP, NET_NOT_SUPPORTED},
    {EAFNOSUPPORT, NET_FAMILY_UNSUPPORTED},
    {EADDRINUSE, NET_ADDRESS_IN_USE},
    {EADDRNOTAVAIL, NET_ADDRESS_UNAVAILABLE},
    {ENETDOWN, NET_NETWORK_DOWN},
    {ENETUNREACH, NET_NETWORK_UNREACHABLE},
    {ENETRESET, NET_NETWORK_RESET},
    {ECONNABORTED, NET_CONNECTION_ABORTED},
    {ECONNRESET, NET_CONNECTION_RESET},
    {EPIPE, NET_CONNECTION_RESET},  // sending after the peer closed: the connection is gone
    {ENOBUFS, NET_NO_BUFFERS},
    {ENOMEM, NET_NO_BUFFERS},
    {EISCONN, NET_ALREADY_CONNECTED},
    {ENOTCONN, NET_NOT_CONNECTED},
    {ESHUTDOWN, NET_SHUT_DOWN},
    {ETIMEDOUT, NET_TIMED_OUT},
    {ECONNREFUSED, NET_REFUSED},
    {EHOSTDOWN, NET_HOST_DOWN},
    {EHOSTUNREACH, NET_HOST_UNREACHABLE},
};

// Name look-up failures and their getaddrinfo codes (for the message text).
struct LookupPair {
  int eai;
  int32_t code;
};
constexpr LookupPair kLookupTable[] = {
    {EAI_NONAME, NET_HOST_NOT_FOUND},
    {EAI_AGAIN, NET_TRY_AGAIN},
    {EAI_FAIL, NET_NO_RECOVERY},
    {EAI_NODATA, NET_NO_DATA},
    {EAI_ADDRFAMILY, NET_NO_DATA},
};

int32_t last_error() { return net_error_from_errno(errno); }

int32_t result_of(int rc) { return rc == 0 ? NET_OK : last_error(); }

sockaddr_in make_address(uint32_t address, uint16_t port) {
  sockaddr_in in{};
  in.sin_family = AF_INET;
  in.sin_port = port;
  in.sin_addr.s_addr = address;
  return in;
}

int32_t set_int_option(SocketHandle socket, int level, int name, int value) {
  return result_of(setsockopt(socket, level, name, &value, sizeof value));
}

// Enough descriptors for every socket slot with room for files, pipes and the display.
constexpr rlim_t kWantedOpenFiles = 4096;

}  // namespace

int32_t net_error_from_errno(int32_t errno_value) {
  if (errno_value == 0) return NET_OK;
  for (const ErrorPair& pair : kErrorTable) {
    if (pair.errno_value == errno_value) return pair.code;
  }
  return NET_INVALID_ARGUMENT;
}

int32_t Sockets::start() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < kWantedOpenFiles) {
    rlim_t wanted = kWantedOpenFiles;
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < wanted) wanted = limit.rlim_max;
    if (wanted > limit.rlim_cur) {
      limit.rlim_cur = wanted;
      setrlimit(RLIMIT_NOFILE, &limit);  // best effort: fewer sockets fit otherwise
    }
  }
  return NET_OK;
}

void Sockets::end() {}

SocketHandle Sockets::open(SocketKind kind, int32_t& error) {
  int fd = kind == SocketKind::udp ? socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP)
                                   : socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  error = fd < 0 ? last_error() : NET_OK;
  return fd < 0 ? NO_SOCKET : fd;
}

int32_t Sockets::close(SocketHandle socket) { return result_of(::close(socket)); }

int32_t Sockets::shutdown_both(SocketHandle socket) { return result_of(::shutdown(socket, SHUT_RDWR)); }

int32_t Sockets::set_reuse_address(SocketHandle socket) {
  return set_int_option(socket, SOL_SOCKET, SO_REUSEADDR, 1);
}

int32_t Sockets::set_broadcast(SocketHandle socket, int32_t size) {
  if (size >= static_cast<int32_t>(sizeof(int))) return set_int_option(socket, SOL_SOCKET, SO_BROADCAST, 1);
  char one = '1';
  return result_of(setsockopt(socket, SOL_SOCKET, SO_BROADCAST, &one, 1));
}

int32_t Sockets::set_linger_off(SocketHandle socket) {
  linger off{};
  return result_of(setsockopt(socket, SOL_SOCKET, SO_LINGER, &off, sizeof off));
}

int32_t Sockets::set_no_delay(SocketHandle socket) {
  return set_int_option(socket, IPPROTO_TCP, TCP_NODELAY, 1);
}

int32_t Sockets::set_blocking(SocketHandle socket, bool blocking) {
  int flags = fcntl(socket, F_GETFL);
  if (flags < 0) return last_error();
  flags = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
  return result_of(fcntl(socket, F_SETFL, flags) < 0 ? -1 : 0);
}

int32_t Sockets::bind(SocketHandle socket, uint32_t address, uint16_t port) {
  sockaddr_in in = make_address(address, port);
  return result_of(::bind(socket, reinterpret_cast<sockaddr*>(&in), sizeof in));
}

int32_t Sockets::listen(SocketHandle socket, int32_t backlog) { return result_of(::listen(socket, backlog)); }

SocketHandle Sockets::accept(SocketHandle socket, uint32_t& address, uint16_t& port, int32_t& error) {
  sockaddr_in in{};
  socklen_t size = sizeof in;
  int fd;
  do {
    fd = accept4(socket, reinterpret_cast<sockaddr*>(&in), &size, SOCK_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    error = last_error();
    return NO_SOCKET;
  }
  error = NET_OK;
  address = in.sin_addr.s_addr;
  port = in.sin_port;
  return fd;
}

int32_t Sockets::connect(SocketHandle socket, uint32_t address, uint16_t port) {
  sockaddr_in in = make_address(address, port);
  return result_of(::connect(socket, reinterpret_cast<sockaddr*>(&in), sizeof in));
}

ConnectWait Sockets::wait_connect(SocketHandle socket, int32_t timeout_ms, int32_t& error) {
  double deadline = now_ms() + timeout_ms;
  for (;;) {
    double left = deadline - now_ms();
    if (left < 0) left = 0;
    pollfd entry{socket, POLLOUT, 0};
    int ready = poll(&entry, 1, static_cast<int>(left + 0.999));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) {
      error = last_error();
      return ConnectWait::failed;
    }
    if (ready == 0) {
      error = NET_IN_PROGRESS;
      return ConnectWait::timed_out;
    }
    // A refused or unreachable connect shows as writable with an error pending here, where
    // the runtime expects an exception and no writability: ask the socket which it is.
    int pending = 0;
    socklen_t size = sizeof pending;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &pending, &size) != 0) pending = errno;
    if (pending == 0 && (entry.revents & (POLLERR | POLLHUP))) pending = ECONNREFUSED;
    // A connection that was made and already reset by the peer did connect: the reset is
    // for the first receive to report.
    if (pending != 0 && pending != ECONNRESET && pending != EPIPE) {
      error = net_error_from_errno(pending);
      return ConnectWait::failed;
    }
    error = NET_OK;
    return ConnectWait::connected;
  }
}

int64_t Sockets::send(SocketHandle socket, const void* bytes, size_t count, int32_t& error) {
  ssize_t sent;
  do {
    sent = ::send(socket, bytes, count, MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  error = sent < 0 ? last_error() : NET_OK;
  return sent;
}

int64_t Sockets::send_to(SocketHandle socket, const void* bytes, size_t count, uint32_t address, uint16_t port,
                         int32_t& error) {
  sockaddr_in in = make_address(address, port);
  ssize_t sent;
  do {
    sent = ::sendto(socket, bytes, count, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&in), sizeof in);
  } while (sent < 0 && errno == EINTR);
  error = sent < 0 ? last_error() : NET_OK;
  return sent;
}

int64_t Sockets::receive(SocketHandle socket, void* buffer, size_t count, int32_t& error) {
  ssize_t got;
  do {
    got = ::recv(socket, buffer, count, 0);
  } while (got < 0 && errno == EINTR);
  error = got < 0 ? last_error() : NET_OK;
  return got;
}

int64_t Sockets::receive_from(SocketHandle socket, void* buffer, size_t count, uint32_t& address, uint16_t& port,
                              int32_t& error) {
  sockaddr_in in{};
  socklen_t size = sizeof in;
  ssize_t got;
  do {
    got = ::recvfrom(socket, buffer, count, MSG_TRUNC, reinterpret_cast<sockaddr*>(&in), &size);
  } while (got < 0 && errno == EINTR);
  error = got < 0 ? last_error() : NET_OK;
  if (got >= 0) {
    address = in.sin_addr.s_addr;
    port = in.sin_port;
  }
  return got;
}

int32_t Sockets::wait(SocketWait* entries, size_t count, int32_t timeout_ms) {
  thread_local std::vector<pollfd> fds;
  fds.clear();
  for (size_t i = 0; i < count; ++i) {
    short events = 0;
    if (entries[i].want_read) events |= POLLIN;
    if (entries[i].want_write) events |= POLLOUT;
    // A negative descriptor is ignored by poll().
    fds.push_back(pollfd{entries[i].handle, events, 0});
  }
  int ready = poll(fds.data(), fds.size(), timeout_ms);
  if (ready < 0) return errno == EINTR ? 0 : -1;
  for (size_t i = 0; i < count; ++i) {
    short got = fds[i].revents;
    entries[i].readable = (got & (POLLIN | POLLHUP | POLLERR)) != 0 && entries[i].want_read;
    entries[i].writable = (got & POLLOUT) != 0;
    entries[i].failed = (got & (POLLERR | POLLHUP | POLLNVAL)) != 0;
  }
  return ready;
}

bool Sockets::open_wakeup(SocketHandle& read_end, SocketHandle& write_end) {
  int ends[2];
  if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) return false;
  read_end = ends[0];
  write_end = ends[1];
  return true;
}

void Sockets::wake(SocketHandle write_end) {
  char one = 1;
  // A full pipe is already readable; nothing is lost by a failed write.
  [[maybe_unused]] ssize_t written = write(write_end, &one, 1);
}

void Sockets::drain(SocketHandle read_end) {
  char scratch[64];
  while (read(read_end, scratch, sizeof scratch) > 0) {
  }
}

void Sockets::close_wakeup(SocketHandle read_end, SocketHandle write_end) {
  if (read_end >= 0) ::close(read_end);
  if (write_end >= 0) ::close(write_end);
}

int32_t Sockets::resolve(const char* name, uint32_t& address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  int rc = getaddrinfo(name, nullptr, &hints, &found);
  if (rc != 0) {
    if (rc == EAI_SYSTEM) return last_error();
    for (const LookupPair& pair : kLookupTable) {
      if (pair.eai == rc) return pair.code;
    }
    return NET_NO_RECOVERY;
  }
  int32_t result = NET_NO_DATA;
  for (addrinfo* entry = found; entry; entry = entry->ai_next) {
    if (entry->ai_family == AF_INET && entry->ai_addr) {
      address = reinterpret_cast<sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr;
      result = NET_OK;
      break;
    }
  }
  freeaddrinfo(found);
  return result;
}

bool Sockets::own_addresses(std::vector<uint32_t>& addresses) {
  addresses.clear();
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
    if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET) continue;
    if (!(entry->ifa_flags & IFF_UP)) continue;
    addresses.push_back(reinterpret_cast<sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr);
  }
  freeifaddrs(list);
  return true;
}

std::string Sockets::error_message(int32_t error) {
  char scratch[256];
  if (error == NET_OK) return strerror_r(0, scratch, sizeof scratch);
  if (error == NET_TABLE_FULL) return strerror_r(EMFILE, scratch, sizeof scratch);
  for (const LookupPair& pair : kLookupTable) {
    if (pair.code == error) return gai_strerror(pair.eai);
  }
  for (const ErrorPair& pair : kErrorTable) {
    if (pair.code == error) return strerror_r(pair.errno_value, scratch, sizeof scratch);
  }
  return "";
}

double Sockets::now_ms() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

void Sockets::sleep_ms(int32_t ms) {
  if (ms <= 0) return;
  timespec span{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&span, &span) != 0 && errno == EINTR) {
  }
}

template <>
Sockets& real_service<Sockets>() {
  static auto* service = new Sockets;
  return *service;
}

}  // namespace qrn
