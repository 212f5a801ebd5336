// Test peers on plain POSIX sockets (see loopback_server.h).
#include "loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

namespace qrn::test {

namespace {

int listen_loopback(int& port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in in{};
  in.sin_family = AF_INET;
  in.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(fd, reinterpret_cast<sockaddr*>(&in), sizeof in) != 0 || listen(fd, 16) != 0) {
    close(fd);
    return -1;
  }
  socklen_t size = sizeof in;
  getsockname(fd, reinterpret_cast<sockaddr*>(&in), &size);
  port = ntohs(in.sin_port);
  return fd;
}

bool wait_readable(int fd, int timeout_ms) {
  pollfd entry{fd, POLLIN, 0};
  return poll(&entry, 1, timeout_ms) > 0;
}

}  // namespace

double now_ms() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

LoopbackServer::LoopbackServer(Handler handler, int connections) {
  listener_ = listen_loopback(port_);
  thread_ = std::thread([this, handler, connections] {
    for (int i = 0; i < connections; ++i) {
      if (!wait_readable(listener_, 10000)) return;
      int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) return;
      ++accepted_;
      handler(fd);
      close(fd);
    }
  });
}

LoopbackServer::~LoopbackServer() {
  if (thread_.joinable()) thread_.join();
  if (listener_ >= 0) close(listener_);
}

std::string read_request(int fd, int timeout_ms) {
  std::string bytes;
  double deadline = now_ms() + timeout_ms;
  while (bytes.size() < 4 || bytes.compare(bytes.size() - 4, 4, "\r\n\r\n") != 0) {
    int left = static_cast<int>(deadline - now_ms());
    if (left <= 0 || !wait_readable(fd, left)) break;
    char c;
    if (recv(fd, &c, 1, 0) != 1) break;
    bytes += c;
  }
  return bytes;
}

std::string read_until_closed(int fd, int timeout_ms) {
  std::string bytes;
  double deadline = now_ms() + timeout_ms;
  for (;;) {
    int left = static_cast<int>(deadline - now_ms());
    if (left <= 0 || !wait_readable(fd, left)) break;
    char chunk[4096];
    ssize_t got = recv(fd, chunk, sizeof chunk, 0);
    if (got <= 0) break;
    bytes.append(chunk, static_cast<size_t>(got));
  }
  return bytes;
}

bool write_all(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t sent = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (sent <= 0) return false;
    done += static_cast<size_t>(sent);
  }
  return true;
}

void close_with_reset(int fd) {
  linger hard{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
}

bool wait_peer_closed(int fd, int timeout_ms) {
  double deadline = now_ms() + timeout_ms;
  for (;;) {
    int left = static_cast<int>(deadline - now_ms());
    if (left <= 0 || !wait_readable(fd, left)) return false;
    char chunk[4096];
    if (recv(fd, chunk, sizeof chunk, 0) <= 0) return true;
  }
}

int unused_port() {
  int port = 0;
  int fd = listen_loopback(port);
  close(fd);
  return port;
}

bool in_private_namespace() {
  const char* value = std::getenv("QRN_NET_NAMESPACE");
  return value && std::strcmp(value, "1") == 0;
}

}  // namespace qrn::test
