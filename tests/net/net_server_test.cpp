// The network game's wire format and the host's handling of packets, as plain data: bytes
// fed to a game's client connections without sockets, answers read back from their outboxes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/net_game_internal.h"
#include "net/net_packets.h"
#include "net_game_helpers.h"

namespace qrn {
namespace {

using test::raw_header;
using test::raw_packet;
using test::raw_registration;

std::vector<NetPacket> assemble(PacketAssembler& assembler, const std::string& bytes, size_t piece,
                                bool* bad = nullptr) {
  std::vector<NetPacket> packets;
  for (size_t at = 0; at < bytes.size(); at += piece) {
    assembler.append(bytes.data() + at, std::min(piece, bytes.size() - at));
    NetPacket packet;
    PacketAssembler::Next next;
    while ((next = assembler.next(packet)) == PacketAssembler::Next::packet) packets.push_back(packet);
    if (next == PacketAssembler::Next::bad) {
      if (bad) *bad = true;
      return packets;
    }
  }
  return packets;
}

TEST(WirePackets, PacketsComeWholeHoweverTheBytesArrive) {
  NetPacket a;
  a.type = 3;
  a.to = 0x1234;
  a.from = 0xABCD;
  a.payload = std::string("hi\0there", 8);
  NetPacket b;
  b.type = 104;
  std::string bytes;
  encode_packet(a, bytes);
  encode_packet(b, bytes);
  EXPECT_EQ(bytes.substr(0, 7), std::string("\x03\x08\x00\x34\x12\xCD\xAB", 7));  // little-endian
  for (size_t piece = 1; piece <= bytes.size(); ++piece) {
    PacketAssembler assembler(true);
    std::vector<NetPacket> got = assemble(assembler, bytes, piece);
    ASSERT_EQ(got.size(), 2u) << piece;
    EXPECT_EQ(got[0].payload, a.payload);
    EXPECT_EQ(got[0].to, 0x1234);
    EXPECT_EQ(got[0].from, 0xABCD);
    EXPECT_EQ(got[1].type, 104);
    EXPECT_FALSE(assembler.partial());
  }
  // A payload past the limit is cut when encoded.
  a.payload.assign(PACKET_PAYLOAD_MAX + 10, 'x');
  bytes.clear();
  encode_packet(a, bytes);
  EXPECT_EQ(bytes.size(), PACKET_HEADER_BYTES + PACKET_PAYLOAD_MAX);
}

TEST(WirePackets, ClaimedLengthsPastTheLimitAndOddRegistrationsBreakTheStream) {
  bool bad = false;
  PacketAssembler at_limit(true);
  EXPECT_EQ(assemble(at_limit, raw_packet(3, 1, 2, std::string(1024, 'p')), 100, &bad).size(), 1u);
  EXPECT_FALSE(bad);

  // Known bad from the header alone: nothing waits for (or keeps) the claimed payload.
  PacketAssembler past(true);
  EXPECT_TRUE(assemble(past, raw_header(3, 1025, 1, 2), 7, &bad).empty());
  EXPECT_TRUE(bad);
  for (uint16_t length : {0, 135, 137, 1024}) {
    bad = false;
    PacketAssembler server(true);
    assemble(server, raw_header(1, length, 0, 0), 7, &bad);
    EXPECT_TRUE(bad) << length;
    bad = false;
    PacketAssembler client(false);  // the registration rule is the server's
    assemble(client, raw_header(1, length, 0, 0), 7, &bad);
    EXPECT_FALSE(bad) << length;
  }
  bad = false;
  PacketAssembler registration(true);
  EXPECT_EQ(assemble(registration, raw_registration("x"), 5, &bad).size(), 1u);
  EXPECT_FALSE(bad);
}

// A host's server side with three client connections and no sockets.
class ServerLogic : public ::testing::Test {
 protected:
  void SetUp() override {
    game.is_host = 1;
    for (int32_t slot : {900, 901, 902}) {
      ClientConnection connection;
      connection.slot = slot;
      game.connections.push_back(std::move(connection));
    }
  }
  int32_t feed(size_t connection, const std::string& bytes) {
    game.lock.lock();
    int32_t handled = game.server_receive(connection, bytes.data(), bytes.size());
    game.lock.unlock();
    return handled;
  }
  // The packets waiting for a connection, taken out.
  std::vector<NetPacket> sent_to(size_t connection) {
    Outbox& out = game.connections[connection].output;
    PacketAssembler reader(false);
    std::vector<NetPacket> packets = assemble(reader, out.bytes.substr(out.sent), 1 << 20);
    out = Outbox();
    return packets;
  }
  uint16_t registered(size_t connection, const std::string& name, bool hidden = false) {
    feed(connection, raw_registration(name, hidden));
    std::vector<NetPacket> answers = sent_to(connection);
    if (answers.size() != 1 || answers[0].type != PACKET_REGISTERED || answers[0].from != 0) return 0;
    return answers[0].to;
  }
  NetGame game;
};

TEST_F(ServerLogic, RegistrationsGetIdsInOrderAndQueriesSeeOnlyVisiblePlayers) {
  EXPECT_EQ(registered(0, "query", true), 101);
  EXPECT_EQ(registered(0, std::string(200, 'n')), 102);  // name cut to 127 characters
  EXPECT_EQ(registered(1, "bob"), 103);

  feed(0, raw_packet(PACKET_COUNT, 0, 101, ""));
  std::vector<NetPacket> answers = sent_to(0);
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0].to, 101);
  EXPECT_EQ(answers[0].payload, std::string("\x02\x00", 2));  // the hidden player is not counted

