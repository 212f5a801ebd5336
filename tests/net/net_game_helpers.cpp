// Shared pieces of the network-game tests (see net_game_helpers.h).
#include "net_game_helpers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "loopback_server.h"

namespace qrn::test {

void GameTest::SetUp() {
  sockets_.script_addresses = true;
  sockets_.addresses = {htonl(INADDR_LOOPBACK)};
  scope_ = std::make_unique<ServiceScope<Sockets>>(&sockets_);
  port_ = unused_port();
}

void GameTest::TearDown() {
  games_.clear();  // each ends its game (and its thread) first
  scope_.reset();
}

NetGame& GameTest::new_game() {
  games_.push_back(std::make_unique<NetGame>());
  return *games_.back();
}

NetGame& GameTest::host_game() {
  NetGame& game = new_game();
  EXPECT_EQ(game.host(port_), 1);
  return game;
}

NetGame& GameTest::joined_game() {
  NetGame& game = new_game();
  EXPECT_EQ(game.join("127.0.0.1", port_), 1);
  return game;
}

bool receive_within(NetGame& game, int32_t player, std::string& text, uint16_t& sender, int timeout_ms) {
  double deadline = now_ms() + timeout_ms;
  do {
    if (game.receive_message(player, text, sender)) return true;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  } while (now_ms() < deadline);
  return false;
}

bool nothing_within(NetGame& game, int32_t player, int ms) {
  std::string text;
  uint16_t sender;
  return !receive_within(game, player, text, sender, ms);
}

int connect_raw(int port, int receive_buffer, bool nonblocking) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | (nonblocking ? SOCK_NONBLOCK : 0), 0);
  if (receive_buffer > 0) setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
  sockaddr_in in{};
  in.sin_family = AF_INET;
  in.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  in.sin_port = htons(static_cast<uint16_t>(port));
  if (connect(fd, reinterpret_cast<sockaddr*>(&in), sizeof in) != 0 && !(nonblocking && errno == EINPROGRESS)) {
    close(fd);
    return -1;
  }
  return fd;
}

std::string raw_header(uint8_t type, uint16_t length, uint16_t to, uint16_t from) {
  std::string bytes(7, '\0');
  bytes[0] = static_cast<char>(type);
  bytes[1] = static_cast<char>(length & 0xFF);
  bytes[2] = static_cast<char>(length >> 8);
  bytes[3] = static_cast<char>(to & 0xFF);
  bytes[4] = static_cast<char>(to >> 8);
  bytes[5] = static_cast<char>(from & 0xFF);
  bytes[6] = static_cast<char>(from >> 8);
  return bytes;
}

std::string raw_packet(uint8_t type, uint16_t to, uint16_t from, const std::string& payload) {
  return raw_header(type, static_cast<uint16_t>(payload.size()), to, from) + payload;
}

std::string raw_registration(const std::string& name, bool hidden) {
  std::string payload(136, '\0');
  payload[0] = payload[1] = payload[2] = payload[3] = static_cast<char>(0xFF);
  payload[4] = static_cast<char>(0xFE);
  payload[5] = static_cast<char>(0xFF);
  payload[6] = hidden ? 1 : 0;
  std::memcpy(&payload[8], name.data(), name.size() < 127 ? name.size() : 127);
  return raw_packet(1, 0, 0, payload);
}

namespace {

bool read_exactly(int fd, char* into, size_t count, double deadline) {
  size_t got = 0;
  while (got < count) {
    int left = static_cast<int>(deadline - now_ms());
    pollfd entry{fd, POLLIN, 0};
    if (left <= 0 || poll(&entry, 1, left) <= 0) return false;
    ssize_t n = recv(fd, into + got, count - got, 0);
    if (n <= 0) return false;
    got += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool read_raw_packet(int fd, NetPacket& packet, int timeout_ms) {
  double deadline = now_ms() + timeout_ms;
  unsigned char header[7];
  if (!read_exactly(fd, reinterpret_cast<char*>(header), 7, deadline)) return false;
  packet.type = header[0];
  size_t length = header[1] | (header[2] << 8);
  packet.to = static_cast<uint16_t>(header[3] | (header[4] << 8));
  packet.from = static_cast<uint16_t>(header[5] | (header[6] << 8));
  packet.payload.assign(length, '\0');
  return length == 0 || read_exactly(fd, &packet.payload[0], length, deadline);
}

uint16_t register_raw(int fd, const std::string& name) {
  if (!write_all(fd, raw_registration(name))) return 0;
  NetPacket answer;
  if (!read_raw_packet(fd, answer, 3000) || answer.type != 2) return 0;
  return answer.to;
}

EchoProbe::EchoProbe(NetGame& game) : game_(game) {
  player_ = game_.create_player("probe");
  EXPECT_NE(player_, 0);
  thread_ = std::thread([this] {
    int sequence = 0;
    while (!stop_) {
      std::string sent = "probe " + std::to_string(sequence++);
      double start = now_ms();
      if (!game_.send_message(player_, player_, sent.data(), sent.size())) {
        in_order_ = false;
        return;
      }
      std::string text;
      uint16_t sender = 0;
      bool back = receive_within(game_, player_, text, sender, 5000);
      double took = now_ms() - start;
      if (took > worst_) worst_ = took;
      if (!back || text != sent || sender != player_) {
        in_order_ = false;
        return;
      }
      ++count_;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
}

EchoProbe::~EchoProbe() { stop(); }

void EchoProbe::stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

}  // namespace qrn::test
