// Sockets by slot number, on loopback against plain POSIX peers, and on the scripted
// sockets service for what loopback cannot produce (a start that fails, connects that never
// finish, the machine's address list).
#include <gtest/gtest.h>

#include <sys/socket.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "loopback_server.h"
#include "net/socket_slots.h"
#include "net/socket_slots_internal.h"
#include "platform/fake_sockets.h"

namespace qrn {
namespace {

using test::now_ms;

constexpr int32_t LOOPBACK = 0x7F000001;

// Every test starts the network once and ends it to the last start, closing what it left.
class SocketSlots : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(socket_start(), 1); }
  void TearDown() override {
    for (int i = 0; i < 16; ++i) socket_end();
  }

  // Receives until something arrives or timeout_ms pass; the last result.
  static int32_t receive_within(int32_t slot, RtString& text, int32_t max, int timeout_ms = 3000) {
    double deadline = now_ms() + timeout_ms;
    int32_t got;
    do {
      got = socket_receive(slot, text, max);
      if (got != -2) return got;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } while (now_ms() < deadline);
    return got;
  }
  static int32_t accept_within(int32_t listener, int32_t& address, int timeout_ms = 3000) {
    double deadline = now_ms() + timeout_ms;
    do {
      int32_t slot = tcp_accept(listener, address);
      if (slot >= 0) return slot;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } while (now_ms() < deadline);
    return -1;
  }
};

TEST_F(SocketSlots, TcpConnectionCarriesBytesBothWaysAndReportsTheClose) {
  int port = test::unused_port();
  int32_t listener = tcp_listen(port);
  ASSERT_GE(listener, 0);
  int32_t peer_address = 0;
  EXPECT_EQ(tcp_accept(listener, peer_address), -1);
  EXPECT_EQ(net_last_error(), NET_WOULD_BLOCK);

  int32_t client = tcp_connect("127.0.0.1", port, 2000);
  ASSERT_GE(client, 0);
  EXPECT_EQ(net_last_error(), 0);
  EXPECT_EQ(socket_remote_address(client), LOOPBACK);
  EXPECT_EQ(socket_remote_port(client), port);
  int32_t server = accept_within(listener, peer_address);
  ASSERT_GE(server, 0);
  EXPECT_EQ(peer_address, LOOPBACK);
  EXPECT_NE(socket_remote_port(server), 0);

  RtString text = "stale";
  EXPECT_EQ(socket_receive(server, text, 100), -2);  // nothing sent yet
  EXPECT_EQ(text, "");
  EXPECT_EQ(net_last_error(), NET_WOULD_BLOCK);

  RtString with_zero = text_from_bytes("a\0b", 3);
  EXPECT_EQ(socket_send(client, with_zero), 3);
  EXPECT_EQ(receive_within(server, text, 100), 3);
  EXPECT_EQ(text.length, 3u);
  EXPECT_EQ(std::string(text.data, 3), std::string("a\0b", 3));

  // A maximum length smaller than what waits takes only that much.
  EXPECT_EQ(socket_send(server, "0123456789"), 10);
  EXPECT_EQ(receive_within(client, text, 4), 4);
  EXPECT_EQ(text, "0123");
  EXPECT_EQ(receive_within(client, text, 100), 6);
  EXPECT_EQ(text, "456789");

  EXPECT_EQ(socket_send(client, ""), 0);
  EXPECT_EQ(socket_receive(client, text, 0), -1);  // no room to receive into
  EXPECT_EQ(net_last_error(), NET_INVALID_ARGUMENT);

  EXPECT_EQ(socket_close(client), 1);
  EXPECT_EQ(receive_within(server, text, 100), 0);  // the peer closed
  EXPECT_EQ(socket_close(client), 0);               // already free
  EXPECT_EQ(socket_send(client, "x"), -1);
}

TEST_F(SocketSlots, RefusedConnectGivesItsErrorNumberAndText) {
  int port = test::unused_port();
  EXPECT_EQ(tcp_connect("127.0.0.1", port, 2000), -1);
  EXPECT_EQ(net_last_error(), NET_REFUSED);
  std::string text = socket_error_text().data;
  EXPECT_EQ(text.rfind("10061 ", 0), 0u) << text;
  EXPECT_NE(text.find("refused"), std::string::npos) << text;
  // The refused connect left no slot taken.
  int32_t udp = udp_open(0);
  EXPECT_EQ(udp, 0);
}

