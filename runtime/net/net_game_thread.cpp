// The network game's thread: one pass after another it registers new local players, waits
// in poll() until a socket or the wake-up channel is ready, reads what arrived on the
// connection to the server and on every client connection (without waiting for the rest
// of a packet), accepts a new client, serves the requests, delivers messages and answers,
// and sends what the sockets take. A slow or silent connection delays nobody.
#include <string>
#include <vector>

#include "net/net_game_internal.h"
#include "net/socket_slots.h"
#include "net/socket_slots_internal.h"

namespace qrn {

namespace {

constexpr size_t kMaxClientConnections = 128;
constexpr int32_t kIdleWaitMs = 100;  // an idle pass still looks at unfinished packets this often
constexpr size_t kReadChunk = 16384;  // what one connection may deliver per pass

// Sends what the outbox holds until the socket takes no more. False when the connection is
// broken; progressed tells whether any byte went.
bool flush_outbox(int32_t slot, Outbox& out, bool& progressed) {
  while (out.waiting() > 0) {
    int32_t error;
    int64_t sent = send_some(slot, out.bytes.data() + out.sent, out.waiting(), error);
    if (sent < 0) return false;
    if (sent == 0) break;
    out.sent += static_cast<size_t>(sent);
    progressed = true;
  }
  if (out.waiting() == 0) {
    out.bytes.clear();
    out.sent = 0;
  } else if (out.sent >= 65536) {
    out.bytes.erase(0, out.sent);
    out.sent = 0;
  }
  return true;
}

NetPacket registration_packet(const NetPlayer& player) {
  NetPacket packet;
  packet.type = PACKET_REGISTER;
  packet.to = PLAYER_SERVER;
  packet.from = 0;
  packet.payload.assign(REGISTRATION_PAYLOAD_BYTES, '\0');
  char* payload = &packet.payload[0];
  payload[0] = payload[1] = payload[2] = payload[3] = static_cast<char>(0xFF);  // socket -1
  write_u16(payload + 4, PLAYER_UNREGISTERED);
  payload[6] = static_cast<char>(player.hidden);
  payload[7] = 0;
  for (size_t i = 0; i < PLAYER_NAME_BYTES - 1 && player.name[i]; ++i) payload[8 + i] = player.name[i];
  return packet;
}

}  // namespace

int32_t NetGame::client_receive(const char* bytes, size_t count) {
  client_input_.append(bytes, count);
  int32_t handled = 0;
  bool changed = false;
  NetPacket packet;
  for (;;) {
    PacketAssembler::Next next = client_input_.next(packet);
    if (next == PacketAssembler::Next::bad) {
      handled = -1;
      break;
    }
    if (next == PacketAssembler::Next::incomplete) break;
    if (deliver(packet)) changed = true;
    ++handled;
  }
  if (changed) changed_.notify_all();
  return handled;
}

bool NetGame::flush_link() {
  std::lock_guard<std::mutex> sending(send_lock_);
  if (link_slot_ < 0 || link_output_.waiting() == 0) return false;
  bool progressed = false;
  if (!flush_outbox(link_slot_, link_output_, progressed)) link_output_ = Outbox();
  return progressed;
}

void NetGame::flush_link_for(double ms) {
  Sockets& os = os_sockets();
  double deadline = os.now_ms() + ms;
  for (;;) {
    int32_t slot;
    {
      std::lock_guard<std::mutex> sending(send_lock_);
      if (link_slot_ < 0 || link_output_.waiting() == 0) return;
      slot = link_slot_;
    }
    flush_link();
    double left = deadline - os.now_ms();
    if (left <= 0) return;
    SlotWait wait;
    wait.slot = slot;
    wait.want_write = true;
    wait_slots(&wait, 1, nullptr, 0, static_cast<int32_t>(left < 50 ? left + 1 : 50));
  }
}

void NetGame::thread_main() {
  Sockets& os = os_sockets();
  std::vector<SlotWait> waits;
  std::vector<NetPacket> registrations;
  std::string chunk(kReadChunk, '\0');
  std::string server_chunk(kReadChunk, '\0');  // kept until the lock is taken below
  bool busy = true;
  lock.lock();
  for (;;) {
    if (stop_requested) {
      lock.unlock();
      flush_link_for(500);  // the remove packets of a shutdown still reach the host
      lock.lock();
      break;
    }

    // Registration: every new local player is announced to the server once.
    registrations.clear();
    for (NetPlayer& player : local_players) {
      if (player.id != PLAYER_UNREGISTERED) continue;
      registrations.push_back(registration_packet(player));
      player.id = PLAYER_REGISTERING;
    }
    const int32_t server = server_slot;
    const int32_t listener = listen_slot;
    const bool accepting = listener >= 0 && accept_players && connections.size() < kMaxClientConnections;
    lock.unlock();
    for (const NetPacket& packet : registrations) client_send(packet);
    if (!registrations.empty()) busy = true;

    // Wait until a socket is ready (at once after a busy pass).
    bool link_waiting;
    {
      std::lock_guard<std::mutex> sending(send_lock_);
      link_waiting = link_output_.waiting() > 0;
    }
    waits.clear();
    SlotWait entry;
    entry.slot = server;
    entry.want_read = true;
    entry.want_write = link_waiting;
    waits.push_back(entry);
    if (accepting) {
      entry = SlotWait();
      entry.slot = listener;
      entry.want_read = true;
      waits.push_back(entry);
    }
    const size_t first_connection = waits.size();
    const size_t connection_count = connections.size();
    for (const ClientConnection& connection : connections) {
      entry = SlotWait();
      entry.slot = connection.slot;
      entry.want_read = true;
      entry.want_write = connection.output.waiting() > 0;
      waits.push_back(entry);
    }
    SocketWait wakeup;
    wakeup.handle = wake_read_;
    wakeup.want_read = true;
    wait_slots(waits.data(), waits.size(), &wakeup, 1, busy ? 0 : kIdleWaitMs);
    if (wakeup.readable) os.drain(wake_read_);
    busy = false;
    const double now = os.now_ms();

    // The connection to the server.
    bool lost_server = false;
    int32_t server_bytes = 0;
    if (waits[0].readable || waits[0].failed) {
      server_bytes = receive(server, &server_chunk[0], static_cast<int32_t>(server_chunk.size()), false);
      if (server_bytes > 0) {
        busy = true;
      } else if (server_bytes != -2) {
        lost_server = true;
      }
    }
    if (link_waiting && flush_link()) busy = true;

    // A new client.
    if (accepting && waits[1].readable) {
      int32_t address = 0;
      int32_t slot = tcp_accept(listener, address);
      if (slot >= 0) {
        set_slot_no_delay(slot);
        ClientConnection connection;
        connection.slot = slot;
        connections.push_back(std::move(connection));
        busy = true;
      }
    }

    lock.lock();
    // Every client connection that has something: read one chunk and serve its packets.
    for (size_t i = 0; i < connection_count; ++i) {
      const SlotWait& ready = waits[first_connection + i];
      ClientConnection& connection = connections[i];
      if (ready.readable || ready.failed) {
        int32_t got = receive(connection.slot, &chunk[0], static_cast<int32_t>(chunk.size()), false);
        if (got > 0) {
          busy = true;
          bool was_partial = connection.input.partial();
          int32_t handled = server_receive(i, chunk.data(), static_cast<size_t>(got));
          if (handled < 0) {
            connections[i].drop = true;
          } else if (connections[i].input.partial() && (!was_partial || handled > 0)) {
            connections[i].partial_since = now;
          }
        } else if (got != -2) {
          connection.drop = true;  // closed, reset or failed
        }
      }
      ClientConnection& checked = connections[i];
      if (checked.input.partial() && now - checked.partial_since > limits.partial_packet_ms) checked.drop = true;
    }

    // What the server sent this program's players.
    if (server_bytes > 0 && client_receive(server_chunk.data(), static_cast<size_t>(server_bytes)) < 0) {
      lost_server = true;  // a host that breaks the wire format is left
    }

    for (size_t i = connections.size(); i-- > 0;) {
      if (connections[i].drop) drop_connection(i);
    }
    lock.unlock();

    // Send what the clients have waiting.
    for (ClientConnection& connection : connections) {
      if (connection.output.waiting() == 0) continue;
      bool progressed = false;
      if (!flush_outbox(connection.slot, connection.output, progressed)) connection.drop = true;
      if (progressed || connection.drop) busy = true;
    }

    lock.lock();
    if (lost_server) break;
  }
  leave();
  // Nothing of the game may be touched after this unlock: the program may destroy it.
  lock.unlock();
}

void NetGame::leave() {
  for (ClientConnection& connection : connections) close_slot(connection.slot);
  connections.clear();
  {
    std::lock_guard<std::mutex> sending(send_lock_);
    link_slot_ = -1;
    link_output_ = Outbox();
  }
  int32_t listener = listen_slot;
  int32_t server = server_slot;
  listen_slot = server_slot = -1;  // never closed twice: the numbers may be reused at once
  if (listener >= 0) close_slot(listener);
  if (server >= 0) close_slot(server);
  if (holds_net_start_) {
    holds_net_start_ = false;
    net_end();
  }
  stop_requested = 1;
  accept_players = 1;
  next_player_id = PLAYER_FIRST_ID;
  own_query_id = 0;
  running = 0;
  changed_.notify_all();
}

}  // namespace qrn
