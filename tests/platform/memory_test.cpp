// The memory service: zero-filled blocks on both sides of the sizes where blocks stop coming
// from the C heap (64 KiB) and where they become fresh huge-page mappings (2 MiB), blocks
// kept for reuse coming back cleared, and refusals instead of throws.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/memory.h"

namespace qrn {
namespace {

constexpr size_t kKib = 1024, kMib = 1024 * 1024;

bool all_zero(const unsigned char* block, size_t bytes) {
  for (size_t i = 0; i < bytes; i += 251) {
    if (block[i]) return false;
  }
  return block[bytes - 1] == 0;
}

TEST(MemoryService, BlocksAreZeroWritableAndGivenBack) {
  MemoryService memory;
  for (size_t bytes : {size_t{1}, 64 * kKib - 1, 64 * kKib, 64 * kKib + 1, 2 * kMib - 1, 2 * kMib,
                       2 * kMib + 1, 5 * kMib}) {
    auto* block = static_cast<unsigned char*>(memory.allocate_zeroed(bytes));
    ASSERT_NE(block, nullptr) << bytes;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % alignof(std::max_align_t), 0u);
    if (bytes >= 2 * kMib) {
      EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % (2 * kMib), 0u);
    }
    EXPECT_TRUE(all_zero(block, bytes)) << bytes;
    std::memset(block, 0xab, bytes);
    memory.release(block, bytes);
  }
}

// Middle-sized blocks given back are kept and handed out again, cleared when asked for
// zeroed; past the number kept, blocks go back to the system.
TEST(MemoryService, KeptBlocksComeBackCleared) {
  MemoryService memory;
  std::vector<unsigned char*> blocks;
  for (int i = 0; i < 12; ++i) {
    auto* block = static_cast<unsigned char*>(i % 3 ? memory.allocate_zeroed(300 * kKib)
                                                    : memory.allocate(300 * kKib));
    ASSERT_NE(block, nullptr);
    std::memset(block, 0x5a, 300 * kKib);
    blocks.push_back(block);
  }
  for (unsigned char* block : blocks) memory.release(block, 300 * kKib);
  int reused = 0;
  for (int i = 0; i < 12; ++i) {
    // A smaller request of the same size class takes a kept block too.
    size_t bytes = i % 2 ? 300 * kKib : 260 * kKib;
    auto* block = static_cast<unsigned char*>(memory.allocate_zeroed(bytes));
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(all_zero(block, bytes)) << i;
    for (unsigned char* old : blocks) reused += old == block;
    memory.release(block, bytes);
  }
  EXPECT_GT(reused, 0);
  // Blocks of unspecified contents are usable at their full size, kept or fresh.
  for (size_t bytes : {100 * kKib, 8 * kMib, 8 * kMib + 1, 20 * kMib}) {
    for (int round = 0; round < 2; ++round) {
      auto* block = static_cast<unsigned char*>(memory.allocate(bytes));
      ASSERT_NE(block, nullptr) << bytes;
      block[0] = block[bytes - 1] = 7;
      memory.release(block, bytes);
    }
  }
}

TEST(MemoryService, ImpossibleSizesAreRefused) {
  MemoryService& memory = os_memory();
  EXPECT_EQ(memory.allocate_zeroed(0), nullptr);
  EXPECT_EQ(memory.allocate_zeroed(SIZE_MAX), nullptr);
  EXPECT_EQ(memory.allocate_zeroed(SIZE_MAX - 3 * kMib), nullptr);
  EXPECT_EQ(memory.allocate_zeroed(size_t{1} << 62), nullptr);  // far beyond any machine
  memory.release(nullptr, 100);
}

}  // namespace
}  // namespace qrn
