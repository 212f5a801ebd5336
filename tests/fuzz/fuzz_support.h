// Shared pieces of the fuzz entry points: the input as a memory file that the runtime's file
// commands open (an exact-size copy, so a read past its end is caught), a checked image, and
// the report of a broken property (which ends the run as a crash, keeping the input).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "quarnel.h"

namespace qrn::fuzz {

// The bytes as a registered memory file for the lifetime of the object.
class MemoryInput {
 public:
  MemoryInput(const uint8_t* data, size_t size);
  ~MemoryInput();
  MemoryInput(const MemoryInput&) = delete;
  MemoryInput& operator=(const MemoryInput&) = delete;
  const RtString& name() const { return name_; }
  const uint8_t* data() const { return bytes_; }
  size_t size() const { return size_; }

 private:
  uint8_t* bytes_;
  size_t size_;
  RtString name_;
};

// The same bytes as a disk file of this process (one per name, rewritten on every call).
std::string disk_copy(const char* name, const uint8_t* data, size_t size);

// Ends the run with the message on standard error (abort: the fuzzer keeps the input).
[[noreturn]] void fail(const std::string& what);

// A decoded image must be within the limits and every pixel byte readable; returns a sum
// of the pixels so the reads cannot be left out.
uint32_t check_image(const Image& image);

// Reads a little-endian value from the front of the input and moves past it (0 when the
// input is shorter).
uint32_t take_u8(const uint8_t*& data, size_t& size);
uint32_t take_u16(const uint8_t*& data, size_t& size);

}  // namespace qrn::fuzz
