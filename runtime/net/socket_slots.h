// Sockets by slot number: TCP and UDP over IPv4 addressed by small integers (0..1023),
// non-blocking after creation, with name look-up and the machine's own addresses.
// Addresses cross these commands as 32-bit integers in host order (192.168.0.1 is
// 0xC0A80001); ports as 0..65535 (the low 16 bits count).
//
// Errors go to a network error number of their own (Winsock numbering: 10035 would block,
// 10036 in progress or connect time-out, 10054 reset, 10061 refused, 8 no free slot), read
// with socket_error_text. It is kept per thread, so the network-game thread never
// overwrites what a program's own call reported.
#pragma once

#include <cstdint>

#include "core/text_value.h"

namespace qrn {

constexpr int32_t SOCKET_SLOT_COUNT = 1024;
// Longest connect wait in milliseconds; 0, negative or longer timeouts mean this.
constexpr int32_t CONNECT_TIMEOUT_MAX_MS = 30000;
// The most bytes one socket_receive takes (larger maximum lengths are cut to this).
constexpr int32_t RECEIVE_MAX_BYTES = 1 << 20;
// A send that makes no progress for this long fails (error 10060).
constexpr int32_t SEND_STALL_LIMIT_MS = 30000;

// 1 when the network is usable, else 0. Starts are counted; each needs its socket_end.
int32_t socket_start();
// Ends one start; ending the last closes every socket slot still open.
void socket_end();
// "%d %s": the last network error number and the system's text for it; "" when the system
// has no text for the number.
RtString socket_error_text();
// The last network error number of the calling thread.
int32_t net_last_error();
// The machine's IPv4 addresses as dotted texts separated by "|", 127.0.0.1 last.
RtString own_ip_addresses();
// The first address of a host name or dotted text; the empty name is this machine's first
// address that is not 127.0.0.1 (or 127.0.0.1). -1 on failure.
int32_t resolve_host(const RtString& name);
// "%d.%d.%d.%d", most significant octet first.
RtString ip_to_text(int32_t address);

// A listening TCP socket on every local address; slot or -1.
int32_t tcp_listen(int32_t port);
// A TCP connection (timeout in ms for the connect); slot or -1.
int32_t tcp_connect(const RtString& host, int32_t port, int32_t timeout);
// A pending connection of a listening slot; the new slot or -1 (none waiting: error 10035).
int32_t tcp_accept(int32_t listening_slot, int32_t& address);
// A UDP socket; port 0 binds when the first datagram is sent. Broadcasts are allowed.
int32_t udp_open(int32_t port);
// Sends every byte of the text on a TCP slot; the byte count, or -1.
int32_t socket_send(int32_t slot, const RtString& text);
// Sends the text as one datagram on a UDP slot; the byte count, or -1.
int32_t udp_send(int32_t slot, const RtString& text, int32_t address, int32_t port);
// What is waiting, up to maximum_length bytes (at most RECEIVE_MAX_BYTES): the byte count;
// 0 when the peer closed or reset the connection; -1 on error (a datagram longer than
// maximum_length is lost with error 10040); -2 when nothing is waiting. text holds exactly
// the bytes received, or is empty.
int32_t socket_receive(int32_t slot, RtString& text, int32_t maximum_length);
// The slot's address: the peer of a connection, the sender of the last datagram a UDP slot
// received (its local port before that). 0 for a free slot.
int32_t socket_remote_address(int32_t slot);
int32_t socket_remote_port(int32_t slot);
// 1 when the socket was closed, else 0.
int32_t socket_close(int32_t slot);
// Non-zero: calls on the slot wait; 0: they return at once (the default).
void socket_set_blocking(int32_t slot, int32_t blocking);

}  // namespace qrn
