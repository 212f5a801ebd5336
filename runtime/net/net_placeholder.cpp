// Network-game placeholders until the network module is built: an object with no game.
#include "core/runtime_state.h"
#include "net/net_game.h"

namespace qrn {

NetGame* create_net_game() { return new NetGame(); }

void shutdown_network() {
  delete g_runtime.network;
  g_runtime.network = nullptr;
}

}  // namespace qrn