TEST_F(SocketSlots, PeerThatResetsOrClosesMidSendEndsTheConnectionWithoutASignal) {
  test::LoopbackServer resetting([](int fd) { test::close_with_reset(fd); });
  int32_t slot = tcp_connect("127.0.0.1", resetting.port(), 2000);
  ASSERT_GE(slot, 0);
  RtString text;
  EXPECT_EQ(receive_within(slot, text, 100), 0);  // a reset reads as a closed connection
  EXPECT_EQ(text, "");
  socket_close(slot);

  // The peer reads a little and closes; sending on goes on until the send fails, and the
  // process is not killed by a broken pipe.
  test::LoopbackServer closing([](int fd) {
    char some[16];
    recv(fd, some, sizeof some, 0);
  });
  slot = tcp_connect("127.0.0.1", closing.port(), 2000);
  ASSERT_GE(slot, 0);
  RtString block(std::string(65536, 'x').c_str());
  int32_t result = 0;
  double deadline = now_ms() + 5000;
  while (now_ms() < deadline && (result = socket_send(slot, block)) > 0) {
  }
  EXPECT_EQ(result, -1);
  EXPECT_EQ(net_last_error(), NET_CONNECTION_RESET);
}

TEST_F(SocketSlots, UdpDatagramsAndTheirSenders) {
  int port = test::unused_port();
  int32_t receiver = udp_open(port);
  ASSERT_GE(receiver, 0);
  EXPECT_EQ(socket_remote_port(receiver), port);  // its local port until a datagram arrives
  int32_t sender = udp_open(0);                   // no port: bound by the first send
  ASSERT_GE(sender, 0);
  EXPECT_EQ(socket_send(sender, "no peer"), -1);
  EXPECT_EQ(udp_send(sender, "ping", 0, 0), -1);  // no peer
  EXPECT_EQ(udp_send(sender, "ping", LOOPBACK, port), 4);
  RtString text;
  EXPECT_EQ(receive_within(receiver, text, 100), 4);
  EXPECT_EQ(text, "ping");
  EXPECT_EQ(socket_remote_address(receiver), LOOPBACK);
  int32_t sender_port = socket_remote_port(receiver);
  EXPECT_NE(sender_port, 0);
  EXPECT_NE(sender_port, port);

  // Answer the sender at the port its first send picked.
  EXPECT_EQ(udp_send(receiver, "pong", socket_remote_address(receiver), sender_port), 4);
  EXPECT_EQ(receive_within(sender, text, 100), 4);
  EXPECT_EQ(text, "pong");
  EXPECT_EQ(socket_remote_port(sender), port);

  // A datagram longer than the maximum length is lost, and says so.
  EXPECT_EQ(udp_send(sender, "0123456789", LOOPBACK, port), 10);
  EXPECT_EQ(receive_within(receiver, text, 4), -1);
  EXPECT_EQ(net_last_error(), NET_MESSAGE_TOO_LONG);
  EXPECT_EQ(text, "");
  EXPECT_EQ(socket_receive(receiver, text, 100), -2);  // it was taken whole
}

TEST_F(SocketSlots, SlotsAreTakenLowestFirstUpToTheTableSize) {
  std::vector<int32_t> slots;
  for (int i = 0; i < SOCKET_SLOT_COUNT; ++i) {
    int32_t slot = udp_open(0);
    ASSERT_EQ(slot, i) << "error " << net_last_error();
    slots.push_back(slot);
  }
  EXPECT_EQ(udp_open(0), -1);  // the 1025th
  EXPECT_EQ(net_last_error(), NET_TABLE_FULL);
  EXPECT_EQ(tcp_listen(0), -1);
  EXPECT_EQ(net_last_error(), NET_TABLE_FULL);
  EXPECT_EQ(tcp_connect("127.0.0.1", test::unused_port(), 1000), -1);
  EXPECT_EQ(net_last_error(), NET_TABLE_FULL);
  EXPECT_EQ(socket_close(517), 1);
  EXPECT_EQ(socket_close(3), 1);
  EXPECT_EQ(udp_open(0), 3);
  EXPECT_EQ(udp_open(0), 517);

  // Numbers outside the table fail everywhere.
  RtString text;
  int32_t address;
  for (int32_t bad : {-1, SOCKET_SLOT_COUNT, 99999}) {
    EXPECT_EQ(socket_send(bad, "x"), -1);
    EXPECT_EQ(socket_receive(bad, text, 10), -1);
    EXPECT_EQ(tcp_accept(bad, address), -1);
    EXPECT_EQ(socket_close(bad), 0);
    EXPECT_EQ(socket_remote_address(bad), 0);
    EXPECT_EQ(socket_remote_port(bad), 0);
  }
}

