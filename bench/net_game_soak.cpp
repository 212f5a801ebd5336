// Long soak of the network game, run by hand: a host in a child process and N clients
// (default 64) in this one, each sending M messages (default 100000) to the next client's
// player with up to 64 in flight, every message checked for order and content. Prints the
// messages per second, any loss, and the host process's memory (resident set) after all
// joined, at the end, and at its peak. Usage: bench_net_game_soak [clients] [messages]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "net/net_game_internal.h"
#include "platform/fake_sockets.h"

namespace {

constexpr int kPort = 47911;
constexpr int kWindow = 64;

double now_ms() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// A "VmRSS" or "VmHWM" line of a process, in kB.
long memory_kb(pid_t pid, const char* key) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key) + 1);
  }
  return -1;
}

std::string message_text(int from_client, long n) {
  return std::to_string(from_client) + ":" + std::to_string(n) + ":" + std::string(n % 64, 'a' + from_client % 26);
}

}  // namespace

int main(int argc, char** argv) {
  const int clients = argc > 1 ? std::atoi(argv[1]) : 64;
  const long messages = argc > 2 ? std::atol(argv[2]) : 100000;
  qrn::FakeSockets machine;  // this machine is 127.0.0.1; every socket is real
  machine.script_addresses = true;
  machine.addresses = {htonl(INADDR_LOOPBACK)};
  qrn::ServiceScope<qrn::Sockets> scope(&machine);

  int ready[2], done[2];
  if (pipe(ready) != 0 || pipe(done) != 0) return 1;
  pid_t host_pid = fork();
  if (host_pid == 0) {
    close(done[1]);
    qrn::NetGame host;
    char ok = host.host(kPort) ? 'y' : 'n';
    [[maybe_unused]] ssize_t written = write(ready[1], &ok, 1);
    char end;
    [[maybe_unused]] ssize_t got = read(done[0], &end, 1);  // until the parent closes its end
    _exit(0);
  }
  close(done[0]);
  char ok = 'n';
  if (read(ready[0], &ok, 1) != 1) ok = 'n';
  if (ok != 'y') {
    std::printf("the host could not start on port %d\n", kPort);
    return 1;
  }

  std::vector<std::unique_ptr<qrn::NetGame>> games;
  std::vector<int32_t> players;
  for (int c = 0; c < clients; ++c) {
    games.push_back(std::make_unique<qrn::NetGame>());
    if (!games.back()->join("127.0.0.1", kPort)) {
      std::printf("client %d could not join\n", c);
      return 1;
    }
    players.push_back(games.back()->create_player(("soak" + std::to_string(c)).c_str()));
  }
  long rss_joined = memory_kb(host_pid, "VmRSS:");

  std::vector<long> received(clients, 0);
  std::vector<long> faults(clients, 0);
  std::vector<std::atomic<long>> consumed(clients);  // by each client's receiver, for flow control
  for (std::atomic<long>& count : consumed) count.store(0);
  std::vector<std::thread> threads;
  double start = now_ms();
  for (int c = 0; c < clients; ++c) {
    threads.emplace_back([&, c] {
      qrn::NetGame& game = *games[c];
      int next = (c + 1) % clients;
      int previous = (c + clients - 1) % clients;
      long sent = 0;
      std::string text;
      uint16_t sender;
      double deadline = now_ms() + 600000;
      while ((sent < messages || received[c] < messages) && now_ms() < deadline) {
        while (sent < messages && sent - consumed[next].load() < kWindow) {
          std::string out = message_text(c, sent);
          if (!game.send_message(players[c], players[next], out.data(), out.size())) break;
          ++sent;
        }
        bool any = false;
        while (game.receive_message(players[c], text, sender)) {
          if (text != message_text(previous, received[c]) || sender != players[previous]) ++faults[c];
          ++received[c];
          consumed[c].store(received[c]);
          any = true;
        }
        if (!any) std::this_thread::sleep_for(std::chrono::microseconds(50));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  double seconds = (now_ms() - start) / 1000;
  long rss_end = memory_kb(host_pid, "VmRSS:");
  long rss_peak = memory_kb(host_pid, "VmHWM:");
  long total = 0, lost = 0, wrong = 0;
  for (int c = 0; c < clients; ++c) {
    total += received[c];
    lost += messages - received[c];
    wrong += faults[c];
  }
  games.clear();
  close(done[1]);
  waitpid(host_pid, nullptr, 0);
  std::printf("%d clients x %ld messages through one host (another process), %d in flight each\n", clients, messages,
              kWindow);
  std::printf("delivered %ld in %.1f s: %.0f messages per second; lost %ld, out of order or corrupted %ld\n", total,
              seconds, total / seconds, lost, wrong);
  std::printf("host resident memory: %ld kB after the joins, %ld kB at the end (growth %ld kB), peak %ld kB\n",
              rss_joined, rss_end, rss_end - rss_joined, rss_peak);
  return lost == 0 && wrong == 0 ? 0 : 1;
}
