// Network-game relay on loopback: one host, 8 clients (each its own game and thread, in this
// process). Measured in the same run beside a plain TCP echo server over POSIX sockets
// (one poll() thread, the same 8 clients, the same 32-byte messages):
// - round trip: every client sends a message to itself and waits for it, over and over
//   (8 busy clients; the game's clients poll for the answer every 20 us, the echo clients
//   wait in recv); median and 99th percentile over all round trips;
// - throughput: every client keeps up to 64 messages to itself in flight; messages
//   relayed per second.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/net_game_internal.h"
#include "platform/fake_sockets.h"

namespace {

constexpr int kClients = 8;
constexpr double kRunSeconds = 3.0;
constexpr int kWindow = 64;
const std::string kMessage(32, 'm');

double now_ms() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

struct Figures {
  double median_ms = 0, p99_ms = 0, per_second = 0;
};

void summarise(std::vector<double>& trips, Figures& figures) {
  std::sort(trips.begin(), trips.end());
  if (trips.empty()) return;
  figures.median_ms = trips[trips.size() / 2];
  figures.p99_ms = trips[std::min(trips.size() - 1, trips.size() * 99 / 100)];
}

// ---- Plain TCP echo over POSIX ---------------------------------------------------------------

class EchoServer {
 public:
  EchoServer() {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, reinterpret_cast<sockaddr*>(&in), sizeof in);
    listen(listener_, 16);
    socklen_t size = sizeof in;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&in), &size);
    port_ = ntohs(in.sin_port);
    thread_ = std::thread([this] { run(); });
  }
  ~EchoServer() {
    stop_ = true;
    thread_.join();
    close(listener_);
  }
  int port() const { return port_; }

 private:
  void run() {
    std::vector<pollfd> fds{{listener_, POLLIN, 0}};
    char buffer[16384];
    while (!stop_) {
      if (poll(fds.data(), fds.size(), 50) <= 0) continue;
      for (size_t i = 1; i < fds.size(); ++i) {
        if (!(fds[i].revents & (POLLIN | POLLHUP))) continue;
        ssize_t n = recv(fds[i].fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
          close(fds[i].fd);
          fds.erase(fds.begin() + static_cast<std::ptrdiff_t>(i--));
          continue;
        }
        send(fds[i].fd, buffer, static_cast<size_t>(n), MSG_NOSIGNAL);
      }
      if (fds[0].revents & POLLIN) {
        int fd = accept(listener_, nullptr, nullptr);
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        fds.push_back(pollfd{fd, POLLIN, 0});
      }
    }
    for (size_t i = 1; i < fds.size(); ++i) close(fds[i].fd);
  }
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

int connect_echo(int port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  sockaddr_in in{};
  in.sin_family = AF_INET;
  in.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  in.sin_port = htons(static_cast<uint16_t>(port));
  connect(fd, reinterpret_cast<sockaddr*>(&in), sizeof in);
  return fd;
}

void read_bytes(int fd, size_t count) {
  char buffer[16384];
  while (count > 0) {
    ssize_t n = recv(fd, buffer, std::min(count, sizeof buffer), 0);
    if (n <= 0) return;
    count -= static_cast<size_t>(n);
  }
}

Figures posix_echo() {
  EchoServer server;
  Figures figures;
  std::vector<double> trips;
  std::mutex trips_lock;
  std::vector<std::thread> threads;
  for (int c = 0; c < kClients; ++c) {
    threads.emplace_back([&] {
      int fd = connect_echo(server.port());
      std::vector<double> mine;
      double end = now_ms() + kRunSeconds * 1000;
      while (now_ms() < end) {
        double start = now_ms();
        send(fd, kMessage.data(), kMessage.size(), MSG_NOSIGNAL);
        read_bytes(fd, kMessage.size());
        mine.push_back(now_ms() - start);
      }
      close(fd);
      std::lock_guard<std::mutex> hold(trips_lock);
      trips.insert(trips.end(), mine.begin(), mine.end());
    });
  }
  for (std::thread& thread : threads) thread.join();
  summarise(trips, figures);
  threads.clear();
  std::atomic<long> messages{0};
  for (int c = 0; c < kClients; ++c) {
    threads.emplace_back([&] {
      int fd = connect_echo(server.port());
      std::string window;
      for (int i = 0; i < kWindow; ++i) window += kMessage;
      send(fd, window.data(), window.size(), MSG_NOSIGNAL);
      long done = 0;
      double end = now_ms() + kRunSeconds * 1000;
      while (now_ms() < end) {
        read_bytes(fd, kMessage.size());
        send(fd, kMessage.data(), kMessage.size(), MSG_NOSIGNAL);
        ++done;
      }
      messages += done;
      close(fd);
    });
  }
  for (std::thread& thread : threads) thread.join();
  figures.per_second = static_cast<double>(messages.load()) / kRunSeconds;
  return figures;
}