TEST_F(SocketSlots, StartsAreCountedAndTheLastEndClosesEverySlot) {
  int32_t slot = udp_open(0);
  ASSERT_GE(slot, 0);
  ASSERT_EQ(socket_start(), 1);  // two starts now
  socket_end();
  EXPECT_EQ(udp_send(slot, "still open", LOOPBACK, 9), 10);
  socket_end();
  EXPECT_EQ(udp_send(slot, "closed", LOOPBACK, 9), -1);
  EXPECT_EQ(udp_open(0), 0);  // works again (sockets need no start on this platform)
}

TEST_F(SocketSlots, CloseOnOneThreadEndsABlockingReceiveOnAnother) {
  int port = test::unused_port();
  int32_t receiver = udp_open(port);
  ASSERT_GE(receiver, 0);
  socket_set_blocking(receiver, 1);
  std::atomic<int32_t> result{99};
  std::thread waiter([&] {
    RtString text;
    result = socket_receive(receiver, text, 100);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(result.load(), 99);  // still waiting
  EXPECT_EQ(socket_close(receiver), 1);
  waiter.join();  // would hang if the close did not reach the waiting call
  EXPECT_NE(result.load(), 99);
  // The slot is handed out again only now, with a new socket.
  EXPECT_EQ(udp_open(0), receiver);
}

TEST_F(SocketSlots, TwoThreadsOpeningSendingAndClosingShareTheTable) {
  int port = test::unused_port();
  int32_t receiver = udp_open(port);
  ASSERT_GE(receiver, 0);
  std::atomic<bool> stop{false};
  std::atomic<int> sent{0};
  std::thread churn([&] {
    while (!stop) {
      int32_t slot = udp_open(0);
      if (slot >= 0) {
        if (udp_send(slot, "x", LOOPBACK, port) == 1) ++sent;
        socket_close(slot);
      }
    }
  });
  RtString text;
  int received = 0;
  double deadline = now_ms() + 500;
  while (now_ms() < deadline) {
    int32_t slot = udp_open(0);
    ASSERT_GE(slot, 0);
    socket_close(slot);
    if (socket_receive(receiver, text, 10) == 1) ++received;
  }
  stop = true;
  churn.join();
  EXPECT_GT(sent.load(), 0);
  EXPECT_GT(received, 0);
}

TEST_F(SocketSlots, NamesAndAddressTexts) {
  EXPECT_EQ(ip_to_text(static_cast<int32_t>(0xC0A80001)), "192.168.0.1");
  EXPECT_EQ(ip_to_text(-1), "255.255.255.255");
  EXPECT_EQ(ip_to_text(0), "0.0.0.0");
  EXPECT_EQ(resolve_host("127.0.0.1"), LOOPBACK);
  EXPECT_EQ(resolve_host("10.1.2.3"), 0x0A010203);
  EXPECT_EQ(resolve_host("localhost"), LOOPBACK);
  EXPECT_EQ(resolve_host("0.0.0.0"), -1);  // address 0 is a failure
  EXPECT_EQ(resolve_host("no-such-host.invalid"), -1);
  EXPECT_GE(net_last_error(), NET_HOST_NOT_FOUND);
  EXPECT_EQ(tcp_connect("no-such-host.invalid", 80, 1000), -1);
  EXPECT_GE(net_last_error(), NET_HOST_NOT_FOUND);  // the look-up's error stays

  set_net_last_error(0);
  EXPECT_NE(socket_error_text(), "");
  EXPECT_EQ(std::string(socket_error_text().data).rfind("0 ", 0), 0u);
  set_net_last_error(12345);
  EXPECT_EQ(socket_error_text(), "");  // no text for that number
}

TEST_F(SocketSlots, ThisMachineInsideThePrivateNamespaceIsLoopback) {
  if (!test::in_private_namespace()) GTEST_SKIP() << "no private network namespace: the own address is a real one";
  EXPECT_EQ(own_ip_addresses(), "127.0.0.1");
  EXPECT_EQ(resolve_host(""), LOOPBACK);
}

// ---- On the scripted sockets ---------------------------------------------------------------

uint32_t net_order(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  uint8_t bytes[4] = {static_cast<uint8_t>(a), static_cast<uint8_t>(b), static_cast<uint8_t>(c),
                      static_cast<uint8_t>(d)};
  uint32_t value;
  std::memcpy(&value, bytes, 4);
  return value;
}

TEST(ScriptedSockets, AFailingStartCountsNothing) {
  FakeSockets fake;
  fake.start_error = 10091;
  ServiceScope<Sockets> scope(&fake);
  EXPECT_EQ(socket_start(), 0);
  EXPECT_EQ(net_last_error(), 10091);
  fake.start_error = NET_OK;
  EXPECT_EQ(socket_start(), 1);
  EXPECT_EQ(fake.starts, 2);
  socket_end();
  EXPECT_EQ(fake.ends, 1);  // one end closes the one start
}

TEST(ScriptedSockets, ConnectWaitsAreClampedAndATimeOutIsError10036) {
  FakeSockets fake;
  fake.script_connect = true;
  ServiceScope<Sockets> scope(&fake);
  for (int32_t timeout : {0, -5, 45000, 30001, 30000, 1, 5000}) {
    EXPECT_EQ(tcp_connect("127.0.0.1", 80, timeout), -1);
    EXPECT_EQ(net_last_error(), NET_IN_PROGRESS);
  }
  EXPECT_EQ(fake.connect_waits, (std::vector<int32_t>{30000, 30000, 30000, 30000, 30000, 1, 5000}));
  // The timed-out slots were closed: the table is empty again.
  EXPECT_EQ(udp_open(0), 0);
  socket_close(0);

  fake.connect_outcome = ConnectWait::failed;
  fake.connect_wait_error = NET_HOST_UNREACHABLE;
  EXPECT_EQ(tcp_connect("127.0.0.1", 80, 100), -1);
  EXPECT_EQ(net_last_error(), NET_HOST_UNREACHABLE);
  ASSERT_FALSE(fake.connects.empty());
  EXPECT_EQ(fake.connects.back().address, net_order(127, 0, 0, 1));
  EXPECT_EQ(fake.connects.back().port, net_order(0, 80, 0, 0) & 0xFFFF);
}

TEST(ScriptedSockets, OwnAddressesPutLoopbackLastAndStayWithin2047Characters) {
  FakeSockets fake;
  fake.script_addresses = true;
  fake.addresses = {net_order(127, 0, 0, 1), net_order(10, 0, 0, 5), net_order(192, 168, 1, 2)};
  ServiceScope<Sockets> scope(&fake);
  EXPECT_EQ(own_ip_addresses(), "10.0.0.5|192.168.1.2|127.0.0.1");
  EXPECT_EQ(resolve_host(""), 0x0A000005);  // the first that is not loopback
  int32_t count = 0;
  EXPECT_EQ(own_address_list("\n", count), "10.0.0.5\n192.168.1.2\n127.0.0.1\n");
  EXPECT_EQ(count, 3);

  // 16 characters an entry: 127 fit in 2047, the 128th would not, nor would loopback.
  fake.addresses.assign(200, net_order(100, 100, 100, 100));
  fake.addresses.push_back(net_order(127, 0, 0, 1));
  RtString list = own_address_list("|", count);
  EXPECT_EQ(count, 127);
  EXPECT_EQ(list.length, 127u * 16u);

  // No address, or no list at all: this machine is loopback.
  fake.addresses.clear();
  EXPECT_EQ(own_ip_addresses(), "");
  EXPECT_EQ(resolve_host(""), LOOPBACK);
  fake.addresses_fail = true;
  EXPECT_EQ(resolve_host(""), LOOPBACK);
  // And when even that look-up fails, "localhost.local" is the last try.
  fake.name_errors["127.0.0.1"] = NET_HOST_NOT_FOUND;
  fake.names["localhost.local"] = net_order(127, 0, 0, 9);
  EXPECT_EQ(resolve_host(""), 0x7F000009);
}

}  // namespace
}  // namespace qrn
