// Sockets service: IPv4 TCP and UDP sockets, name look-up, the machine's own addresses,
// readiness waits and a wake-up channel, over POSIX. Every error crosses this boundary as
// the runtime's network error number (the Winsock numbering programs see); the errno table
// lives once, in posix_sockets.cpp.
//
// Sends never raise SIGPIPE. Every socket is created close-on-exec. Addresses and ports are
// in network byte order, as they sit in a socket address.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/service.h"

namespace qrn {

// A platform socket (or wake-up channel) handle; NO_SOCKET when there is none.
using SocketHandle = int32_t;
constexpr SocketHandle NO_SOCKET = -1;

// Network error numbers as programs see them.
enum NetError : int32_t {
  NET_OK = 0,
  NET_TABLE_FULL = 8,  // the runtime's own: no free socket slot
  NET_INTERRUPTED = 10004,
  NET_BAD_HANDLE = 10009,
  NET_ACCESS_DENIED = 10013,
  NET_BAD_ADDRESS = 10014,
  NET_INVALID_ARGUMENT = 10022,
  NET_TOO_MANY_SOCKETS = 10024,
  NET_WOULD_BLOCK = 10035,
  NET_IN_PROGRESS = 10036,  // also a connect that timed out
  NET_ALREADY = 10037,
  NET_NOT_A_SOCKET = 10038,
  NET_NO_DESTINATION = 10039,
  NET_MESSAGE_TOO_LONG = 10040,
  NET_WRONG_PROTOCOL = 10041,
  NET_BAD_OPTION = 10042,
  NET_PROTOCOL_UNSUPPORTED = 10043,
  NET_NOT_SUPPORTED = 10045,
  NET_FAMILY_UNSUPPORTED = 10047,
  NET_ADDRESS_IN_USE = 10048,
  NET_ADDRESS_UNAVAILABLE = 10049,
  NET_NETWORK_DOWN = 10050,
  NET_NETWORK_UNREACHABLE = 10051,
  NET_NETWORK_RESET = 10052,
  NET_CONNECTION_ABORTED = 10053,
  NET_CONNECTION_RESET = 10054,
  NET_NO_BUFFERS = 10055,
  NET_ALREADY_CONNECTED = 10056,
  NET_NOT_CONNECTED = 10057,
  NET_SHUT_DOWN = 10058,
  NET_TIMED_OUT = 10060,
  NET_REFUSED = 10061,
  NET_HOST_DOWN = 10064,
  NET_HOST_UNREACHABLE = 10065,
  NET_HOST_NOT_FOUND = 11001,
  NET_TRY_AGAIN = 11002,
  NET_NO_RECOVERY = 11003,
  NET_NO_DATA = 11004,
};

enum class SocketKind : int32_t { tcp, udp };

// What a readiness wait watches on one handle, and what it found.
struct SocketWait {
  SocketHandle handle = NO_SOCKET;
  bool want_read = false;
  bool want_write = false;
  bool readable = false;  // data, a connection to accept, or the end of the stream
  bool writable = false;
  bool failed = false;    // an error or hang-up is pending
};

// How a connection attempt in progress ended.
enum class ConnectWait : int32_t { connected, failed, timed_out };

class Sockets {
 public:
  virtual ~Sockets() = default;

  // ---- Library ---------------------------------------------------------------------------
  // Starts the socket library (raises the open-file limit as far as allowed so that every
  // socket slot can hold a socket); NET_OK or the error.
  virtual int32_t start();
  virtual void end();

  // ---- Sockets (results: NET_OK or an error number) --------------------------------------
  virtual SocketHandle open(SocketKind kind, int32_t& error);
  virtual int32_t close(SocketHandle socket);
  virtual int32_t shutdown_both(SocketHandle socket);
  virtual int32_t set_reuse_address(SocketHandle socket);
  // SO_BROADCAST with an option value of `size` bytes (4: an int 1; 1: the byte "1").
  virtual int32_t set_broadcast(SocketHandle socket, int32_t size);
  virtual int32_t set_linger_off(SocketHandle socket);
  virtual int32_t set_no_delay(SocketHandle socket);
  virtual int32_t set_blocking(SocketHandle socket, bool blocking);
  virtual int32_t bind(SocketHandle socket, uint32_t address, uint16_t port);
  virtual int32_t listen(SocketHandle socket, int32_t backlog);
  // A pending connection and its peer; NO_SOCKET when none (error NET_WOULD_BLOCK on a
  // non-blocking socket).
  virtual SocketHandle accept(SocketHandle socket, uint32_t& address, uint16_t& port, int32_t& error);
  virtual int32_t connect(SocketHandle socket, uint32_t address, uint16_t port);
  // Waits up to timeout_ms for a connect in progress; on failure error holds why.
  virtual ConnectWait wait_connect(SocketHandle socket, int32_t timeout_ms, int32_t& error);

  // ---- Data (results: bytes, or -1 with error set) ---------------------------------------
  virtual int64_t send(SocketHandle socket, const void* bytes, size_t count, int32_t& error);
  virtual int64_t send_to(SocketHandle socket, const void* bytes, size_t count, uint32_t address,
                          uint16_t port, int32_t& error);
  // 0: the peer closed the connection.
  virtual int64_t receive(SocketHandle socket, void* buffer, size_t count, int32_t& error);
  // One datagram and its sender. The result is the datagram's whole length, which exceeds
  // count when it did not fit (the rest is lost).
  virtual int64_t receive_from(SocketHandle socket, void* buffer, size_t count, uint32_t& address,
                               uint16_t& port, int32_t& error);

  // ---- Waiting ---------------------------------------------------------------------------
  // Waits until one of the entries is ready or timeout_ms pass (negative: no limit); the
  // number of ready entries, 0 on time-out, -1 on error. Handles of NO_SOCKET are skipped.
  virtual int32_t wait(SocketWait* entries, size_t count, int32_t timeout_ms);
  // A wake-up channel: `wake` makes its read handle readable until `drain`.
  virtual bool open_wakeup(SocketHandle& read_end, SocketHandle& write_end);
  virtual void wake(SocketHandle write_end);
  virtual void drain(SocketHandle read_end);
  virtual void close_wakeup(SocketHandle read_end, SocketHandle write_end);

  // ---- Names -----------------------------------------------------------------------------
  // The first IPv4 address of a host name or dotted address; NET_OK or the error.
  virtual int32_t resolve(const char* name, uint32_t& address);
  // The machine's IPv4 addresses in the system's order (loopback included); false when
  // they cannot be listed.
  virtual bool own_addresses(std::vector<uint32_t>& addresses);
  // The system's message text for an error number; "" when it has none.
  virtual std::string error_message(int32_t error);

  // ---- Time ------------------------------------------------------------------------------
  // Monotonic milliseconds (arbitrary origin) and sleeping, safe on any thread.
  virtual double now_ms();
  virtual void sleep_ms(int32_t ms);
};

inline Sockets& os_sockets() { return service<Sockets>(); }

// The network error number of a POSIX errno value: NET_OK for 0, the table's number for
// the values sockets produce, NET_INVALID_ARGUMENT for any other.
int32_t net_error_from_errno(int32_t errno_value);

}  // namespace qrn
