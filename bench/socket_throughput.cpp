// Loopback TCP throughput of socket_send / socket_receive beside a plain POSIX send/recv
// loop measured in the same run: one sender thread, one receiver, 64 KB pieces, best of
// three runs each. The runtime's receiver runs once blocking (socket_set_blocking) and once
// non-blocking, polling through the -2 answers as a game loop would.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "quarnel.h"

namespace {

constexpr size_t kPiece = 64 * 1024;
constexpr size_t kTotal = size_t{512} << 20;

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double posix_run() {
  int listener = socket(AF_INET, SOCK_STREAM, 0);
  int one = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in in{};
  in.sin_family = AF_INET;
  in.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(listener, reinterpret_cast<sockaddr*>(&in), sizeof in);
  listen(listener, 1);
  socklen_t size = sizeof in;
  getsockname(listener, reinterpret_cast<sockaddr*>(&in), &size);
  int client = socket(AF_INET, SOCK_STREAM, 0);
  connect(client, reinterpret_cast<sockaddr*>(&in), sizeof in);
  int server = accept(listener, nullptr, nullptr);
  auto start = std::chrono::steady_clock::now();
  std::thread sender([client] {
    std::string piece(kPiece, 'x');
    for (size_t sent = 0; sent < kTotal;) {
      ssize_t n = send(client, piece.data(), piece.size(), MSG_NOSIGNAL);
      if (n <= 0) return;
      sent += static_cast<size_t>(n);
    }
  });
  std::string buffer(kPiece, '\0');
  for (size_t got = 0; got < kTotal;) {
    ssize_t n = recv(server, &buffer[0], buffer.size(), 0);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  double took = seconds_since(start);
  sender.join();
  close(client);
  close(server);
  close(listener);
  return static_cast<double>(kTotal) / took / 1e6;
}

double runtime_run(bool blocking) {
  using namespace qrn;
  int32_t listener = -1;
  int32_t port = 0;
  for (port = 40000; port < 40100 && listener < 0; ++port) listener = tcp_listen(port);
  --port;
  int32_t client = tcp_connect("127.0.0.1", port, 2000);
  int32_t address = 0;
  int32_t server = -1;
  while (server < 0) server = tcp_accept(listener, address);
  if (blocking) socket_set_blocking(server, 1);
  auto start = std::chrono::steady_clock::now();
  std::thread sender([client] {
    RtString piece(std::string(kPiece, 'x').c_str());
    for (size_t sent = 0; sent < kTotal; sent += kPiece) {
      if (socket_send(client, piece) <= 0) return;
    }
  });
  RtString text;
  for (size_t got = 0; got < kTotal;) {
    int32_t n = socket_receive(server, text, static_cast<int32_t>(kPiece));
    if (n == -2) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  double took = seconds_since(start);
  sender.join();
  socket_close(client);
  socket_close(server);
  socket_close(listener);
  return static_cast<double>(kTotal) / took / 1e6;
}

}  // namespace

int main() {
  qrn::socket_start();
  // Interleaved, so that neither side gets a warmer machine.
  double posix = 0, blocking = 0, polling = 0;
  for (int i = 0; i < 3; ++i) {
    posix = std::max(posix, posix_run());
    blocking = std::max(blocking, runtime_run(true));
    polling = std::max(polling, runtime_run(false));
  }
  qrn::socket_end();
  std::printf("loopback TCP, %zu MB in %zu KB pieces, best of 3\n", kTotal >> 20, kPiece >> 10);
  std::printf("plain POSIX send/recv:                 %8.0f MB/s (baseline)\n", posix);
  std::printf("socket_send / socket_receive blocking: %8.0f MB/s  ratio %.2f\n", blocking, blocking / posix);
  std::printf("socket_send / socket_receive polling:  %8.0f MB/s  ratio %.2f\n", polling, polling / posix);
  return 0;
}
