// Memory service: large zero-filled blocks for work areas that are sized by their input (the
// path planner's per-cell tables). Large blocks come straight from the system, so no memory
// is written until it is used, and in large pages where the system offers them, since each
// first touch of a small page is a fault of its own (costly on virtual machines).
#pragma once

#include <cstddef>

#include "platform/service.h"

namespace qrn {

class MemoryService {
 public:
  virtual ~MemoryService() = default;
  // At least bytes zero bytes, aligned for any type; null when the memory cannot be had (or
  // bytes is 0). Never throws.
  virtual void* allocate_zeroed(size_t bytes);
  // Gives back a block of allocate_zeroed with the same byte count; null does nothing.
  virtual void release(void* block, size_t bytes);
};

inline MemoryService& os_memory() { return service<MemoryService>(); }

}  // namespace qrn
