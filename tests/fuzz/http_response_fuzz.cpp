// Fuzz target: a download's handling of the server's response (header cutting, the text's
// maximum length). The first two bytes give the text's maximum length and the size of the
// chunks the rest arrives in; the body kept must be a prefix of what follows the headers.
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/web_download_internal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  size_t maximum_length = data[0] * 8;
  size_t chunk = data[1] % 64 + 1;
  const char* response = reinterpret_cast<const char*>(data + 2);
  size_t length = size - 2;
  std::string text;
  qrn::WebResponse handler(512, &text, maximum_length, nullptr);
  qrn::WebResponse::Step step = qrn::WebResponse::Step::more;
  for (size_t at = 0; at < length && step == qrn::WebResponse::Step::more; at += chunk) {
    step = handler.feed(response + at, at + chunk <= length ? chunk : length - at);
  }
  if (text.size() > maximum_length) __builtin_trap();
  if (step == qrn::WebResponse::Step::done && text.size() != maximum_length) __builtin_trap();
  return 0;
}
