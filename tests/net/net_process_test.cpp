// Host and joiner in separate processes, through the public commands: the test program runs
// itself a second time as the host (the HostRole test, which does nothing unless asked to).
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "loopback_server.h"
#include "net/net_game.h"
#include "platform/fake_sockets.h"

namespace qrn {
namespace {

using test::now_ms;

constexpr const char* kRoleVariable = "QRN_NET_HOST_ROLE";

// This machine is 127.0.0.1 to the games (the rest of the sockets is real).
struct LoopbackMachine {
  FakeSockets sockets;
  std::unique_ptr<ServiceScope<Sockets>> scope;
  LoopbackMachine() {
    sockets.script_addresses = true;
    sockets.addresses = {htonl(INADDR_LOOPBACK)};
    scope = std::make_unique<ServiceScope<Sockets>>(&sockets);
  }
};

RtString wait_message(int32_t player, double ms) {
  double deadline = now_ms() + ms;
  for (;;) {
    RtString text = net_receive_message(player);
    if (!text.empty() || now_ms() > deadline) return text;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// The host program: echoes every message to its sender, reports who left, ends after two
// players left or 20 s.
TEST(NetProcesses, HostRole) {
  const char* port_text = std::getenv(kRoleVariable);
  if (!port_text) GTEST_SKIP() << "run by HostAndJoinerInTwoProcesses";
  LoopbackMachine machine;
  int port = std::atoi(port_text);
  ASSERT_EQ(net_host(port), 1);
  int32_t me = net_create_player("host");
  std::printf("hosting %d\n", me);
  std::fflush(stdout);
  std::string left;
  int left_count = 0;
  double deadline = now_ms() + 20000;
  while (left_count < 2 && now_ms() < deadline) {
    RtString text = net_receive_message(me);
    if (!text.empty()) net_send_message(me, net_message_sender(), "echo:" + text);
    int32_t id = net_player_left();
    if (id) {
      left += (left.empty() ? "" : ",") + std::to_string(id);
      ++left_count;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::printf("left %s\n", left.c_str());
  net_end_game();
}

TEST(NetProcesses, HostAndJoinerInTwoProcesses) {
  if (std::getenv(kRoleVariable)) GTEST_SKIP();
  LoopbackMachine machine;
  int port = test::unused_port();
  std::string command = std::string(kRoleVariable) + "=" + std::to_string(port) +
                        " /proc/" + std::to_string(getpid()) + "/exe --gtest_filter=NetProcesses.HostRole 2>&1";
  FILE* host = popen(command.c_str(), "r");
  ASSERT_NE(host, nullptr);
  std::string output;
  char line[512];
  while (output.find("hosting") == std::string::npos && std::fgets(line, sizeof line, host)) output += line;
  ASSERT_NE(output.find("hosting 101"), std::string::npos) << output;

  ASSERT_EQ(net_join("127.0.0.1", port), 1);  // its query player is 102
  int32_t me = net_create_player("guest");
  EXPECT_EQ(me, 103);
  EXPECT_EQ(net_player_count(), 2);
  EXPECT_EQ(net_player_name(101), "host");
  ASSERT_EQ(net_send_message(me, 101, "hello"), 1);
  EXPECT_EQ(wait_message(me, 3000), "echo:hello");
  EXPECT_EQ(net_message_sender(), 101);
  net_end_game();
  EXPECT_EQ(net_is_running(), 0);

  while (std::fgets(line, sizeof line, host)) output += line;
  int status = pclose(host);
  EXPECT_EQ(status, 0) << output;
  EXPECT_NE(output.find("left 102,103"), std::string::npos) << output;
  shutdown_network();
}

}  // namespace
}  // namespace qrn
