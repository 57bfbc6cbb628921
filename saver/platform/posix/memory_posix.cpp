// Aligned zero-filled blocks from the C library.
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

void* PlatformAllocateZeroed(size_t bytes) {
  const size_t rounded = (bytes + 63) & ~static_cast<size_t>(63);
  if (rounded < bytes) return nullptr;
  void* block = std::aligned_alloc(64, rounded);
  if (block != nullptr) std::memset(block, 0, rounded);
  return block;
}

void PlatformFreeZeroed(void* block) { std::free(block); }