// ---- The network game --------------------------------------------------------------------------

Figures net_game_relay() {
  qrn::FakeSockets machine;  // this machine is 127.0.0.1; every socket is real
  machine.script_addresses = true;
  machine.addresses = {htonl(INADDR_LOOPBACK)};
  qrn::ServiceScope<qrn::Sockets> scope(&machine);
  const int port = 47910;
  auto host = std::make_unique<qrn::NetGame>();
  if (!host->host(port)) {
    std::printf("cannot host on port %d\n", port);
    return {};
  }
  std::vector<std::unique_ptr<qrn::NetGame>> clients;
  std::vector<int32_t> players;
  for (int c = 0; c < kClients; ++c) {
    clients.push_back(std::make_unique<qrn::NetGame>());
    clients.back()->join("127.0.0.1", port);
    players.push_back(clients.back()->create_player(("bench" + std::to_string(c)).c_str()));
  }
  Figures figures;
  std::vector<double> trips;
  std::mutex trips_lock;
  std::vector<std::thread> threads;
  for (int c = 0; c < kClients; ++c) {
    threads.emplace_back([&, c] {
      qrn::NetGame& game = *clients[c];
      std::vector<double> mine;
      std::string text;
      uint16_t sender;
      double end = now_ms() + kRunSeconds * 1000;
      while (now_ms() < end) {
        double start = now_ms();
        game.send_message(players[c], players[c], kMessage.data(), kMessage.size());
        // A program polls for its messages (a game once a frame); here every 20 us.
        while (!game.receive_message(players[c], text, sender) && now_ms() - start < 5000) {
          std::this_thread::sleep_for(std::chrono::microseconds(20));
        }
        mine.push_back(now_ms() - start);
      }
      std::lock_guard<std::mutex> hold(trips_lock);
      trips.insert(trips.end(), mine.begin(), mine.end());
    });
  }
  for (std::thread& thread : threads) thread.join();
  summarise(trips, figures);
  threads.clear();
  std::atomic<long> messages{0};
  for (int c = 0; c < kClients; ++c) {
    threads.emplace_back([&, c] {
      qrn::NetGame& game = *clients[c];
      std::string text;
      uint16_t sender;
      int in_flight = 0;
      long done = 0;
      double end = now_ms() + kRunSeconds * 1000;
      while (now_ms() < end) {
        while (in_flight < kWindow && game.send_message(players[c], players[c], kMessage.data(), kMessage.size())) {
          ++in_flight;
        }
        while (game.receive_message(players[c], text, sender)) {
          --in_flight;
          ++done;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(20));
      }
      messages += done;
    });
  }
  for (std::thread& thread : threads) thread.join();
  figures.per_second = static_cast<double>(messages.load()) / kRunSeconds;
  clients.clear();
  host.reset();
  return figures;
}

}  // namespace

int main() {
  Figures posix = posix_echo();
  Figures game = net_game_relay();
  std::printf("loopback, %d clients, %zu-byte messages, %.0f s per figure\n", kClients, kMessage.size(), kRunSeconds);
  std::printf("round trip, 8 busy clients   plain TCP echo (baseline)   network game through its host\n");
  std::printf("  median                     %8.3f ms                  %8.3f ms  (ratio %.1f)\n", posix.median_ms,
              game.median_ms, game.median_ms / posix.median_ms);
  std::printf("  99th percentile            %8.3f ms                  %8.3f ms  (ratio %.1f)\n", posix.p99_ms,
              game.p99_ms, game.p99_ms / posix.p99_ms);
  std::printf("messages per second          %8.0f                     %8.0f     (ratio %.2f)\n", posix.per_second,
              game.per_second, game.per_second / posix.per_second);
  return 0;
}
