// Scripted memory service (see fake_memory.h).
#include "platform/fake_memory.h"

namespace qrn {

void FakeMemory::release(void* block, size_t bytes) {
  if (!block) return;
  auto found = held.find(block);
  // A block this fake did not hand out, or given back with another size, is a caller's bug:
  // keep it recorded so the test sees it, rather than freeing it wrongly.
  if (found == held.end() || found->second != bytes) return;
  held.erase(found);
  MemoryService::release(block, bytes);
}

}  // namespace qrn
