// Network game: the client-server message system's state object, created by start-up and
// shut down with the runtime.
#pragma once

namespace qrn {

class NetGame {
 public:
  virtual ~NetGame() = default;
};

// The game object start-up stores in RuntimeState::network.
NetGame* create_net_game();
// Shutdown: ends any game, destroys RuntimeState::network and closes the socket layer.
void shutdown_network();

}  // namespace qrn
