// Memory service on Linux (see memory.h): calloc for small blocks, kept power-of-two
// mappings for middle sizes, fresh 2 MiB-aligned mappings with huge-page advice above.
#include "platform/memory.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace qrn {

namespace {

constexpr size_t kKeptFrom = size_t{64} << 10;
constexpr size_t kLargeFrom = size_t{2} << 20;  // also the large-page size
constexpr size_t kKeptLimit = size_t{16} << 20;

// The mapped size of a block: a power of two in the middle sizes, whole large pages above.
size_t mapped_size(size_t bytes) {
  if (bytes >= kLargeFrom) return (bytes + kLargeFrom - 1) / kLargeFrom * kLargeFrom;
  size_t size = kKeptFrom;
  while (size < bytes) size *= 2;
  return size;
}

void* map_pages(size_t size) {
  void* block = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return block == MAP_FAILED ? nullptr : block;
}

// One large page more than needed is mapped and both ends trimmed, so the block starts on a
// large-page boundary.
void* map_large(size_t size) {
  void* raw = map_pages(size + kLargeFrom);
  if (!raw) return nullptr;
  const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t aligned = (start + kLargeFrom - 1) & ~(uintptr_t{kLargeFrom} - 1);
  if (aligned > start) munmap(raw, aligned - start);
  const size_t tail = start + kLargeFrom - aligned;
  if (tail > 0) munmap(reinterpret_cast<void*>(aligned + size), tail);
  void* block = reinterpret_cast<void*>(aligned);
  madvise(block, size, MADV_HUGEPAGE);  // advice only: without huge pages it still works
  return block;
}

}  // namespace

MemoryService::~MemoryService() {
  for (KeptBlock& kept : kept_) {
    if (kept.block) munmap(kept.block, kept.size);
  }
}

void* MemoryService::allocate_zeroed(size_t bytes) {
  if (bytes == 0) return nullptr;
  if (bytes < kKeptFrom) return std::calloc(1, bytes);
  if (bytes > SIZE_MAX - 2 * kLargeFrom) return nullptr;
  const size_t size = mapped_size(bytes);
  if (size >= kLargeFrom) return map_large(size);
  {
    std::lock_guard<std::mutex> hold(kept_lock_);
    for (KeptBlock& kept : kept_) {
      if (kept.block && kept.size == size) {
        void* block = kept.block;
        kept = KeptBlock();
        kept_bytes_ -= size;
        std::memset(block, 0, bytes);  // the rest of the block is not the caller's
        return block;
      }
    }
  }
  return map_pages(size);
}

void MemoryService::release(void* block, size_t bytes) {
  if (!block) return;
  if (bytes < kKeptFrom) {
    std::free(block);
    return;
  }
  const size_t size = mapped_size(bytes);
  if (size < kLargeFrom) {
    std::lock_guard<std::mutex> hold(kept_lock_);
    if (kept_bytes_ + size <= kKeptLimit) {
      for (KeptBlock& kept : kept_) {
        if (!kept.block) {
          kept = KeptBlock{block, size};
          kept_bytes_ += size;
          return;
        }
      }
    }
  }
  munmap(block, size);
}

template <>
MemoryService& real_service<MemoryService>() {
  static auto* s = new MemoryService;
  return *s;
}

}  // namespace qrn
