// Sockets by slot number: the process-wide slot table, the counted starts of the socket
// library, and every socket command and operation over the platform's sockets service.
//
// One mutex guards the table. Calls take a slot (its handle and a use count) under the lock
// and talk to the platform outside it, so a call that waits never holds up the other thread.
// A slot closed while a call on another thread still uses its handle is closed by the last
// user; until then the slot number is not handed out again.
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "net/socket_slots.h"
#include "net/socket_slots_internal.h"

namespace qrn {

namespace {

struct SlotEntry {
  SocketSlot slot;
  int32_t users = 0;                 // calls using the handle right now
  bool reserved = false;             // taken, its socket being created
  SocketHandle closing = NO_SOCKET;  // closed while in use: the last user closes it
};

struct SocketTable {
  std::mutex lock;
  SlotEntry entries[SOCKET_SLOT_COUNT];
  std::mutex send_locks[SOCKET_SLOT_COUNT];  // one whole send at a time per slot
  int32_t start_count = 0;
};

// Never destroyed: a detached network thread or an exit handler may still use it.
SocketTable& table() {
  static auto* shared = new SocketTable;
  return *shared;
}

thread_local int32_t t_last_error = NET_OK;

bool valid_index(int32_t slot) { return slot >= 0 && slot < SOCKET_SLOT_COUNT; }

constexpr uint32_t LOOPBACK_HOST_ORDER = 0x7F000001u;

// Host-order values as they sit in a socket address (most significant byte first), and back.
uint32_t to_net32(uint32_t value) {
  uint8_t bytes[4] = {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                      static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
  uint32_t result;
  std::memcpy(&result, bytes, 4);
  return result;
}
uint32_t from_net32(uint32_t value) {
  uint8_t bytes[4];
  std::memcpy(bytes, &value, 4);
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) | bytes[3];
}
uint16_t to_net16(uint32_t value) {
  uint8_t bytes[2] = {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
  uint16_t result;
  std::memcpy(&result, bytes, 2);
  return result;
}
uint16_t from_net16(uint16_t value) {
  uint8_t bytes[2];
  std::memcpy(bytes, &value, 2);
  return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
}

SlotAddress make_slot_address(uint32_t address, uint16_t port) {
  SlotAddress result;
  result.address = address;
  result.port = port;
  return result;
}

// The lowest free slot, reserved for the caller; -1 when the table is full.
int32_t reserve_slot() {
  SocketTable& t = table();
  std::lock_guard<std::mutex> hold(t.lock);
  for (int32_t i = 0; i < SOCKET_SLOT_COUNT; ++i) {
    SlotEntry& e = t.entries[i];
    if (e.slot.handle == NO_SOCKET && !e.reserved && e.users == 0 && e.closing == NO_SOCKET) {
      e.reserved = true;
      return i;
    }
  }
  return -1;
}

void unreserve_slot(int32_t slot) {
  SocketTable& t = table();
  std::lock_guard<std::mutex> hold(t.lock);
  t.entries[slot].reserved = false;
}

void fill_slot(int32_t slot, SocketHandle handle, const SlotAddress& address, bool udp) {
  SocketTable& t = table();
  std::lock_guard<std::mutex> hold(t.lock);
  SlotEntry& e = t.entries[slot];
  e.slot.handle = handle;
  e.slot.address = address;
  e.slot.is_udp = udp ? 1 : 0;
  e.reserved = false;
}

// Marks the handle in use; NO_SOCKET for a free slot or a number outside the table.
SocketHandle acquire_handle(int32_t slot, SocketSlot* copy = nullptr) {
  if (!valid_index(slot)) return NO_SOCKET;
  SocketTable& t = table();
  std::lock_guard<std::mutex> hold(t.lock);
  SlotEntry& e = t.entries[slot];
  if (e.slot.handle == NO_SOCKET) return NO_SOCKET;
  ++e.users;
  if (copy) *copy = e.slot;
  return e.slot.handle;
}

void release_handle(int32_t slot) {
  SocketHandle to_close = NO_SOCKET;
  {
    SocketTable& t = table();
    std::lock_guard<std::mutex> hold(t.lock);
    SlotEntry& e = t.entries[slot];
    if (--e.users == 0 && e.closing != NO_SOCKET) {
      to_close = e.closing;
      e.closing = NO_SOCKET;
    }
  }
  if (to_close != NO_SOCKET) os_sockets().close(to_close);
}

// A slot's handle for the length of one call.
class SlotUse {
 public:
  explicit SlotUse(int32_t slot) : slot_(slot), handle_(acquire_handle(slot, &copy_)) {}
  ~SlotUse() {
    if (handle_ != NO_SOCKET) release_handle(slot_);
  }
  SlotUse(const SlotUse&) = delete;
  SlotUse& operator=(const SlotUse&) = delete;
  bool open() const { return handle_ != NO_SOCKET; }
  SocketHandle handle() const { return handle_; }
  bool is_udp() const { return copy_.is_udp != 0; }
  const SocketSlot& entry() const { return copy_; }

 private:
  int32_t slot_;
  SocketSlot copy_;
  SocketHandle handle_;
};

// Stores the address of a slot that still holds handle.
void store_address(int32_t slot, SocketHandle handle, const SlotAddress& address) {
  SocketTable& t = table();
  std::lock_guard<std::mutex> hold(t.lock);
  if (t.entries[slot].slot.handle == handle) t.entries[slot].slot.address = address;
}

// Waits for a socket to take data or hold some; false when the wait itself failed.
bool wait_handle(SocketHandle handle, bool write, int32_t timeout_ms) {
  SocketWait entry;
  entry.handle = handle;
  entry.want_read = !write;
  entry.want_write = write;
  return os_sockets().wait(&entry, 1, timeout_ms) >= 0;
}

int32_t stall_left_ms(double last_progress) {
  double left = SEND_STALL_LIMIT_MS - (os_sockets().now_ms() - last_progress);
  return left <= 0 ? 0 : static_cast<int32_t>(left + 0.999);
}

RtString dotted(uint32_t host_order) {
  char text[20];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", (host_order >> 24) & 255u, (host_order >> 16) & 255u,
                (host_order >> 8) & 255u, host_order & 255u);
  return RtString(text);
}

}  // namespace

// ---- Errors -------------------------------------------------------------------------------------

void set_net_last_error(int32_t error) { t_last_error = error; }
int32_t net_last_error() { return t_last_error; }

RtString socket_error_text() {
  int32_t code = t_last_error;
  std::string message = os_sockets().error_message(code);
  if (message.empty()) return RtString();
  return RtString(std::to_string(code).c_str()) + " " + message.c_str();
}

// ---- Starting and ending ------------------------------------------------------------------------

int32_t net_start() {
  SocketTable& t = table();
  std::lock_guard<std::mutex> hold(t.lock);
  if (t.start_count == 0) {
    int32_t error = os_sockets().start();
    if (error != NET_OK) {
      t_last_error = error;
      return 0;
    }
  }
  ++t.start_count;
  t_last_error = NET_OK;
  return 1;
}

void net_end() {
  SocketTable& t = table();
  std::vector<int32_t> open_slots;
  {
    std::lock_guard<std::mutex> hold(t.lock);
    if (--t.start_count > 0) return;
    t.start_count = 0;
    for (int32_t i = 0; i < SOCKET_SLOT_COUNT; ++i) {
      if (t.entries[i].slot.handle != NO_SOCKET) open_slots.push_back(i);
    }
  }
  for (int32_t slot : open_slots) close_slot(slot);
  os_sockets().end();
}

int32_t socket_start() { return net_start(); }
void socket_end() { net_end(); }

// ---- Closing ------------------------------------------------------------------------------------

int32_t close_slot(int32_t slot) {
  if (!valid_index(slot)) return t_last_error = NET_NOT_A_SOCKET;
  SocketTable& t = table();
  SocketHandle handle;
  {
    std::lock_guard<std::mutex> hold(t.lock);
    SlotEntry& e = t.entries[slot];
    handle = e.slot.handle;
    if (handle == NO_SOCKET) return t_last_error = NET_NOT_A_SOCKET;
    e.slot.handle = NO_SOCKET;  // free first: nothing new starts on it
    ++e.users;                   // but keep the handle until this close is through
  }
  Sockets& os = os_sockets();
  os.set_linger_off(handle);
  os.shutdown_both(handle);  // wakes any call still waiting on it
  bool last = false;
  {
    std::lock_guard<std::mutex> hold(t.lock);
    SlotEntry& e = t.entries[slot];
    last = --e.users == 0;
    if (!last) e.closing = handle;
  }
  int32_t result = last ? os.close(handle) : NET_OK;
  t_last_error = result;
  return result;
}

int32_t socket_close(int32_t slot) { return close_slot(slot) == NET_OK ? 1 : 0; }

// ---- Names --------------------------------------------------------------------------------------

RtString own_address_list(const char* separator, int32_t& count) {
  count = 0;
  RtString text;
  std::vector<uint32_t> addresses;
  if (!os_sockets().own_addresses(addresses)) return text;
  size_t separator_length = std::strlen(separator);
  bool had_loopback = false;
  auto append = [&](uint32_t host_order) {
    RtString entry = dotted(host_order);
    if (text.length + entry.length + separator_length > 2047) return false;
    text.append(entry);
    text.append(separator);
    ++count;
    return true;
  };
  for (uint32_t address : addresses) {
    uint32_t host_order = from_net32(address);
    if (host_order == LOOPBACK_HOST_ORDER) {
      had_loopback = true;
      continue;
    }
    if (!append(host_order)) return text;
  }
  if (had_loopback) append(LOOPBACK_HOST_ORDER);
  return text;
}

RtString own_ip_addresses() {
  if (!net_start()) return RtString();
  int32_t count = 0;
  RtString text = own_address_list("|", count);
  net_end();
  if (text.length > 0) text.truncate_text(text.length - 1);  // the trailing "|"
  return text;
}

NetPeer resolve_address(const char* name, int32_t port) {
  Sockets& os = os_sockets();
  NetPeer peer;
  uint32_t address = 0;
  int32_t error;
  if (name && *name) {
    error = os.resolve(name, address);
  } else {
    int32_t count = 0;
    RtString list = own_address_list("\n", count);
    error = NET_HOST_NOT_FOUND;
    if (count > 0) {
      const char* end = std::strchr(list.data, '\n');
      std::string first(list.data, end ? static_cast<size_t>(end - list.data) : list.length);
      error = os.resolve(first.c_str(), address);
    }
    if (error != NET_OK) error = os.resolve("127.0.0.1", address);
    if (error != NET_OK) error = os.resolve("localhost.local", address);
  }
  t_last_error = error;
  if (error != NET_OK) return peer;
  peer.address = address;
  peer.port = to_net16(static_cast<uint32_t>(port) & 0xFFFFu);
  return peer;
}

int32_t resolve_host(const RtString& name) {
  NetPeer peer = resolve_address(name.data, 0);
  if (peer.address == 0) return -1;
  return static_cast<int32_t>(from_net32(peer.address));
}

RtString ip_to_text(int32_t address) { return dotted(static_cast<uint32_t>(address)); }

// ---- Opening ------------------------------------------------------------------------------------

namespace {

// A socket of the kind bound to the port on every address (port 0: left unbound when
// bind_zero is false), with reuse of the address, in a reserved slot; then listening for
// TCP. On failure the socket is closed, the slot given back and -1 returned with the error.
int32_t open_bound(SocketKind kind, uint16_t port_n, bool bind_zero, SocketHandle& handle) {
  Sockets& os = os_sockets();
  int32_t slot = reserve_slot();
  if (slot < 0) {
    t_last_error = NET_TABLE_FULL;
    return -1;
  }
  int32_t error;
  handle = os.open(kind, error);
  if (handle == NO_SOCKET) {
    unreserve_slot(slot);
    t_last_error = error;
    return -1;
  }
  os.set_reuse_address(handle);
  error = NET_OK;
  if (port_n != 0 || bind_zero) error = os.bind(handle, 0, port_n);
  if (error == NET_OK && kind == SocketKind::tcp) error = os.listen(handle, 10);
  if (error != NET_OK) {
    os.close(handle);
    unreserve_slot(slot);
    t_last_error = error;
    return -1;
  }
  return slot;
}

}  // namespace

int32_t tcp_listen(int32_t port) {
  const uint16_t port_n = to_net16(static_cast<uint32_t>(port) & 0xFFFFu);
  SocketHandle handle = NO_SOCKET;
  const int32_t slot = open_bound(SocketKind::tcp, port_n, true, handle);
  if (slot < 0) return -1;
  fill_slot(slot, handle, make_slot_address(0, port_n), false);
  t_last_error = os_sockets().set_blocking(handle, false);
  return slot;
}

int32_t connect_timeout_ms(int32_t timeout) {
  return timeout <= 0 || timeout > CONNECT_TIMEOUT_MAX_MS ? CONNECT_TIMEOUT_MAX_MS : timeout;
}

int32_t connect_with_timeout(uint32_t address, uint16_t port, int32_t timeout) {
  if (address == 0 && port == 0) return -1;
  Sockets& os = os_sockets();
  int32_t slot = reserve_slot();
  if (slot < 0) {
    t_last_error = NET_TABLE_FULL;
    return -1;
  }
  int32_t error;
  SocketHandle handle = os.open(SocketKind::tcp, error);
  if (handle == NO_SOCKET) {
    unreserve_slot(slot);
    t_last_error = error;
    return -1;
  }
  fill_slot(slot, handle, make_slot_address(address, port), false);
  os.set_blocking(handle, false);
  error = os.connect(handle, address, port);
  if (error == NET_WOULD_BLOCK || error == NET_IN_PROGRESS) {
    switch (os.wait_connect(handle, connect_timeout_ms(timeout), error)) {
      case ConnectWait::connected:
        error = NET_OK;
        break;
      case ConnectWait::timed_out:
        error = NET_IN_PROGRESS;
        break;
      case ConnectWait::failed:
        if (error == NET_OK) error = NET_REFUSED;
        break;
    }
  }
  if (error != NET_OK) {
    close_slot(slot);
    t_last_error = error;  // why the connect failed, not how the close went
    return -1;
  }
  os.set_blocking(handle, true);
  t_last_error = os.set_blocking(handle, false);
  return slot;
}

int32_t tcp_connect(const RtString& host, int32_t port, int32_t timeout) {
  NetPeer peer = resolve_address(host.data, port);
  return connect_with_timeout(peer.address, peer.port, timeout);
}

int32_t tcp_accept(int32_t listening_slot, int32_t& address) {
  Sockets& os = os_sockets();
  SlotUse listener(listening_slot);
  if (!listener.open()) {
    t_last_error = NET_NOT_A_SOCKET;
    return -1;
  }
  if (listener.is_udp()) {
    t_last_error = NET_OK;
    return -1;
  }
  uint32_t peer_address = 0;
  uint16_t peer_port = 0;
  int32_t error;
  SocketHandle handle = os.accept(listener.handle(), peer_address, peer_port, error);
  if (handle == NO_SOCKET) {
    t_last_error = error;
    return -1;
  }
  int32_t slot = reserve_slot();
  if (slot < 0) {
    os.close(handle);
    t_last_error = NET_TABLE_FULL;
    return -1;
  }
  fill_slot(slot, handle, make_slot_address(peer_address, peer_port), false);
  t_last_error = os.set_blocking(handle, false);
  address = static_cast<int32_t>(from_net32(peer_address));
  return slot;
}

int32_t udp_open(int32_t port) {
  Sockets& os = os_sockets();
  const uint16_t port_n = to_net16(static_cast<uint32_t>(port) & 0xFFFFu);
  SocketHandle handle = NO_SOCKET;
  const int32_t slot = open_bound(SocketKind::udp, port_n, false, handle);
  if (slot < 0) return -1;
  if (os.set_broadcast(handle, 4) != NET_OK) os.set_broadcast(handle, 1);
  fill_slot(slot, handle, make_slot_address(0, port_n), true);
  t_last_error = os.set_blocking(handle, false);
  return slot;
}

// ---- Sending ------------------------------------------------------------------------------------

int32_t send_all(int32_t slot, const void* bytes, int32_t length, const NetPeer* peer) {
  SlotUse use(slot);
  if (!use.open()) {
    t_last_error = NET_NOT_A_SOCKET;
    return -1;
  }
  if (length <= 0) return 0;
  if (use.is_udp() && (!peer || (peer->address == 0 && peer->port == 0))) {
    t_last_error = NET_NO_DESTINATION;
    return -1;
  }
  Sockets& os = os_sockets();
  std::lock_guard<std::mutex> whole(table().send_locks[slot]);
  const char* at = static_cast<const char*>(bytes);
  int64_t left = length;
  double last_progress = os.now_ms();
  while (left > 0) {
    int32_t error;
    int64_t sent = use.is_udp() ? os.send_to(use.handle(), at, static_cast<size_t>(left), peer->address,
                                             peer->port, error)
                                : os.send(use.handle(), at, static_cast<size_t>(left), error);
    if (sent > 0) {
      if (use.is_udp()) break;  // a datagram goes whole or not at all
      at += sent;
      left -= sent;
      last_progress = os.now_ms();
      continue;
    }
    if (sent < 0 && error != NET_WOULD_BLOCK) {
      t_last_error = error;
      return -1;
    }
    // The send buffer is full: wait until it takes more, but not for ever.
    int32_t wait_ms = stall_left_ms(last_progress);
    if (wait_ms == 0) {
      t_last_error = NET_TIMED_OUT;
      return -1;
    }
    wait_handle(use.handle(), true, wait_ms < 1000 ? wait_ms : 1000);
  }
  t_last_error = NET_OK;
  return length;
}

int32_t socket_send(int32_t slot, const RtString& text) {
  return send_all(slot, text.data, static_cast<int32_t>(text.length), nullptr);
}

int32_t udp_send(int32_t slot, const RtString& text, int32_t address, int32_t port) {
  NetPeer peer;
  peer.address = to_net32(static_cast<uint32_t>(address));
  peer.port = to_net16(static_cast<uint32_t>(port) & 0xFFFFu);
  return send_all(slot, text.data, static_cast<int32_t>(text.length), &peer);
}

int64_t send_some(int32_t slot, const void* bytes, size_t count, int32_t& error) {
  SlotUse use(slot);
  if (!use.open()) {
    error = NET_NOT_A_SOCKET;
    return -1;
  }
  int64_t sent = os_sockets().send(use.handle(), bytes, count, error);
  if (sent < 0 && error == NET_WOULD_BLOCK) return 0;
  return sent;
}

void set_slot_no_delay(int32_t slot) {
  SlotUse use(slot);
  if (use.open() && !use.is_udp()) os_sockets().set_no_delay(use.handle());
}

// ---- Receiving ----------------------------------------------------------------------------------

namespace {

// One receive on an open slot: bytes (> 0), 0 when closed or reset, -2 would block, -1 error.
int64_t receive_once(int32_t slot, const SlotUse& use, char* buffer, size_t count) {
  Sockets& os = os_sockets();
  int32_t error;
  int64_t got;
  if (use.is_udp()) {
    uint32_t address = 0;
    uint16_t port = 0;
    got = os.receive_from(use.handle(), buffer, count, address, port, error);
    if (got >= 0) {
      store_address(slot, use.handle(), make_slot_address(address, port));
      if (static_cast<uint64_t>(got) > count) {
        t_last_error = NET_MESSAGE_TOO_LONG;
        return -1;
      }
    }
  } else {
    got = os.receive(use.handle(), buffer, count, error);
  }
  if (got >= 0) {
    t_last_error = NET_OK;
    return got;
  }
  t_last_error = error;
  if (error == NET_WOULD_BLOCK) return -2;
  if (error == NET_CONNECTION_RESET) return 0;
  return -1;
}

}  // namespace

int32_t receive(int32_t slot, void* buffer, int32_t length, bool wait_for_all) {
  SlotUse use(slot);
  if (!use.open()) {
    t_last_error = NET_NOT_A_SOCKET;
    return -1;
  }
  if (use.is_udp()) store_address(slot, use.handle(), make_slot_address(0, 0));
  char* at = static_cast<char*>(buffer);
  if (!wait_for_all) {
    if (length < 0) length = 0;
    return static_cast<int32_t>(receive_once(slot, use, at, static_cast<size_t>(length)));
  }
  if (length < 1) return length;
  int32_t got = 0;
  double last_progress = os_sockets().now_ms();
  while (got < length) {
    int64_t n = receive_once(slot, use, at + got, static_cast<size_t>(length - got));
    if (n > 0) {
      got += static_cast<int32_t>(n);
      last_progress = os_sockets().now_ms();
      continue;
    }
    if (n == -2) {
      if (got == 0) return -2;
      int32_t wait_ms = stall_left_ms(last_progress);
      if (wait_ms == 0) {
        t_last_error = NET_TIMED_OUT;
        return -1;
      }
      wait_handle(use.handle(), false, wait_ms < 1000 ? wait_ms : 1000);
      continue;
    }
    return static_cast<int32_t>(n);  // 0 closed or reset, -1 error
  }
  return length;
}

int32_t socket_receive(int32_t slot, RtString& text, int32_t maximum_length) {
  if (maximum_length < 1) {
    text.release();
    t_last_error = NET_INVALID_ARGUMENT;
    return -1;
  }
  if (maximum_length > RECEIVE_MAX_BYTES) maximum_length = RECEIVE_MAX_BYTES;
  char* buffer = text.writable_buffer(static_cast<uint32_t>(maximum_length) + 1);
  int32_t got = receive(slot, buffer, maximum_length, false);
  if (got > 0) {
    buffer[got] = 0;
    text.length = static_cast<uint32_t>(got);
  } else {
    buffer[0] = 0;
    text.length = 0;
  }
  return got;
}

// ---- Slot queries -------------------------------------------------------------------------------

int32_t socket_remote_address(int32_t slot) {
  SocketSlot copy;
  if (acquire_handle(slot, &copy) == NO_SOCKET) return 0;
  release_handle(slot);
  return static_cast<int32_t>(from_net32(copy.address.address));
}

int32_t socket_remote_port(int32_t slot) {
  SocketSlot copy;
  if (acquire_handle(slot, &copy) == NO_SOCKET) return 0;
  release_handle(slot);
  return from_net16(copy.address.port);
}

void socket_set_blocking(int32_t slot, int32_t blocking) {
  SlotUse use(slot);
  if (!use.open()) {
    t_last_error = NET_NOT_A_SOCKET;
    return;
  }
  t_last_error = os_sockets().set_blocking(use.handle(), blocking != 0);
}

// ---- Waiting over slots -------------------------------------------------------------------------

int32_t wait_slots(SlotWait* slots, size_t count, SocketWait* extra, size_t extra_count, int32_t timeout_ms) {
  thread_local std::vector<SocketWait> entries;
  entries.assign(count + extra_count, SocketWait{});
  for (size_t i = 0; i < count; ++i) {
    SocketWait& e = entries[i];
    e.handle = acquire_handle(slots[i].slot);
    e.want_read = slots[i].want_read;
    e.want_write = slots[i].want_write;
  }
  for (size_t i = 0; i < extra_count; ++i) entries[count + i] = extra[i];
  int32_t ready = os_sockets().wait(entries.data(), entries.size(), timeout_ms);
  for (size_t i = 0; i < count; ++i) {
    const SocketWait& e = entries[i];
    SlotWait& s = slots[i];
    s.readable = ready > 0 && e.readable;
    s.writable = ready > 0 && e.writable;
    s.failed = e.handle == NO_SOCKET || (ready > 0 && e.failed);
    if (e.handle != NO_SOCKET) release_handle(s.slot);
  }
  for (size_t i = 0; i < extra_count; ++i) {
    extra[i].readable = ready > 0 && entries[count + i].readable;
    extra[i].writable = ready > 0 && entries[count + i].writable;
    extra[i].failed = ready > 0 && entries[count + i].failed;
  }
  return ready;
}

}  // namespace qrn
