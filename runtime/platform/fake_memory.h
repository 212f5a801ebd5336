// Scripted memory service for tests: records every block asked for and still held, and
// refuses blocks above a scripted size, so a test can watch a caller meet a failed
// allocation and check that it gives every block back. Real memory otherwise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "platform/memory.h"

namespace qrn {

class FakeMemory : public MemoryService {
 public:
  size_t refuse_above = SIZE_MAX;  // blocks larger than this are refused
  std::vector<size_t> requests;    // byte count of every request, in order (refused ones too)
  std::map<void*, size_t> held;    // blocks handed out and not yet given back

  void* allocate_zeroed(size_t bytes) override {
    return refused(bytes) ? nullptr : hold(bytes, MemoryService::allocate_zeroed(bytes));
  }
  void* allocate(size_t bytes) override {
    return refused(bytes) ? nullptr : hold(bytes, MemoryService::allocate(bytes));
  }
  void release(void* block, size_t bytes) override;

 private:
  bool refused(size_t bytes) {
    requests.push_back(bytes);
    return bytes > refuse_above;
  }
  void* hold(size_t bytes, void* block) {
    if (block) held[block] = bytes;
    return block;
  }
};

}  // namespace qrn
