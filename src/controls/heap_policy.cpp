#include "controls/heap_policy.h"

#include <malloc.h>

namespace zv {

bool ReturnLargeBlocksToSystem() {
  // Set by hand, glibc no longer moves the threshold, nor the trim threshold
  // with it, which stays at its default: the free top of the heap goes back
  // too.
  constexpr int kLargeBlock = 128 * 1024;
  return mallopt(M_MMAP_THRESHOLD, kLargeBlock) == 1;
}

bool GiveFreeHeapBack() { return malloc_trim(0) == 1; }

}  // namespace zv
