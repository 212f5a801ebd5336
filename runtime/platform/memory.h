// Memory service: zero-filled blocks for work areas sized by their input (the path planner's
// per-cell tables), which a program may take and give back many times a second. First
// touches of fresh pages are faults of their own, costly on virtual machines, so:
// - blocks below 64 KiB come from the C heap;
// - blocks from 64 KiB up to 2 MiB are mapped in power-of-two sizes, and a few given back
//   are kept (at most 8, 16 MiB in all) and handed out again, cleared, without new faults;
// - larger blocks are fresh mappings aligned to 2 MiB and advised for huge pages, so only
//   the parts a caller touches are ever backed, in large pages where the system has them.
#pragma once

#include <cstddef>
#include <mutex>

#include "platform/service.h"

namespace qrn {

class MemoryService {
 public:
  MemoryService() = default;
  MemoryService(const MemoryService&) = delete;
  MemoryService& operator=(const MemoryService&) = delete;
  virtual ~MemoryService();  // unmaps the blocks it kept
  // At least bytes zero bytes, aligned for any type; null when the memory cannot be had (or
  // bytes is 0). Never throws. Safe to call from several threads.
  virtual void* allocate_zeroed(size_t bytes);
  // Gives back a block of allocate_zeroed with the same byte count; null does nothing.
  virtual void release(void* block, size_t bytes);

 private:
  struct KeptBlock {
    void* block = nullptr;
    size_t size = 0;  // the mapped size
  };
  static constexpr int kKeptBlocks = 8;
  std::mutex kept_lock_;
  KeptBlock kept_[kKeptBlocks];
  size_t kept_bytes_ = 0;
};

inline MemoryService& os_memory() { return service<MemoryService>(); }

}  // namespace qrn
