// The network game's state object and its thread, for the commands, the tests (which run
// several games in one process) and the packet fuzzer.
//
// Threads: the program's thread runs the commands; the game's own thread does the network
// work. `lock` guards every field of the table below; the client connections and the
// connection to the server's incoming bytes belong to the thread alone. Everything sent on
// the connection to the server goes through one outbox under `send_lock`, so the bytes of
// the thread's and the commands' packets never interleave, and nobody waits on a full
// socket: the thread sends what is left when the socket takes more.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <vector>

#include "net/net_packets.h"
#include "platform/checked_mutex.h"
#include "platform/sockets.h"

namespace qrn {

struct NetPlayer {
  int32_t socket = -1;  // -1 for a local player; a server record: its client connection's slot
  uint16_t id = PLAYER_UNREGISTERED;
  uint8_t hidden = 0;
  uint8_t reserved = 0;
  char name[PLAYER_NAME_BYTES] = {};
  std::deque<NetPacket> messages;  // oldest first
  uint64_t serial = 0;             // which create call made this local player
};

// Bytes waiting to be sent on one connection.
struct Outbox {
  std::string bytes;
  size_t sent = 0;  // bytes of `bytes` already gone
  size_t waiting() const { return bytes.size() - sent; }
};

// One client connection of a host, owned by the network thread.
struct ClientConnection {
  int32_t slot = -1;
  PacketAssembler input{true};
  double partial_since = 0;  // when the unfinished packet began
  Outbox output;
  int32_t players = 0;  // server records registered over it
  bool drop = false;    // to be closed at the end of this pass
};

// Limits the host enforces (tests shorten them).
struct NetGameLimits {
  size_t outbox_bytes = size_t{1} << 20;   // unread answers a connection may pile up
  double partial_packet_ms = 30000;        // how long a packet may stay unfinished
  int32_t players_per_connection = 256;
  size_t replies_kept = 64;
  int32_t wait_polls = 250;                // answer waits: polls of 20 ms
};

class NetGame {
 public:
  NetGame();
  virtual ~NetGame();
  NetGame(const NetGame&) = delete;
  NetGame& operator=(const NetGame&) = delete;

  // ---- Fields ----------------------------------------------------------------------------
  uint16_t next_player_id = PLAYER_FIRST_ID;
  uint16_t own_query_id = 0;
  int32_t listen_slot = -1;
  int32_t server_slot = -1;
  std::list<NetPlayer> local_players;
  std::vector<NetPlayer> server_players;
  uint8_t is_host = 0;
  uint8_t stop_requested = 1;
  uint8_t running = 0;
  uint8_t accept_players = 1;
  CheckedMutex lock;
  std::vector<NetPacket> incoming;
  std::deque<NetPacket> replies;
  std::deque<uint16_t> left_players;

  NetGameLimits limits;

  // ---- Commands (the program's thread) ---------------------------------------------------
  int32_t host(int32_t port);
  int32_t join(const char* host_name, int32_t port);
  void end_game();
  bool is_running();
  void set_accept_players(bool flag);
  // name null: the hidden query player.
  int32_t create_player(const char* name);
  void remove_player(int32_t id);
  int32_t player_count();
  int32_t player_id(int32_t index);
  // The player's name; false when no answer came ("NO_DATA" is an answer).
  bool player_name(int32_t id, std::string& name);
  int32_t send_message(int32_t from, int32_t to, const char* bytes, size_t count);
  // The oldest message for a local player: true and its bytes and sender, or false.
  bool receive_message(int32_t player, std::string& text, uint16_t& sender);
  int32_t player_left();
  // The remove packets of shutdown: one for every local player with a real id.
  void remove_local_players();

  // ---- Server side as plain data (the thread; the fuzzer) --------------------------------
  // Feeds bytes that arrived on client connection `index`, handling each whole packet as
  // the server (with the lock held).
  // Returns the number of packets handled, or -1 when the connection broke the wire format.
  int32_t server_receive(size_t index, const char* bytes, size_t count);
  std::vector<ClientConnection> connections;
  // Feeds bytes that arrived from the server, delivering each whole packet to the local
  // players and the waiting commands (lock held): the packets handled, or -1 when the
  // server broke the wire format.
  int32_t client_receive(const char* bytes, size_t count);

 private:
  void reset_game();
  void clear_lists();
  bool start_thread();
  void abandon_start();  // the thread could not be started
  void fail_start();     // opening failed: all closed again, the error kept
  // The connection to the server becomes the link and the thread starts (false: it could
  // not, and the start is abandoned).
  bool start_link(int32_t server);
  void wake();
  // Queues a packet on the connection to the server and sends what the socket takes.
  bool client_send(const NetPacket& packet);
  // Sends a request from the query player and waits for the answer of the same type.
  bool query(uint8_t type, const std::string& request, NetPacket& answer);
  bool ensure_query_player();
  bool wait_until(const std::function<bool()>& done);

  // The server's handling of one packet from connection `index` (lock held).
  void serve(size_t index, NetPacket& packet);
  void queue(size_t index, const NetPacket& packet);
  void answer(size_t index, uint8_t type, uint16_t to, const std::string& payload);
  void forward(const NetPacket& packet, uint16_t to);
  void remove_records(size_t index, uint16_t id);
  void drop_connection(size_t index);  // lock held; closes and removes it
  bool owns_player(size_t index, uint16_t id) const;
  uint16_t allocate_player_id();
  // The client's handling of one packet from the server (lock held); true when it changed
  // something a command may wait for.
  bool deliver(NetPacket& packet);

  // The thread's passes and its leaving (see net_game_thread.cpp).
  void thread_main();
  void leave();
  // Sends what the connection to the server has waiting (send_lock taken here).
  bool flush_link();
  void flush_link_for(double ms);

  Condition changed_;  // replies, ids, messages or running changed
  SocketHandle wake_read_ = NO_SOCKET;
  SocketHandle wake_write_ = NO_SOCKET;
  bool holds_net_start_ = false;  // this game's one network start is open
  uint64_t next_serial_ = 1;

  // The connection to the server: its incoming bytes (thread) and outbox (send_lock).
  PacketAssembler client_input_{false};
  std::mutex send_lock_;
  int32_t link_slot_ = -1;  // server_slot as the senders see it (send_lock)
  Outbox link_output_;
};

}  // namespace qrn
