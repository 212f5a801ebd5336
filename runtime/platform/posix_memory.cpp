// Memory service on Linux: blocks of 1 MiB and more are anonymous mappings aligned to 2 MiB
// and advised for transparent huge pages; smaller ones come from calloc.
#include "platform/memory.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace qrn {

namespace {

constexpr size_t kMappedFrom = size_t{1} << 20;
constexpr size_t kLargePage = size_t{2} << 20;

size_t mapped_size(size_t bytes) { return (bytes + kLargePage - 1) / kLargePage * kLargePage; }

}  // namespace

void* MemoryService::allocate_zeroed(size_t bytes) {
  if (bytes == 0) return nullptr;
  if (bytes < kMappedFrom) return std::calloc(1, bytes);
  if (bytes > SIZE_MAX - 2 * kLargePage) return nullptr;
  const size_t size = mapped_size(bytes);
  // Map one large page more than needed and trim both ends, so the block starts on a
  // large-page boundary.
  void* raw = mmap(nullptr, size + kLargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                   -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t aligned = (start + kLargePage - 1) & ~(uintptr_t{kLargePage} - 1);
  if (aligned > start) munmap(raw, aligned - start);
  const size_t tail = start + size + kLargePage - (aligned + size);
  if (tail > 0) munmap(reinterpret_cast<void*>(aligned + size), tail);
  void* block = reinterpret_cast<void*>(aligned);
  madvise(block, size, MADV_HUGEPAGE);  // advice only: without huge pages it still works
  return block;
}

void MemoryService::release(void* block, size_t bytes) {
  if (!block) return;
  if (bytes < kMappedFrom) {
    std::free(block);
  } else {
    munmap(block, mapped_size(bytes));
  }
}

template <>
MemoryService& real_service<MemoryService>() {
  static auto* s = new MemoryService;
  return *s;
}

}  // namespace qrn
