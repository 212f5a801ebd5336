// Scripted sockets for tests (see fake_sockets.h).
#include "platform/fake_sockets.h"

namespace qrn {

int32_t FakeSockets::start() {
  ++starts;
  return start_error != NET_OK ? start_error : Sockets::start();
}

int32_t FakeSockets::connect(SocketHandle socket, uint32_t address, uint16_t port) {
  connects.push_back(Connect{address, port});
  return script_connect ? connect_error : Sockets::connect(socket, address, port);
}

ConnectWait FakeSockets::wait_connect(SocketHandle socket, int32_t timeout_ms, int32_t& error) {
  connect_waits.push_back(timeout_ms);
  if (!script_connect) return Sockets::wait_connect(socket, timeout_ms, error);
  error = connect_wait_error;
  return connect_outcome;
}

int32_t FakeSockets::resolve(const char* name, uint32_t& address) {
  std::string key = name ? name : "";
  auto failure = name_errors.find(key);
  if (failure != name_errors.end()) return failure->second;
  auto found = names.find(key);
  if (found == names.end()) return Sockets::resolve(name, address);
  address = found->second;
  return NET_OK;
}

bool FakeSockets::own_addresses(std::vector<uint32_t>& list) {
  if (!script_addresses) return Sockets::own_addresses(list);
  list = addresses;
  return !addresses_fail;
}

}  // namespace qrn
