// Shared pieces of the network-game tests: a fixture whose games find this machine at
// 127.0.0.1 (the scripted sockets answer the address list, everything else is real), and
// raw clients on plain POSIX sockets that speak the wire format by hand.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "net/net_game_internal.h"
#include "platform/fake_sockets.h"

namespace qrn::test {

class GameTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  NetGame& new_game();
  // A hosting game on port(), and a game joined to it.
  NetGame& host_game();
  NetGame& joined_game();
  int port() const { return port_; }

 private:
  FakeSockets sockets_;
  std::unique_ptr<ServiceScope<Sockets>> scope_;
  std::vector<std::unique_ptr<NetGame>> games_;
  int port_ = 0;
};

// Waits up to timeout_ms for a message to a local player.
bool receive_within(NetGame& game, int32_t player, std::string& text, uint16_t& sender, int timeout_ms = 3000);
// True when no message for the player arrives within ms.
bool nothing_within(NetGame& game, int32_t player, int ms);

// ---- Raw clients ----------------------------------------------------------------------------
// A connection to 127.0.0.1:port; with nonblocking, one that may still be connecting.
int connect_raw(int port, int receive_buffer = 0, bool nonblocking = false);
std::string raw_packet(uint8_t type, uint16_t to, uint16_t from, const std::string& payload);
std::string raw_header(uint8_t type, uint16_t length, uint16_t to, uint16_t from);
std::string raw_registration(const std::string& name, bool hidden = false);
// Reads one whole packet (blocking up to timeout_ms); false on time-out or close.
bool read_raw_packet(int fd, NetPacket& packet, int timeout_ms);
// Registers a player over a raw connection; its id, or 0.
uint16_t register_raw(int fd, const std::string& name);

// A well-behaved client beside hostile ones: a background thread sends numbered messages
// from its player to itself through the host and checks each comes back, in order and
// whole, recording the slowest round trip.
class EchoProbe {
 public:
  explicit EchoProbe(NetGame& game);
  ~EchoProbe();
  void stop();
  double worst_round_trip_ms() const { return worst_; }
  int round_trips() const { return count_.load(); }
  bool all_in_order() const { return in_order_; }

 private:
  NetGame& game_;
  int32_t player_ = 0;
  std::atomic<bool> stop_{false};
  double worst_ = 0;
  std::atomic<int> count_{0};
  bool in_order_ = true;
  std::thread thread_;
};

}  // namespace qrn::test
