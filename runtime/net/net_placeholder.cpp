// Network-game placeholders until the network game is built: an object with no game.
#include "host/runtime_state.h"
#include "net/net_game.h"
#include "net/socket_slots_internal.h"

namespace qrn {

NetGame* create_net_game() { return new NetGame(); }

void shutdown_network() {
  delete g_runtime.network;
  g_runtime.network = nullptr;
  // Undo every start the program left open; the last end closes every socket.
  for (int32_t i = 0; i < 16; ++i) net_end();
}

}  // namespace qrn
