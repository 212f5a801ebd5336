// Memory service: blocks for work areas sized by their input (the path planner's per-cell
// tables), which a program may take and give back many times a second. First touches of
// fresh pages are faults of their own, costly on virtual machines, so:
// - blocks below 64 KiB come from the C heap;
// - blocks from 64 KiB to 8 MiB are mapped in power-of-two sizes, and a few given back are
//   kept (at most 8, 32 MiB in all) and handed out again without new faults;
// - larger blocks are fresh mappings, so only the parts a caller touches are ever backed.
// Mappings of 2 MiB and more start on a 2 MiB boundary and are advised for huge pages.
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

  // At least bytes bytes, aligned for any type, zero-filled or of unspecified contents; null
  // when the memory cannot be had (or bytes is 0). Never throws. Safe from several threads.
  virtual void* allocate_zeroed(size_t bytes) { return take(bytes, true); }
  virtual void* allocate(size_t bytes) { return take(bytes, false); }
  // Gives back a block of either with the same byte count; null does nothing.
  virtual void release(void* block, size_t bytes);

 private:
  void* take(size_t bytes, bool zeroed);

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
