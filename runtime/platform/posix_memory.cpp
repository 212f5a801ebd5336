// Memory service on Linux (see memory.h): the C heap for small blocks, kept power-of-two
// mappings for middle sizes, fresh mappings above; huge-page advice from 2 MiB.
#include "platform/memory.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace qrn {

namespace {

constexpr size_t kMappedFrom = size_t{64} << 10;
constexpr size_t kLargePage = size_t{2} << 20;
constexpr size_t kKeptUpTo = size_t{8} << 20;
constexpr size_t kKeptLimit = size_t{32} << 20;

// The mapped size of a block: a power of two in the kept sizes, whole large pages above.
size_t mapped_size(size_t bytes) {
  if (bytes > kKeptUpTo) return (bytes + kLargePage - 1) / kLargePage * kLargePage;
  size_t size = kMappedFrom;
  while (size < bytes) size *= 2;
  return size;
}

void* map_pages(size_t size) {
  if (size < kLargePage) {
    void* block = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return block == MAP_FAILED ? nullptr : block;
  }
  // One large page more than needed is mapped and both ends trimmed, so the block starts on
  // a large-page boundary.
  void* raw = mmap(nullptr, size + kLargePage, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t aligned = (start + kLargePage - 1) & ~(uintptr_t{kLargePage} - 1);
  if (aligned > start) munmap(raw, aligned - start);
  const size_t tail = start + kLargePage - aligned;
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

void* MemoryService::take(size_t bytes, bool zeroed) {
  if (bytes == 0) return nullptr;
  if (bytes < kMappedFrom) return zeroed ? std::calloc(1, bytes) : std::malloc(bytes);
  if (bytes > SIZE_MAX - 2 * kLargePage) return nullptr;
  const size_t size = mapped_size(bytes);
  if (size <= kKeptUpTo) {
    std::lock_guard<std::mutex> hold(kept_lock_);
    for (KeptBlock& kept : kept_) {
      if (kept.block && kept.size == size) {
        void* block = kept.block;
        kept = KeptBlock();
        kept_bytes_ -= size;
        if (zeroed) std::memset(block, 0, bytes);  // the rest of the block is not the caller's
        return block;
      }
    }
  }
  return map_pages(size);  // fresh mappings are zero
}

void MemoryService::release(void* block, size_t bytes) {
  if (!block) return;
  if (bytes < kMappedFrom) {
    std::free(block);
    return;
  }
  const size_t size = mapped_size(bytes);
  if (size <= kKeptUpTo) {
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
