// Test peers on 127.0.0.1 written straight on POSIX sockets, so the runtime's sockets are
// checked against code that is not their own. Every wait is bounded.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace qrn::test {

// A listening socket on 127.0.0.1 and an ephemeral port; a thread accepts `connections`
// connections one after another and runs the handler on each (then closes it).
class LoopbackServer {
 public:
  using Handler = std::function<void(int fd)>;
  explicit LoopbackServer(Handler handler, int connections = 1);
  ~LoopbackServer();  // waits for the thread (the handler must end by itself)
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;
  int port() const { return port_; }
  int accepted() const { return accepted_.load(); }

 private:
  int listener_ = -1;
  int port_ = 0;
  std::atomic<int> accepted_{0};
  std::thread thread_;
};

// Reads until the bytes end with "\r\n\r\n", the peer closes, or timeout_ms pass.
std::string read_request(int fd, int timeout_ms = 5000);
// Reads whatever arrives until the peer closes or timeout_ms pass.
std::string read_until_closed(int fd, int timeout_ms = 5000);
bool write_all(int fd, const std::string& bytes);
// Closes with a reset instead of an orderly end.
void close_with_reset(int fd);
// Waits until the peer closed the connection (true) or timeout_ms pass (false).
bool wait_peer_closed(int fd, int timeout_ms);
// A TCP port on 127.0.0.1 that nothing listens on right now.
int unused_port();
// True inside the private network namespace that in_netns.sh makes.
bool in_private_namespace();

// Milliseconds on the monotonic clock.
double now_ms();

}  // namespace qrn::test
