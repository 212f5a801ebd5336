// The download's parts as plain code: the response-header skipper and the request text,
// and the limits a test may shorten.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "files/file_stream.h"

namespace qrn {

// Cuts the response headers off a stream of received chunks. A carriage return is ignored,
// a line feed counts, any other byte resets the count; the headers end at the line feed
// that brings the count to 2, so "\n\n" and "\r\n\r\n" end them at the same place.
class HttpHeaderSkipper {
 public:
  explicit HttpHeaderSkipper(size_t header_limit) : header_limit_(header_limit) {}
  // The body part of one chunk: body_offset is where it starts in the chunk (the chunk's
  // length when it holds none). False when the headers run past the limit.
  bool feed(const char* bytes, size_t count, size_t& body_offset);
  bool in_body() const { return in_body_; }

 private:
  size_t header_limit_;
  size_t header_bytes_ = 0;
  int32_t line_feeds_ = 0;
  bool in_body_ = false;
};

// What a download does with the bytes it receives: cuts the headers off, appends the body
// to the text while it has room (up to maximum_length bytes) and writes it to the file.
class WebResponse {
 public:
  enum class Step { more, done, headers_too_long, write_failed };
  // text and file may be null.
  WebResponse(size_t header_limit, std::string* text, size_t maximum_length, FileStream* file)
      : headers_(header_limit), text_(text), maximum_length_(maximum_length), file_(file) {}
  // done: the text is full (the rest of the response is not wanted).
  Step feed(const char* bytes, size_t count);

 private:
  HttpHeaderSkipper headers_;
  std::string* text_;
  size_t maximum_length_;
  FileStream* file_;
};

// "GET <path> HTTP/1.1\r\nHost: <host>\r\n..." exactly as the runtime sends it.
std::string web_request_text(const char* host, const char* path);

// The limits in force (tests shorten them; the main thread only).
struct WebLimits {
  int32_t idle_ms = 30000;
  size_t header_bytes = 65536;
};
WebLimits& web_limits();

// The download behind both commands: into file (or none) and/or into a text of at most
// maximum_length bytes (buffer null: none). 1 or 0.
int32_t web_get(const char* host, const char* path, int32_t port, const char* file, std::string* buffer,
                size_t maximum_length, int32_t timeout);

}  // namespace qrn
