// The allocation meter (see allocation_meter.h): malloc, free, calloc, realloc and the
// aligned forms count the usable size of every block while a measurement runs.
#include "support/allocation_meter.h"

#include <malloc.h>

#include <atomic>
#include <cerrno>
#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define QRN_METER_OFF 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer) || __has_feature(thread_sanitizer)
#define QRN_METER_OFF 1
#endif
#endif

namespace qrn::test {

#ifdef QRN_METER_OFF

bool allocation_meter_available() { return false; }
int64_t peak_allocation(const std::function<void()>& body) {
  body();
  return 0;
}

#else

namespace {
std::atomic<bool> g_metering{false};
std::atomic<int64_t> g_held{0};
std::atomic<int64_t> g_peak{0};
}  // namespace

void count_block(void* block, int sign) {
  if (!block || !g_metering.load(std::memory_order_relaxed)) return;
  int64_t size = static_cast<int64_t>(malloc_usable_size(block));
  int64_t held = g_held.fetch_add(sign * size) + sign * size;
  int64_t peak = g_peak.load();
  while (held > peak && !g_peak.compare_exchange_weak(peak, held)) {
  }
}

bool allocation_meter_available() { return true; }

int64_t peak_allocation(const std::function<void()>& body) {
  g_held = 0;
  g_peak = 0;
  g_metering = true;
  body();
  g_metering = false;
  return g_peak.load();
}

#endif

}  // namespace qrn::test

#ifndef QRN_METER_OFF

extern "C" {
void* __libc_malloc(size_t size);
void __libc_free(void* block);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);

void* malloc(size_t size) {
  void* block = __libc_malloc(size);
  qrn::test::count_block(block, 1);
  return block;
}

void free(void* block) {
  qrn::test::count_block(block, -1);
  __libc_free(block);
}

void* calloc(size_t count, size_t size) {
  void* block = __libc_calloc(count, size);
  qrn::test::count_block(block, 1);
  return block;
}

void* realloc(void* block, size_t size) {
  qrn::test::count_block(block, -1);
  void* moved = __libc_realloc(block, size);
  // A failed realloc leaves the old block in place.
  qrn::test::count_block(moved ? moved : (size ? block : nullptr), 1);
  return moved;
}

void* memalign(size_t alignment, size_t size) {
  void* block = __libc_memalign(alignment, size);
  qrn::test::count_block(block, 1);
  return block;
}

void* aligned_alloc(size_t alignment, size_t size) { return memalign(alignment, size); }

int posix_memalign(void** out, size_t alignment, size_t size) {
  if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0) return EINVAL;
  void* block = memalign(alignment, size);
  if (!block && size) return ENOMEM;
  *out = block;
  return 0;
}
}

#endif
