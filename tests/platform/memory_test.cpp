// The memory service: zero-filled blocks on both sides of the size where blocks start coming
// straight from the system (1 MiB), large ones aligned to 2 MiB, refusals instead of throws.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "platform/memory.h"

namespace qrn {
namespace {

TEST(MemoryService, BlocksAreZeroWritableAndGivenBack) {
  MemoryService& memory = os_memory();
  const size_t limit = size_t{1} << 20;
  for (size_t bytes : {size_t{1}, size_t{4096}, limit - 1, limit, limit + 1, size_t{5} << 20}) {
    auto* block = static_cast<unsigned char*>(memory.allocate_zeroed(bytes));
    ASSERT_NE(block, nullptr) << bytes;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % alignof(std::max_align_t), 0u);
    if (bytes >= limit) {
      EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % (size_t{2} << 20), 0u);
    }
    size_t nonzero = 0;
    for (size_t i = 0; i < bytes; i += 509) nonzero += block[i] != 0;
    EXPECT_EQ(nonzero, 0u) << bytes;
    EXPECT_EQ(block[bytes - 1], 0);
    std::memset(block, 0xab, bytes);
    memory.release(block, bytes);
  }
  // A block handed out again after a release is zero once more.
  auto* again = static_cast<unsigned char*>(memory.allocate_zeroed(limit));
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again[12345], 0);
  memory.release(again, limit);
}

TEST(MemoryService, ImpossibleSizesAreRefused) {
  MemoryService& memory = os_memory();
  EXPECT_EQ(memory.allocate_zeroed(0), nullptr);
  EXPECT_EQ(memory.allocate_zeroed(SIZE_MAX), nullptr);
  EXPECT_EQ(memory.allocate_zeroed(SIZE_MAX - (size_t{3} << 20)), nullptr);
  EXPECT_EQ(memory.allocate_zeroed(size_t{1} << 62), nullptr);  // far beyond any machine
  memory.release(nullptr, 100);
}

}  // namespace
}  // namespace qrn
