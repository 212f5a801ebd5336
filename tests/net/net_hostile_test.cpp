// Hostile clients against a live host with a well-behaved client beside them: broken wire
// format, forged senders, trickling, silent and non-reading connections, random bytes, a
// full connection table. The host survives, the good client's messages come back in order,
// and its round trip stays under a second. Then a soak of 8 clients through one host.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

#include "loopback_server.h"
#include "net_game_helpers.h"

namespace qrn {
namespace {

using test::connect_raw;
using test::now_ms;
using test::raw_header;
using test::raw_packet;
using test::write_all;

using HostileClients = test::GameTest;

// Lets the probe run for at least 20 round trips (or 3 s), then checks what it saw.
void expect_healthy(test::EchoProbe& probe) {
  double deadline = now_ms() + 3000;
  while (probe.round_trips() < 20 && now_ms() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  probe.stop();
  EXPECT_TRUE(probe.all_in_order());
  EXPECT_GT(probe.round_trips(), 10);
  EXPECT_LT(probe.worst_round_trip_ms(), 1000.0);
}

TEST_F(HostileClients, BrokenWireFormatDropsOnlyThatConnection) {
  NetGame& host = host_game();
  NetGame& good = joined_game();
  test::EchoProbe probe(good);

  // A header claiming 1025 bytes, and registrations one byte short and one byte long.
  for (const std::string& bad : {raw_header(3, 1025, 1, 1), raw_header(1, 135, 0, 0) + std::string(135, 'r'),
                                  raw_header(1, 137, 0, 0) + std::string(137, 'r')}) {
    int fd = connect_raw(port());
    uint16_t id = test::register_raw(fd, "hostile");
    ASSERT_NE(id, 0);
    ASSERT_TRUE(write_all(fd, bad));
    EXPECT_TRUE(test::wait_peer_closed(fd, 3000));
    close(fd);
    // Its player left as for a closed connection.
    double deadline = now_ms() + 2000;
    int32_t left = 0;
    while (!left && now_ms() < deadline) left = host.player_left();
    EXPECT_EQ(left, id);
  }
  // At the limit: a 1024-byte message to itself comes back whole.
  int fd = connect_raw(port());
  uint16_t id = test::register_raw(fd, "honest raw");
  ASSERT_TRUE(write_all(fd, raw_packet(3, id, id, std::string(1024, 'z'))));
  NetPacket back;
  ASSERT_TRUE(test::read_raw_packet(fd, back, 3000));
  EXPECT_EQ(back.payload, std::string(1024, 'z'));
  close(fd);
  expect_healthy(probe);
}

TEST_F(HostileClients, ForgedSendersAreIgnored) {
  NetGame& host = host_game();
  NetGame& good = joined_game();
  int32_t victim = good.create_player("victim");
  int fd = connect_raw(port());
  uint16_t own = test::register_raw(fd, "forger");
  ASSERT_NE(own, 0);
  test::EchoProbe probe(good);
  ASSERT_TRUE(write_all(fd, raw_packet(3, static_cast<uint16_t>(victim), static_cast<uint16_t>(victim), "forged")));
  ASSERT_TRUE(write_all(fd, raw_packet(4, 0, static_cast<uint16_t>(victim), "")));
  ASSERT_TRUE(write_all(fd, raw_packet(3, static_cast<uint16_t>(victim), own, "marker")));
  std::string text;
  uint16_t sender = 0;
  ASSERT_TRUE(test::receive_within(good, victim, text, sender));
  EXPECT_EQ(text, "marker");  // the forged message never came
  EXPECT_EQ(sender, own);
  EXPECT_EQ(host.player_left(), 0);  // and the victim was not removed
  std::string name;
  ASSERT_TRUE(good.player_name(victim, name));
  EXPECT_EQ(name, "victim");
  close(fd);
  expect_healthy(probe);
}

TEST_F(HostileClients, TricklingAndSilentConnectionsDelayNobody) {
  host_game();
  NetGame& good = joined_game();
  test::EchoProbe probe(good);
  std::vector<int> fds;
  for (int i = 0; i < 200; ++i) {
    int fd = connect_raw(port(), 0, true);  // past the table and the backlog they stay connecting
    if (fd >= 0) fds.push_back(fd);
  }
  int silent = connect_raw(port(), 0, true);
  std::string header = raw_header(3, 1000, 1, 1);
  for (size_t second = 0; second < 3; ++second) {
    for (int fd : fds) send(fd, &header[second], 1, MSG_NOSIGNAL | MSG_DONTWAIT);
    std::this_thread::sleep_for(std::chrono::seconds(1));
  }
  for (int fd : fds) close(fd);
  if (silent >= 0) close(silent);
  expect_healthy(probe);
}

TEST_F(HostileClients, AnUnfinishedPacketIsDroppedAfterTheLimit) {
  NetGame& host = new_game();
  host.limits.partial_packet_ms = 300;
  ASSERT_EQ(host.host(port()), 1);
  int stalled = connect_raw(port());
  int slow = connect_raw(port());
  uint16_t id = test::register_raw(slow, "slow");
  ASSERT_TRUE(write_all(stalled, "\x03\x01"));
  std::string packet = raw_packet(3, id, id, "split");
  ASSERT_TRUE(write_all(slow, packet.substr(0, 5)));
  std::this_thread::sleep_for(std::chrono::milliseconds(150));  // within the limit
  ASSERT_TRUE(write_all(slow, packet.substr(5)));
  NetPacket back;
  EXPECT_TRUE(test::read_raw_packet(slow, back, 2000));
  EXPECT_EQ(back.payload, "split");
  EXPECT_TRUE(test::wait_peer_closed(stalled, 3000));  // past it
  close(stalled);
  close(slow);
}

TEST_F(HostileClients, RandomBytesAndAClientThatNeverReads) {
  NetGame& host = new_game();
  host.limits.outbox_bytes = 64 * 1024;
  ASSERT_EQ(host.host(port()), 1);
  NetGame& good = joined_game();
  test::EchoProbe probe(good);

  std::mt19937 random(1234);
  for (int round = 0; round < 8; ++round) {
    int fd = connect_raw(port());
    std::string noise(8192, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    write_all(fd, noise);
    close(fd);
  }

  // A registered client with a tiny receive buffer that never reads what it is sent.
  int deaf = connect_raw(port(), 4096);
  uint16_t deaf_id = test::register_raw(deaf, "deaf");
  ASSERT_NE(deaf_id, 0);
  int32_t sender = good.create_player("flood");
  std::string block(1000, 'f');
  bool dropped = false;
  double deadline = now_ms() + 10000;
  while (!dropped && now_ms() < deadline) {
    for (int i = 0; i < 50; ++i) good.send_message(sender, deaf_id, block.data(), block.size());
    int32_t left;
    while ((left = host.player_left()) != 0) dropped = dropped || left == deaf_id;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_TRUE(dropped);
  close(deaf);
  expect_healthy(probe);
}

TEST_F(HostileClients, The129thConnectionStaysUnacceptedUntilOneCloses) {
  host_game();  // its own connection is the first of 128
  std::vector<int> fds;
  NetPacket answer;
  for (int i = 0; i < 127; ++i) {
    int fd = connect_raw(port());
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(write_all(fd, raw_packet(104, 0, 0, "")));
    ASSERT_TRUE(test::read_raw_packet(fd, answer, 3000)) << i;  // accepted and served
    fds.push_back(fd);
  }
  int extra = connect_raw(port());  // the kernel takes it; the host does not
  ASSERT_GE(extra, 0);
  ASSERT_TRUE(write_all(extra, raw_packet(104, 0, 0, "")));
  EXPECT_FALSE(test::read_raw_packet(extra, answer, 1000));
  close(fds.back());
  EXPECT_TRUE(test::read_raw_packet(extra, answer, 3000));
  EXPECT_EQ(answer.type, 104);
  close(extra);
  for (size_t i = 0; i + 1 < fds.size(); ++i) close(fds[i]);
}

// 8 clients, 2000 messages each to the next client's player, through one host: nothing
// lost, reordered or corrupted.
TEST_F(HostileClients, SoakEightClientsThroughOneHost) {
  constexpr int kClients = 8;
  constexpr int kMessages = 2000;
  host_game();
  std::vector<NetGame*> clients;
  std::vector<int32_t> players;
  for (int i = 0; i < kClients; ++i) {
    clients.push_back(&joined_game());
    players.push_back(clients.back()->create_player(("soak" + std::to_string(i)).c_str()));
    ASSERT_NE(players.back(), 0);
  }
  std::vector<int> received(kClients, 0);
  std::vector<std::string> faults(kClients);
  std::vector<std::thread> threads;
  for (int i = 0; i < kClients; ++i) {
    threads.emplace_back([&, i] {
      NetGame& game = *clients[i];
      int32_t to = players[(i + 1) % kClients];
      int32_t expected_from = players[(i + kClients - 1) % kClients];
      int sent = 0;
      double deadline = now_ms() + 60000;
      while ((sent < kMessages || received[i] < kMessages) && now_ms() < deadline) {
        if (sent < kMessages) {
          std::string text = std::to_string(i) + ":" + std::to_string(sent) + ":" + std::string(sent % 200, 'a' + i);
          if (game.send_message(players[i], to, text.data(), text.size())) ++sent;
        }
        std::string text;
        uint16_t sender;
        while (game.receive_message(players[i], text, sender)) {
          int from_client = (i + kClients - 1) % kClients;
          int n = received[i];
          std::string wanted = std::to_string(from_client) + ":" + std::to_string(n) + ":" +
                               std::string(n % 200, 'a' + from_client);
          if (text != wanted || sender != expected_from) {
            if (faults[i].empty()) faults[i] = "got '" + text.substr(0, 40) + "' wanted '" + wanted.substr(0, 40) + "'";
          }
          ++received[i];
        }
        if (sent >= kMessages) std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int i = 0; i < kClients; ++i) {
    EXPECT_EQ(received[i], kMessages) << "client " << i;
    EXPECT_EQ(faults[i], "") << "client " << i;
  }
}

}  // namespace
}  // namespace qrn
