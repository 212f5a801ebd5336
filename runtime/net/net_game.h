// Network game: a client-server message system for multiplayer programs. One program hosts
// a game on a TCP port (and joins it itself); others join by host name. Each program
// creates named players, sends text messages to one player or to every player, and reads
// the messages addressed to its own players. The network work runs on one background
// thread per program; the commands wait at most about 5 seconds for an answer.
//
// Limits: payloads of at most 1024 bytes (longer texts are cut); at most 128 client
// connections per host; ids 101..65279, handed out in order (after the last, the lowest
// free ones again). The host drops a connection that breaks the wire format, sends
// messages or removals in another connection's name, leaves a packet unfinished for 30 s,
// or lets 1 MB of answers pile up unread.
#pragma once

#include <cstdint>

#include "core/text_value.h"

namespace qrn {

constexpr int32_t NET_GAME_DEFAULT_PORT = 27910;

class NetGame;

// The game object start-up stores in RuntimeState::network.
NetGame* create_net_game();
// Shutdown: removes this program's players from the game, ends it, destroys
// RuntimeState::network and ends every network start still open (16 ends).
void shutdown_network();

// port < 1: 27910. 1 when hosting (this program is also a client of its own game).
int32_t net_host(int32_t port);
// 1 when joined and the host answered.
int32_t net_join(const RtString& host, int32_t port);
void net_end_game();
int32_t net_is_running();
// 0: the host takes no new connections and no new players.
void net_accept_players(int32_t flag);
// A new player of this program: its id, or 0 when the host gave none within about 5 s.
int32_t net_create_player(const RtString& name);
void net_remove_player(int32_t id);
// Visible (not hidden) players of the whole game; 0 on failure.
int32_t net_player_count();
// Id of the index-th visible player (from 0), 0 when none.
int32_t net_player_id(int32_t index);
// "NO_DATA" for an id no player has, or on failure.
RtString net_player_name(int32_t id);
// to 0: every player but the sender. 1 when the message was sent.
int32_t net_send_message(int32_t from, int32_t to, const RtString& text);
// The oldest message for a player of this program (its sender: net_message_sender), or "".
RtString net_receive_message(int32_t player);
int32_t net_message_sender();
// Host only: a player that left (its connection closed or it was removed), 0 when none.
int32_t net_player_left();

}  // namespace qrn
