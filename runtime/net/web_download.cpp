// Web download: the GET request, the receive loop with its idle and header limits, the
// header skipping, and the file and text targets (see web_download.h).
#include "net/web_download.h"

#include <cstring>
#include <string>

#include "files/file_stream.h"
#include "net/socket_slots.h"
#include "net/socket_slots_internal.h"
#include "net/web_download_internal.h"

namespace qrn {

bool HttpHeaderSkipper::feed(const char* bytes, size_t count, size_t& body_offset) {
  body_offset = count;
  if (in_body_) {
    body_offset = 0;
    return true;
  }
  for (size_t i = 0; i < count; ++i) {
    if (++header_bytes_ > header_limit_) return false;
    char c = bytes[i];
    if (c == '\r') continue;
    if (c != '\n') {
      line_feeds_ = 0;
      continue;
    }
    if (++line_feeds_ == 2) {
      in_body_ = true;
      body_offset = i + 1;
      return true;
    }
  }
  return true;
}

WebResponse::Step WebResponse::feed(const char* bytes, size_t count) {
  size_t body_offset;
  if (!headers_.feed(bytes, count, body_offset)) return Step::headers_too_long;
  if (!headers_.in_body()) return Step::more;
  const char* body = bytes + body_offset;
  size_t body_length = count - body_offset;
  bool full = false;
  if (text_) {
    size_t room = maximum_length_ - text_->size();
    if (body_length > room) body_length = room;  // a file written beside the text ends there too
    text_->append(body, body_length);
    full = text_->size() >= maximum_length_;
  }
  if (file_ && body_length > 0 && !stream_write(*file_, body, body_length)) return Step::write_failed;
  return full ? Step::done : Step::more;
}

std::string web_request_text(const char* host, const char* path) {
  std::string request = "GET ";
  request += path;
  request += " HTTP/1.1\r\nHost: ";
  request += host;
  request += "\r\nAccept: */*\r\nConnection: Close\r\nUser-Agent: Quarnel\r\n\r\n";
  return request;
}

WebLimits& web_limits() {
  static WebLimits limits;
  return limits;
}

namespace {

bool has_line_break(const char* text) { return std::strpbrk(text, "\r\n") != nullptr; }

// Waits up to timeout_ms for data on the slot.
void wait_readable(int32_t slot, int32_t timeout_ms) {
  SlotWait wait;
  wait.slot = slot;
  wait.want_read = true;
  wait_slots(&wait, 1, nullptr, 0, timeout_ms);
}

}  // namespace

int32_t web_get(const char* host, const char* path, int32_t port, const char* file, std::string* buffer,
                size_t maximum_length, int32_t timeout) {
  if (port == 0) port = WEB_DEFAULT_PORT;
  if (!host) host = "";
  if (!path) path = "";
  // A line break would let the caller's text add request lines of its own.
  if (has_line_break(host) || has_line_break(path)) {
    set_net_last_error(NET_INVALID_ARGUMENT);
    return 0;
  }
  FileStream stream;
  if (file) {
    if (is_memory_file_name(file)) return 0;
    if (!stream_open_write(stream, file)) return 0;
  }
  if (!net_start()) {
    stream_close(stream);
    return 0;
  }
  const WebLimits& limits = web_limits();
  Sockets& os = os_sockets();
  int32_t slot = -1;
  bool ok = false;
  do {
    NetPeer peer = resolve_address(host, port);
    slot = connect_with_timeout(peer.address, peer.port, connect_timeout_ms(timeout));
    if (slot < 0) break;
    socket_set_blocking(slot, 0);

    size_t size = 16384;
    size_t needed = std::strlen(host) + std::strlen(path) + 100;
    if (needed > size) size = needed;
    std::string request = web_request_text(host, path);
    if (send_all(slot, request.data(), static_cast<int32_t>(request.size()), nullptr) !=
        static_cast<int32_t>(request.size())) {
      break;
    }

    std::string chunk(size, '\0');
    WebResponse response(limits.header_bytes, buffer, maximum_length, file ? &stream : nullptr);
    double last_byte = os.now_ms();
    for (;;) {
      int32_t got = receive(slot, &chunk[0], static_cast<int32_t>(size - 1), false);
      if (got == -2) {
        double idle = os.now_ms() - last_byte;
        if (idle >= limits.idle_ms) {
          set_net_last_error(NET_TIMED_OUT);
          break;
        }
        wait_readable(slot, static_cast<int32_t>(limits.idle_ms - idle + 0.999));
        continue;
      }
      if (got == 0) {
        ok = true;
        break;
      }
      if (got < 0) break;
      last_byte = os.now_ms();
      WebResponse::Step step = response.feed(chunk.data(), static_cast<size_t>(got));
      if (step == WebResponse::Step::more) continue;
      if (step == WebResponse::Step::done) ok = true;
      if (step == WebResponse::Step::headers_too_long) set_net_last_error(NET_MESSAGE_TOO_LONG);
      break;
    }
  } while (false);

  int32_t error = net_last_error();
  if (slot >= 0) close_slot(slot);
  net_end();
  if (!ok) set_net_last_error(error);
  stream_close(stream);
  return ok ? 1 : 0;
}

int32_t web_get_file(const RtString& host, const RtString& path, int32_t port, const RtString& file,
                     int32_t timeout) {
  if (file.empty()) return 0;
  return web_get(host.data, path.data, port, file.data, nullptr, 0, timeout);
}

RtString web_get_text(const RtString& host, const RtString& path, int32_t port, int32_t maximum_length,
                      int32_t timeout) {
  std::string body;
  size_t limit = maximum_length > 0 ? static_cast<size_t>(maximum_length) : 0;
  web_get(host.data, path.data, port, nullptr, &body, limit, timeout);
  size_t text_length = std::strlen(body.c_str());  // the text ends at its first 0 byte
  return text_from_bytes(body.data(), static_cast<uint32_t>(text_length));
}

}  // namespace qrn
