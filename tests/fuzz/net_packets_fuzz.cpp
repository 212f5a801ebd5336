// Fuzz target: the network game's packet handling. The input is a script of chunks, each
// "<connection byte><length byte><bytes>", fed as bytes arriving from one of three client
// connections of a host (server side), or with connection byte 0xFF from the server to a
// client (client side). No sockets are used; the answers pile up in the outboxes and are
// checked to be whole packets.
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/net_game_internal.h"
#include "net/net_packets.h"

namespace {

void check_outbox(qrn::Outbox& out) {
  qrn::PacketAssembler reader(false);
  reader.append(out.bytes.data() + out.sent, out.waiting());
  qrn::NetPacket packet;
  qrn::PacketAssembler::Next next;
  while ((next = reader.next(packet)) == qrn::PacketAssembler::Next::packet) {
  }
  // The host only ever writes whole, well-formed packets.
  if (next == qrn::PacketAssembler::Next::bad || reader.partial()) __builtin_trap();
  out = qrn::Outbox();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qrn::NetGame game;
  game.is_host = 1;
  game.limits.outbox_bytes = 4096;
  const int32_t slots[3] = {1000, 1001, 1002};  // numbers no socket has: nothing is sent
  for (int32_t slot : slots) {
    qrn::ClientConnection connection;
    connection.slot = slot;
    game.connections.push_back(std::move(connection));
  }
  game.lock.lock();
  size_t at = 0;
  while (at + 2 <= size) {
    uint8_t target = data[at];
    size_t length = data[at + 1];
    at += 2;
    if (length > size - at) length = size - at;
    const char* bytes = reinterpret_cast<const char*>(data + at);
    at += length;
    if (target == 0xFF) {
      if (game.client_receive(bytes, length) < 0) break;  // the client leaves such a host
      continue;
    }
    size_t index = target % game.connections.size();
    int32_t handled = game.server_receive(index, bytes, length);
    for (qrn::ClientConnection& connection : game.connections) check_outbox(connection.output);
    if (handled < 0 || game.connections[index].drop) {
      // As the thread does: the connection goes, a fresh one takes its place.
      game.connections[index] = qrn::ClientConnection();
      game.connections[index].slot = slots[index];
      for (size_t i = 0; i < game.server_players.size();) {
        if (game.server_players[i].socket == slots[index]) {
          game.server_players.erase(game.server_players.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
          ++i;
        }
      }
    }
  }
  game.left_players.clear();
  game.lock.unlock();
  game.connections.clear();  // the fake slot numbers are not closed
  return 0;
}
