// Network game: the commands (the program's thread), the game's set-up and reset, and the
// server's and client's handling of single packets as plain data (see net_game.h).
#include "net/net_game.h"

#include <cstring>
#include <thread>

#include "core/runtime_state.h"
#include "net/net_game_internal.h"
#include "net/socket_slots.h"
#include "net/socket_slots_internal.h"

namespace qrn {

namespace {

// Holds the game's lock for a scope. The lock is not recursive: a relock fails at once
// (and is a fault in this file), it never waits on itself.
class Hold {
 public:
  explicit Hold(CheckedMutex& mutex) : mutex_(mutex), held_(mutex.lock()) {}
  ~Hold() {
    if (held_) mutex_.unlock();
  }
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;

 private:
  CheckedMutex& mutex_;
  bool held_;
};

constexpr int32_t kConnectTimeoutMs = 5000;
constexpr double kPollMs = 20.0;

bool real_id(int32_t id) { return id >= 1 && id <= PLAYER_LAST_ID; }

void copy_name(char (&target)[PLAYER_NAME_BYTES], const char* name, size_t length) {
  if (length > PLAYER_NAME_BYTES - 1) length = PLAYER_NAME_BYTES - 1;
  std::memset(target, 0, PLAYER_NAME_BYTES);
  std::memcpy(target, name, length);
}

std::string u16_bytes(uint16_t value) {
  std::string bytes(2, '\0');
  write_u16(&bytes[0], value);
  return bytes;
}

// The first two payload bytes (missing ones read as 0).
uint16_t payload_u16(const std::string& payload) {
  char bytes[2] = {0, 0};
  for (size_t i = 0; i < 2 && i < payload.size(); ++i) bytes[i] = payload[i];
  return read_u16(bytes);
}

}  // namespace

NetGame::NetGame() {
  if (!os_sockets().open_wakeup(wake_read_, wake_write_)) wake_read_ = wake_write_ = NO_SOCKET;
}

NetGame::~NetGame() {
  reset_game();
  os_sockets().close_wakeup(wake_read_, wake_write_);
}

void NetGame::wake() {
  if (wake_write_ != NO_SOCKET) os_sockets().wake(wake_write_);
}

// ---- Set-up and reset -----------------------------------------------------------------------

void NetGame::reset_game() {
  int32_t listen = -1, server = -1;
  bool end_start = false;
  {
    Hold hold(lock);
    if (running) {
      stop_requested = 1;
      wake();
      while (running) changed_.wait_for(lock, 100);
    }
    listen = listen_slot;
    server = server_slot;
    listen_slot = server_slot = -1;
    end_start = holds_net_start_;
    holds_net_start_ = false;
    stop_requested = 1;
    running = 0;
    accept_players = 1;
    next_player_id = PLAYER_FIRST_ID;
    own_query_id = 0;
  }
  {
    std::lock_guard<std::mutex> sending(send_lock_);
    link_slot_ = -1;
    link_output_ = Outbox();
  }
  // The thread has ended: what it owned is the program thread's again.
  for (ClientConnection& connection : connections) close_slot(connection.slot);
  connections.clear();
  client_input_ = PacketAssembler(false);
  if (listen >= 0) close_slot(listen);
  if (server >= 0) close_slot(server);
  if (end_start) net_end();  // the game's one start, ended once
}

void NetGame::clear_lists() {
  Hold hold(lock);
  local_players.clear();
  server_players.clear();
  left_players.clear();
  incoming.clear();
  replies.clear();
  listen_slot = server_slot = -1;
}

bool NetGame::start_thread() {
  try {
    std::thread([this] { thread_main(); }).detach();
  } catch (...) {
    return false;
  }
  return true;
}

void NetGame::abandon_start() {
  {
    Hold hold(lock);
    running = 0;  // no thread runs to say so
  }
  reset_game();
}

void NetGame::fail_start() {
  // Closes what was opened and ends the start, keeping the error that stopped us.
  int32_t error = net_last_error();
  reset_game();
  set_net_last_error(error);
}

bool NetGame::start_link(int32_t server) {
  set_slot_no_delay(server);
  {
    std::lock_guard<std::mutex> sending(send_lock_);
    link_slot_ = server;
  }
  if (!start_thread()) {
    abandon_start();
    return false;
  }
  return true;
}

int32_t NetGame::host(int32_t port) {
  reset_game();
  clear_lists();
  if (port < 1) port = NET_GAME_DEFAULT_PORT;
  if (!net_start()) return 0;
  int32_t listen = tcp_listen(port);
  int32_t server = -1;
  if (listen >= 0) {
    NetPeer self = resolve_address("", port);
    server = connect_with_timeout(self.address, self.port, kConnectTimeoutMs);
  }
  bool ready = listen >= 0 && server >= 0;
  {
    Hold hold(lock);
    holds_net_start_ = true;
    listen_slot = listen;
    server_slot = server;
    if (ready) {
      is_host = 1;
      running = 1;
      stop_requested = 0;
    }
  }
  if (!ready) {
    fail_start();
    return 0;
  }
  return start_link(server) ? 1 : 0;
}

int32_t NetGame::join(const char* host_name, int32_t port) {
  reset_game();
  clear_lists();
  if (port < 1) port = NET_GAME_DEFAULT_PORT;
  if (!net_start()) return 0;
  NetPeer peer = resolve_address(host_name, port);
  int32_t server = peer.address != 0 ? connect_with_timeout(peer.address, peer.port, kConnectTimeoutMs) : -1;
  {
    Hold hold(lock);
    holds_net_start_ = true;
    server_slot = server;
    if (server >= 0) {
      is_host = 0;
      running = 1;
      stop_requested = 0;
    }
  }
  if (server < 0) {
    fail_start();
    return 0;
  }
  if (!start_link(server)) return 0;
  NetPacket answer;
  if (!ensure_query_player() || !query(PACKET_GREETING, std::string(), answer)) {
    reset_game();
    return 0;
  }
  return 1;
}

void NetGame::end_game() { reset_game(); }

bool NetGame::is_running() {
  Hold hold(lock);
  return running != 0;
}

void NetGame::set_accept_players(bool flag) {
  {
    Hold hold(lock);
    accept_players = flag ? 1 : 0;
  }
  wake();
}

// ---- Talking to the server ------------------------------------------------------------------

bool NetGame::client_send(const NetPacket& packet) {
  std::string bytes;
  encode_packet(packet, bytes);
  std::lock_guard<std::mutex> sending(send_lock_);
  if (link_slot_ < 0) return false;
  if (link_output_.waiting() + bytes.size() > limits.outbox_bytes) return false;
  link_output_.bytes += bytes;
  while (link_output_.waiting() > 0) {
    int32_t error;
    int64_t sent = send_some(link_slot_, link_output_.bytes.data() + link_output_.sent, link_output_.waiting(), error);
    if (sent < 0) return false;
    if (sent == 0) break;
    link_output_.sent += static_cast<size_t>(sent);
  }
  if (link_output_.waiting() == 0) {
    link_output_ = Outbox();
  } else {
    wake();  // the thread sends the rest when the socket takes it
  }
  return true;
}

bool NetGame::wait_until(const std::function<bool()>& done) {
  double left = limits.wait_polls * kPollMs;
  double start = os_sockets().now_ms();
  for (;;) {
    if (done()) return true;
    if (!running) return false;
    double remaining = left - (os_sockets().now_ms() - start);
    if (remaining <= 0) return false;
    changed_.wait_for(lock, remaining);
  }
}

bool NetGame::ensure_query_player() {
  {
    Hold hold(lock);
    if (own_query_id != 0) return true;
  }
  int32_t id = create_player(nullptr);
  if (id == 0) return false;
  Hold hold(lock);
  own_query_id = static_cast<uint16_t>(id);
  return true;
}

bool NetGame::query(uint8_t type, const std::string& request, NetPacket& answer) {
  if (!ensure_query_player()) return false;
  NetPacket packet;
  packet.type = type;
  packet.to = PLAYER_SERVER;
  packet.payload = request;
  {
    Hold hold(lock);
    replies.clear();
    packet.from = own_query_id;
  }
  if (!client_send(packet)) return false;
  Hold hold(lock);
  // Only an answer of the asked type counts: a late answer to an earlier query that timed
  // out is not taken for this one.
  return wait_until([&] {
    for (auto it = replies.begin(); it != replies.end(); ++it) {
      if (it->type == type) {
        answer = std::move(*it);
        replies.erase(it);
        return true;
      }
    }
    return false;
  });
}

// ---- Commands -------------------------------------------------------------------------------

int32_t NetGame::create_player(const char* name) {
  uint64_t serial;
  {
    Hold hold(lock);
    if (!running) return 0;
    local_players.emplace_back();
    NetPlayer& player = local_players.back();
    player.hidden = name ? 0 : 1;
    if (name) {
      copy_name(player.name, name, std::strlen(name));
    } else {
      copy_name(player.name, "query", 5);
    }
    player.serial = serial = next_serial_++;
  }
  wake();  // the thread sends the registration
  Hold hold(lock);
  auto find = [&] {
    for (auto it = local_players.begin(); it != local_players.end(); ++it) {
      if (it->serial == serial) return it;
    }
    return local_players.end();
  };
  bool registered = wait_until([&] {
    auto it = find();
    return it != local_players.end() && real_id(it->id);
  });
  auto it = find();
  if (registered) return it->id;
  if (it != local_players.end()) local_players.erase(it);
  return 0;
}

void NetGame::remove_player(int32_t id) {
  if (!real_id(id)) return;
  NetPacket packet;
  packet.type = PACKET_REMOVE;
  packet.to = PLAYER_SERVER;
  packet.from = static_cast<uint16_t>(id);
  client_send(packet);
}

void NetGame::remove_local_players() {
  std::vector<uint16_t> ids;
  {
    Hold hold(lock);
    for (const NetPlayer& player : local_players) {
      if (real_id(player.id)) ids.push_back(player.id);
    }
  }
  for (uint16_t id : ids) remove_player(id);
}

int32_t NetGame::player_count() {
  if (!is_running()) return 0;
  NetPacket answer;
  if (!query(PACKET_COUNT, std::string(), answer)) return 0;
  return static_cast<int16_t>(payload_u16(answer.payload));
}

int32_t NetGame::player_id(int32_t index) {
  if (!is_running()) return 0;
  NetPacket answer;
  if (!query(PACKET_PLAYER_ID, u16_bytes(static_cast<uint16_t>(index)), answer)) return 0;
  return payload_u16(answer.payload);
}

bool NetGame::player_name(int32_t id, std::string& name) {
  if (!is_running()) return false;
  NetPacket answer;
  if (!query(PACKET_PLAYER_NAME, u16_bytes(static_cast<uint16_t>(id)), answer)) return false;
  name = answer.payload;
  return true;
}

int32_t NetGame::send_message(int32_t from, int32_t to, const char* bytes, size_t count) {
  NetPacket packet;
  packet.type = PACKET_MESSAGE;
  packet.to = to == 0 ? PLAYER_EVERYONE : static_cast<uint16_t>(to);
  packet.from = static_cast<uint16_t>(from);
  packet.payload.assign(bytes, count < PACKET_PAYLOAD_MAX ? count : PACKET_PAYLOAD_MAX);
  return client_send(packet) ? 1 : 0;
}

bool NetGame::receive_message(int32_t player, std::string& text, uint16_t& sender) {
  Hold hold(lock);
  for (NetPlayer& local : local_players) {
    if (local.id != player) continue;
    if (local.messages.empty()) return false;
    sender = local.messages.front().from;
    text = std::move(local.messages.front().payload);
    local.messages.pop_front();
    return true;
  }
  return false;
}

int32_t NetGame::player_left() {
  Hold hold(lock);
  if (!is_host || left_players.empty()) return 0;
  uint16_t id = left_players.front();
  left_players.pop_front();
  return id;
}

// ---- The server's handling of packets -------------------------------------------------------

int32_t NetGame::server_receive(size_t index, const char* bytes, size_t count) {
  ClientConnection& connection = connections[index];
  connection.input.append(bytes, count);
  int32_t handled = 0;
  NetPacket packet;
  for (;;) {
    PacketAssembler::Next next = connections[index].input.next(packet);
    if (next == PacketAssembler::Next::bad) return -1;
    if (next == PacketAssembler::Next::incomplete) return handled;
    serve(index, packet);
    ++handled;
  }
}

bool NetGame::owns_player(size_t index, uint16_t id) const {
  int32_t slot = connections[index].slot;
  for (const NetPlayer& record : server_players) {
    if (record.id == id && record.socket == slot) return true;
  }
  return false;
}

uint16_t NetGame::allocate_player_id() {
  for (uint32_t tries = 0; tries <= PLAYER_LAST_ID; ++tries) {
    uint16_t id = next_player_id;
    next_player_id = id >= PLAYER_LAST_ID ? PLAYER_FIRST_ID : static_cast<uint16_t>(id + 1);
    if (id < PLAYER_FIRST_ID || id > PLAYER_LAST_ID) continue;
    bool taken = false;
    for (const NetPlayer& record : server_players) taken = taken || record.id == id;
    if (!taken) return id;
  }
  return 0;
}

void NetGame::queue(size_t index, const NetPacket& packet) {
  ClientConnection& connection = connections[index];
  encode_packet(packet, connection.output.bytes);
  // A client that does not read its answers may not make the host hold them for ever.
  if (connection.output.waiting() > limits.outbox_bytes) connection.drop = true;
}

void NetGame::answer(size_t index, uint8_t type, uint16_t to, const std::string& payload) {
  NetPacket reply;
  reply.type = type;
  reply.to = to;
  reply.from = PLAYER_SERVER;
  reply.payload = payload;
  queue(index, reply);
}

void NetGame::forward(const NetPacket& packet, uint16_t to) {
  int32_t slot = -1;
  for (const NetPlayer& record : server_players) {
    if (record.id == to) {
      slot = record.socket;
      break;
    }
  }
  if (slot < 0) return;  // nobody has that id: dropped
  for (size_t i = 0; i < connections.size(); ++i) {
    if (connections[i].slot != slot || connections[i].drop) continue;
    NetPacket copy = packet;
    copy.to = to;  // each copy is addressed to its recipient
    queue(i, copy);
    return;
  }
}

void NetGame::remove_records(size_t index, uint16_t id) {
  int32_t slot = connections[index].slot;
  for (size_t i = 0; i < server_players.size();) {
    if (server_players[i].id == id && server_players[i].socket == slot) {
      if (is_host) left_players.push_back(id);
      server_players.erase(server_players.begin() + static_cast<std::ptrdiff_t>(i));
      --connections[index].players;
    } else {
      ++i;
    }
  }
}

void NetGame::serve(size_t index, NetPacket& packet) {
  ClientConnection& connection = connections[index];
  switch (packet.type) {
    case PACKET_REGISTER: {
      packet.from = static_cast<uint16_t>(index);
      if (!accept_players || connection.players >= limits.players_per_connection) return;
      uint16_t id = allocate_player_id();
      if (id == 0) return;
      NetPlayer record;
      record.socket = connection.slot;
      record.id = id;
      record.hidden = static_cast<uint8_t>(packet.payload[6]);
      copy_name(record.name, packet.payload.data() + 8, strnlen(packet.payload.data() + 8, PLAYER_NAME_BYTES));
      server_players.push_back(std::move(record));
      ++connection.players;
      answer(index, PACKET_REGISTERED, id, std::string());
      return;
    }
    case PACKET_MESSAGE:
      // Only in the name of a player registered over this connection.
      if (!owns_player(index, packet.from)) return;
      if (packet.to == PLAYER_EVERYONE) {
        std::vector<uint16_t> recipients;
        for (const NetPlayer& record : server_players) {
          if (!record.hidden && record.id != packet.from) recipients.push_back(record.id);
        }
        for (uint16_t to : recipients) forward(packet, to);
      } else {
        forward(packet, packet.to);
      }
      return;
    case PACKET_REMOVE:
      if (owns_player(index, packet.from)) remove_records(index, packet.from);
      return;
    case PACKET_COUNT: {
      if (!owns_player(index, packet.from)) return;
      int32_t count = 0;
      for (const NetPlayer& record : server_players) {
        if (!record.hidden && record.id != 0 && record.id < 0xFF00) ++count;
      }
      answer(index, PACKET_COUNT, packet.from, u16_bytes(static_cast<uint16_t>(count)));
      return;
    }
    case PACKET_PLAYER_ID: {
      uint16_t wanted = payload_u16(packet.payload);
      uint16_t id = 0;
      uint32_t at = 0;
      for (const NetPlayer& record : server_players) {
        if (record.hidden) continue;
        if (at++ == wanted) {
          id = record.id;
          break;
        }
      }
      answer(index, PACKET_PLAYER_ID, packet.from, u16_bytes(id));
      return;
    }
    case PACKET_PLAYER_NAME: {
      uint16_t wanted = payload_u16(packet.payload);
      std::string name = "NO_DATA";
      for (const NetPlayer& record : server_players) {
        if (record.id == wanted) {
          name.assign(record.name, strnlen(record.name, PLAYER_NAME_BYTES));
          break;
        }
      }
      answer(index, PACKET_PLAYER_NAME, packet.from, name);
      return;
    }
    case PACKET_GREETING:
      answer(index, PACKET_GREETING, packet.from, u16_bytes(1));
      return;
    default:
      return;  // not a request the server knows
  }
}

void NetGame::drop_connection(size_t index) {
  int32_t slot = connections[index].slot;
  for (size_t i = 0; i < server_players.size();) {
    if (server_players[i].socket == slot) {
      if (is_host) left_players.push_back(server_players[i].id);
      server_players.erase(server_players.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
  close_slot(slot);
  if (index + 1 != connections.size()) connections[index] = std::move(connections.back());
  connections.pop_back();
}

// ---- The client's handling of packets from the server ---------------------------------------

bool NetGame::deliver(NetPacket& packet) {
  if (packet.type == PACKET_MESSAGE) {
    for (NetPlayer& player : local_players) {
      if (player.id == packet.to) {
        player.messages.push_back(std::move(packet));
        return true;
      }
    }
    return false;  // for nobody here
  }
  if (packet.from != PLAYER_SERVER) return false;
  if (packet.type == PACKET_REGISTERED) {
    for (NetPlayer& player : local_players) {
      if (player.id == PLAYER_REGISTERING) {
        player.id = packet.to;
        return true;
      }
    }
    return false;
  }
  if (packet.type >= 100) {
    replies.push_back(std::move(packet));
    while (replies.size() > limits.replies_kept) replies.pop_front();
    return true;
  }
  return false;
}

// ---- The commands ---------------------------------------------------------------------------

NetGame* create_net_game() { return new NetGame(); }

namespace {

NetGame& net_game() {
  RuntimeState& rt = g_runtime;
  if (!rt.network) rt.network = create_net_game();  // a program without start-up
  return *rt.network;
}

}  // namespace

void shutdown_network() {
  RuntimeState& rt = g_runtime;
  if (rt.network) {
    rt.network->remove_local_players();
    rt.network->end_game();
    delete rt.network;
    rt.network = nullptr;
  }
  // Undo every start the program left open; the last end closes every socket.
  for (int32_t i = 0; i < 16; ++i) net_end();
}

int32_t net_host(int32_t port) { return net_game().host(port); }
int32_t net_join(const RtString& host, int32_t port) { return net_game().join(host.data, port); }
void net_end_game() { net_game().end_game(); }
int32_t net_is_running() { return net_game().is_running() ? 1 : 0; }
void net_accept_players(int32_t flag) { net_game().set_accept_players(flag != 0); }
int32_t net_create_player(const RtString& name) { return net_game().create_player(name.data); }
void net_remove_player(int32_t id) { net_game().remove_player(id); }
int32_t net_player_count() { return net_game().player_count(); }
int32_t net_player_id(int32_t index) { return net_game().player_id(index); }

RtString net_player_name(int32_t id) {
  std::string name;
  if (!net_game().player_name(id, name)) return RtString("NO_DATA");
  return text_from_bytes(name.data(), static_cast<uint32_t>(name.size()));
}

int32_t net_send_message(int32_t from, int32_t to, const RtString& text) {
  return net_game().send_message(from, to, text.data, text.length);
}

RtString net_receive_message(int32_t player) {
  std::string text;
  uint16_t sender = 0;
  if (!net_game().receive_message(player, text, sender)) return RtString();
  g_runtime.last_message_sender = sender;
  return text_from_bytes(text.data(), static_cast<uint32_t>(text.size()));
}

int32_t net_message_sender() { return g_runtime.last_message_sender; }
int32_t net_player_left() { return net_game().player_left(); }

}  // namespace qrn