  std::string ids;
  for (uint16_t index : {0, 1, 2, 0xFFFF}) {
    feed(0, raw_packet(PACKET_PLAYER_ID, 0, 101, std::string(reinterpret_cast<char*>(&index), 2)));
  }
  answers = sent_to(0);
  ASSERT_EQ(answers.size(), 4u);
  EXPECT_EQ(answers[0].payload, std::string("\x66\x00", 2));  // 102
  EXPECT_EQ(answers[1].payload, std::string("\x67\x00", 2));  // 103
  EXPECT_EQ(answers[2].payload, std::string("\x00\x00", 2));
  EXPECT_EQ(answers[3].payload, std::string("\x00\x00", 2));

  feed(1, raw_packet(PACKET_PLAYER_NAME, 0, 103, std::string("\x66\x00", 2)));
  feed(1, raw_packet(PACKET_PLAYER_NAME, 0, 103, std::string("\x99\x00", 2)));
  feed(1, raw_packet(PACKET_GREETING, 0, 0, ""));
  answers = sent_to(1);
  ASSERT_EQ(answers.size(), 3u);
  EXPECT_EQ(answers[0].payload, std::string(127, 'n'));
  EXPECT_EQ(answers[1].payload, "NO_DATA");
  EXPECT_EQ(answers[2].payload, std::string("\x01\x00", 2));

  // A count asked in another connection's name, or by nobody, gets no answer.
  feed(2, raw_packet(PACKET_COUNT, 0, 101, ""));
  feed(2, raw_packet(PACKET_COUNT, 0, 555, ""));
  EXPECT_TRUE(sent_to(2).empty());
  EXPECT_TRUE(sent_to(0).empty());
}

TEST_F(ServerLogic, MessagesAndRemovalsOnlyInTheNameOfTheConnectionsOwnPlayers) {
  uint16_t alice = registered(0, "alice");
  uint16_t query = registered(1, "query", true);
  uint16_t bob = registered(1, "bob");
  uint16_t carol = registered(2, "carol");

  // Broadcast: one copy for every visible player but the sender, addressed to it.
  feed(1, raw_packet(PACKET_MESSAGE, PLAYER_EVERYONE, bob, "all"));
  std::vector<NetPacket> to_alice = sent_to(0);
  std::vector<NetPacket> to_carol = sent_to(2);
  ASSERT_EQ(to_alice.size(), 1u);
  ASSERT_EQ(to_carol.size(), 1u);
  EXPECT_EQ(to_alice[0].to, alice);
  EXPECT_EQ(to_carol[0].to, carol);
  EXPECT_EQ(to_carol[0].from, bob);
  EXPECT_EQ(to_carol[0].payload, "all");
  EXPECT_TRUE(sent_to(1).empty());  // neither bob nor the hidden query player

  // Forged senders are dropped: speaking, counting or removing in another's name.
  feed(2, raw_packet(PACKET_MESSAGE, alice, bob, "forged"));
  feed(2, raw_packet(PACKET_MESSAGE, PLAYER_EVERYONE, query, "forged"));
  feed(2, raw_packet(PACKET_REMOVE, 0, alice, ""));
  EXPECT_TRUE(sent_to(0).empty());
  EXPECT_TRUE(sent_to(1).empty());
  EXPECT_EQ(game.server_players.size(), 4u);
  EXPECT_TRUE(game.left_players.empty());

  // Direct messages reach their player; unknown ids are dropped.
  feed(2, raw_packet(PACKET_MESSAGE, alice, carol, "direct"));
  feed(2, raw_packet(PACKET_MESSAGE, 4444, carol, "nobody"));
  to_alice = sent_to(0);
  ASSERT_EQ(to_alice.size(), 1u);
  EXPECT_EQ(to_alice[0].payload, "direct");

  // A removal in its own name works and is reported once.
  feed(1, raw_packet(PACKET_REMOVE, 0, bob, ""));
  feed(1, raw_packet(PACKET_REMOVE, 0, bob, ""));
  EXPECT_EQ(game.left_players, (std::deque<uint16_t>{bob}));
  EXPECT_EQ(game.server_players.size(), 3u);
}

TEST_F(ServerLogic, RegistrationLimitsAndIdsAfterTheLast) {
  game.limits.players_per_connection = 2;
  EXPECT_EQ(registered(0, "a"), 101);
  EXPECT_EQ(registered(0, "b"), 102);
  EXPECT_EQ(registered(0, "c"), 0);  // one past the connection's limit: no answer
  EXPECT_EQ(registered(1, "d"), 103);

  game.accept_players = 0;
  EXPECT_EQ(registered(2, "refused"), 0);
  game.accept_players = 1;

  // After the last id the lowest free ones come again.
  game.next_player_id = PLAYER_LAST_ID;
  EXPECT_EQ(registered(2, "last"), PLAYER_LAST_ID);
  EXPECT_EQ(registered(2, "wrapped"), 104);
}

TEST_F(ServerLogic, AnswersPilingUpPastTheLimitMarkTheConnectionForDropping) {
  game.limits.outbox_bytes = 100;
  uint16_t alice = registered(0, "alice");
  uint16_t bob = registered(1, "bob");
  std::string at_limit(100 - PACKET_HEADER_BYTES, 'm');
  feed(0, raw_packet(PACKET_MESSAGE, bob, alice, at_limit));
  EXPECT_FALSE(game.connections[1].drop);  // exactly the limit
  feed(0, raw_packet(PACKET_MESSAGE, bob, alice, "x"));
  EXPECT_TRUE(game.connections[1].drop);
  EXPECT_EQ(feed(2, raw_header(3, 2000, 0, 0)), -1);  // the wire format broken
}

}  // namespace
}  // namespace qrn
