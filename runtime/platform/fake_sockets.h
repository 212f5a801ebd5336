// Scripted sockets for tests: the real POSIX sockets, except what a test scripts (a start
// that fails, connects that never finish, the machine's address list, name look-ups, a
// clock). Records starts, ends, connects and connect waits. Install it with
// ServiceScope<Sockets> scope(&fake).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/sockets.h"

namespace qrn {

class FakeSockets : public Sockets {
 public:
  struct Connect {
    uint32_t address;  // network order
    uint16_t port;     // network order
  };

  // Recorded
  int32_t starts = 0;
  int32_t ends = 0;
  std::vector<Connect> connects;
  std::vector<int32_t> connect_waits;  // the timeout of every connect wait, in ms

  // Scripted
  int32_t start_error = NET_OK;
  bool script_connect = false;           // connects do not reach the network:
  int32_t connect_error = NET_IN_PROGRESS;  //   what connect answers
  ConnectWait connect_outcome = ConnectWait::timed_out;  //   and how its wait ends
  int32_t connect_wait_error = NET_IN_PROGRESS;
  bool script_addresses = false;  // own_addresses answers `addresses` (or fails)
  bool addresses_fail = false;
  std::vector<uint32_t> addresses;  // network order
  std::map<std::string, uint32_t> names;  // look-ups answered here (network order)
  std::map<std::string, int32_t> name_errors;  // look-ups that fail with this error

  int32_t start() override;
  void end() override { ++ends; }
  int32_t connect(SocketHandle socket, uint32_t address, uint16_t port) override;
  ConnectWait wait_connect(SocketHandle socket, int32_t timeout_ms, int32_t& error) override;
  int32_t resolve(const char* name, uint32_t& address) override;
  bool own_addresses(std::vector<uint32_t>& list) override;
};

}  // namespace qrn
