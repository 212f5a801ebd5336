// Helpers for the core tests: a text's bytes as std::string, and a text holding any bytes.
#pragma once

#include <cstring>
#include <string>

#include "core/text_value.h"

namespace qrn::test {

inline std::string str(const RtString& t) { return std::string(t.data, t.length); }

// A text with exactly these bytes, 0 bytes included.
inline RtString bytes(const std::string& s) {
  RtString t;
  if (s.empty()) return t;
  std::memcpy(t.writable_buffer(static_cast<uint32_t>(s.size())), s.data(), s.size());
  t.length = static_cast<uint32_t>(s.size());
  t.data[t.length] = 0;
  return t;
}

}  // namespace qrn::test
