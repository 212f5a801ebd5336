// Web download: one HTTP/1.1 GET on a fresh TCP connection, everything the server sends
// until it closes the connection, the response headers cut off. No status check, no
// redirects, no chunked decoding, no TLS. The call blocks until the download ends.
//
// Limits: a download fails when no byte arrives for WEB_IDLE_LIMIT_MS, or when the response
// headers run past WEB_HEADER_LIMIT_BYTES; a host or path holding a line break is refused.
#pragma once

#include <cstdint>

#include "core/text_value.h"

namespace qrn {

constexpr int32_t WEB_IDLE_LIMIT_MS = 30000;
constexpr int32_t WEB_HEADER_LIMIT_BYTES = 65536;
constexpr int32_t WEB_DEFAULT_PORT = 80;

// Downloads host/path (port 0: 80) into file, replacing it; timeout (ms) is for connecting.
// 1 on success, 0 on failure (a file that failed part way keeps what arrived).
int32_t web_get_file(const RtString& host, const RtString& path, int32_t port, const RtString& file,
                     int32_t timeout);
// The response body, at most maximum_length bytes, cut at its first 0 byte (empty or
// partial on failure).
RtString web_get_text(const RtString& host, const RtString& path, int32_t port, int32_t maximum_length,
                      int32_t timeout);

}  // namespace qrn
