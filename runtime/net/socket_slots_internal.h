// The socket slot table's operations for the other network modules (downloads, the network
// game): counted starts, name look-up, connecting with a time limit, whole sends, receives,
// closing, and readiness waits over slots.
//
// The table is shared between threads: one lock guards it, and a slot in use by a call on
// another thread is closed by the last of them to finish, so a handle is never used after
// it was closed or reused.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/text_value.h"
#include "platform/sockets.h"

namespace qrn {

// A slot's address, laid out as the platform's IPv4 socket address (16 bytes): family 2,
// port and address in network order, 8 zero bytes.
struct SlotAddress {
  uint16_t family = 2;
  uint16_t port = 0;
  uint32_t address = 0;
  uint8_t zero[8] = {};
};
static_assert(sizeof(SlotAddress) == 16, "a slot address is a 16-byte IPv4 socket address");

struct SocketSlot {
  SocketHandle handle = NO_SOCKET;  // NO_SOCKET when the slot is free
  SlotAddress address;
  uint8_t is_udp = 0;
};

// An IPv4 address and port in network order.
struct NetPeer {
  uint32_t address = 0;
  uint16_t port = 0;
};

void set_net_last_error(int32_t error);

// Counted start and end of the socket library (see socket_start and socket_end).
int32_t net_start();
void net_end();

// The connect wait that a timeout stands for: 0, negative or above the maximum give the maximum.
int32_t connect_timeout_ms(int32_t timeout);

// name (null or "": this machine) and port -> address and port in network order; {0, 0}
// on failure with the look-up's error.
NetPeer resolve_address(const char* name, int32_t port);
// A connected TCP slot, or -1 (a time-out leaves error 10036).
int32_t connect_with_timeout(uint32_t address, uint16_t port, int32_t timeout);
// All length bytes on a TCP slot, or one datagram to peer on a UDP slot (which needs one):
// length, 0 for a length below 1, or -1.
int32_t send_all(int32_t slot, const void* bytes, int32_t length, const NetPeer* peer);
// One receive (wait_for_all false) or length bytes (true): the count; 0 when the peer
// closed or reset; -2 when nothing is waiting (before the first byte); -1 on error.
int32_t receive(int32_t slot, void* buffer, int32_t length, bool wait_for_all);
// Frees the slot and closes its socket; the close's error number (NET_OK when closed), or
// NET_NOT_A_SOCKET for a free slot.
int32_t close_slot(int32_t slot);
// The machine's addresses as dotted texts each followed by separator, 127.0.0.1 last, at
// most 2047 characters; count receives how many.
RtString own_address_list(const char* separator, int32_t& count);

// ---- For the network-game thread ------------------------------------------------------------
// What a slot wait watches and found.
struct SlotWait {
  int32_t slot = -1;
  bool want_read = false;
  bool want_write = false;
  bool readable = false;
  bool writable = false;
  bool failed = false;  // also: the slot is not open
};
// Waits until a slot or an extra handle is ready or timeout_ms pass; the ready count.
int32_t wait_slots(SlotWait* slots, size_t count, SocketWait* extra, size_t extra_count, int32_t timeout_ms);
// One non-blocking send of what the socket takes now: the bytes taken (0 when it takes none
// now), or -1 with error set.
int64_t send_some(int32_t slot, const void* bytes, size_t count, int32_t& error);
// Switches Nagle's delay off on a TCP slot.
void set_slot_no_delay(int32_t slot);

}  // namespace qrn
