// The network game's wire format and packet assembly (see net_packets.h).
#include "net/net_packets.h"

namespace qrn {

uint16_t read_u16(const char* bytes) {
  return static_cast<uint16_t>(static_cast<uint8_t>(bytes[0]) | (static_cast<uint8_t>(bytes[1]) << 8));
}

void write_u16(char* bytes, uint16_t value) {
  bytes[0] = static_cast<char>(value & 0xFF);
  bytes[1] = static_cast<char>(value >> 8);
}

void encode_packet(const NetPacket& packet, std::string& out) {
  size_t length = packet.payload.size() < PACKET_PAYLOAD_MAX ? packet.payload.size() : PACKET_PAYLOAD_MAX;
  char header[PACKET_HEADER_BYTES];
  header[0] = static_cast<char>(packet.type);
  write_u16(header + 1, static_cast<uint16_t>(length));
  write_u16(header + 3, packet.to);
  write_u16(header + 5, packet.from);
  out.append(header, PACKET_HEADER_BYTES);
  out.append(packet.payload, 0, length);
}

void PacketAssembler::append(const char* bytes, size_t count) {
  // Drop what was handed out before growing, so the buffer never holds more than one
  // unfinished packet besides the new bytes.
  if (start_ > 0) {
    buffer_.erase(0, start_);
    start_ = 0;
  }
  buffer_.append(bytes, count);
}

PacketAssembler::Next PacketAssembler::next(NetPacket& packet) {
  size_t available = buffer_.size() - start_;
  if (available < PACKET_HEADER_BYTES) return Next::incomplete;
  const char* header = buffer_.data() + start_;
  uint8_t type = static_cast<uint8_t>(header[0]);
  size_t length = read_u16(header + 1);
  if (length > PACKET_PAYLOAD_MAX) return Next::bad;
  if (server_side_ && type == PACKET_REGISTER && length != REGISTRATION_PAYLOAD_BYTES) return Next::bad;
  if (available < PACKET_HEADER_BYTES + length) return Next::incomplete;
  packet.type = type;
  packet.to = read_u16(header + 3);
  packet.from = read_u16(header + 5);
  packet.payload.assign(header + PACKET_HEADER_BYTES, length);
  start_ += PACKET_HEADER_BYTES + length;
  if (start_ == buffer_.size()) {
    buffer_.clear();
    start_ = 0;
  }
  return Next::packet;
}

}  // namespace qrn
