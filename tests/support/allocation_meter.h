// Measures the most heap memory a piece of code holds at once, every allocation counted
// (the runtime's, libpng's, libjpeg's, zlib's). It replaces malloc and its relatives in the
// test program that links it, forwarding to the C library's own allocator. Under a sanitizer
// (which has its own allocator) nothing is replaced and metering is unavailable.
#pragma once

#include <cstdint>
#include <functional>

namespace qrn::test {

// False when the program runs under a sanitizer and nothing can be measured.
bool allocation_meter_available();
// The most bytes held at once while body ran, above what was held when it started.
int64_t peak_allocation(const std::function<void()>& body);

}  // namespace qrn::test
