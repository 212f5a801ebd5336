// The network game's wire format: a 7-byte little-endian header (type, payload length, to,
// from) and at most 1024 payload bytes, and the assembler that cuts packets out of what a
// connection has delivered so far, without waiting for the rest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qrn {

constexpr size_t PACKET_HEADER_BYTES = 7;
constexpr size_t PACKET_PAYLOAD_MAX = 1024;
constexpr size_t REGISTRATION_PAYLOAD_BYTES = 136;  // int32 socket, uint16 id, 2 bytes, 128 name
constexpr size_t PLAYER_NAME_BYTES = 128;           // 127 characters and a 0

// Player ids with a meaning of their own.
constexpr uint16_t PLAYER_SERVER = 0;
constexpr uint16_t PLAYER_FIRST_ID = 101;
constexpr uint16_t PLAYER_LAST_ID = 0xFEFF;
constexpr uint16_t PLAYER_REGISTERING = 0xFFFC;  // registration sent
constexpr uint16_t PLAYER_UNREGISTERED = 0xFFFE; // waiting to be registered
constexpr uint16_t PLAYER_EVERYONE = 0xFFFF;

enum PacketType : uint8_t {
  PACKET_REGISTER = 1,
  PACKET_REGISTERED = 2,
  PACKET_MESSAGE = 3,
  PACKET_REMOVE = 4,
  PACKET_COUNT = 101,
  PACKET_PLAYER_ID = 102,
  PACKET_PLAYER_NAME = 103,
  PACKET_GREETING = 104,
};

struct NetPacket {
  uint8_t type = 0;
  uint16_t to = 0;
  uint16_t from = 0;
  std::string payload;  // at most PACKET_PAYLOAD_MAX bytes
};

// Appends the packet's wire bytes (header and payload) to out.
void encode_packet(const NetPacket& packet, std::string& out);
uint16_t read_u16(const char* bytes);
void write_u16(char* bytes, uint16_t value);

// Collects a connection's bytes and hands out whole packets. A header that claims more
// than PACKET_PAYLOAD_MAX bytes, or (for a server) a registration that is not exactly
// REGISTRATION_PAYLOAD_BYTES, makes the stream bad: nothing is kept from the claim.
class PacketAssembler {
 public:
  enum class Next { packet, incomplete, bad };
  explicit PacketAssembler(bool server_side) : server_side_(server_side) {}
  void append(const char* bytes, size_t count);
  Next next(NetPacket& packet);
  // True while part of a packet has arrived and the rest has not.
  bool partial() const { return buffer_.size() > start_; }

 private:
  bool server_side_;
  std::string buffer_;
  size_t start_ = 0;  // first byte not yet handed out
};

}  // namespace qrn
