#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "controls/heap_policy.h"

namespace zv {
namespace {

// Keeps the compiler from leaving out a block that is only written and freed.
void Keep(void* p) { asm volatile("" : : "r"(p) : "memory"); }

size_t TakenFromTheSystem() { return mallinfo2().hblkhd; }

// Run in a freshly started process, whose heap, like the program's at the
// start of main, has no history (no free space left by earlier tests, which
// a block would be taken from first). Exits 0 when the 1 MB block was taken
// from the system and given back.
[[noreturn]] void FreedWindowThenPicture() {
  ReturnLargeBlocksToSystem();
  void* window = std::malloc(4 << 20);
  if (!window) std::_Exit(3);
  std::memset(window, 1, 4 << 20);
  Keep(window);
  std::free(window);

  const size_t before = TakenFromTheSystem();
  void* picture = std::malloc(1 << 20);
  if (!picture) std::_Exit(3);
  std::memset(picture, 1, 1 << 20);
  Keep(picture);
  const size_t during = TakenFromTheSystem();
  std::free(picture);
  const size_t after = TakenFromTheSystem();
  std::fprintf(stderr, "mapped bytes: %zu before, %zu with the block, %zu after it\n", before,
               during, after);
  std::_Exit(during >= before + (1 << 20) && after == before ? 0 : 1);
}

// glibc raises its limit for blocks taken from the system to the largest one
// freed so far: after a window's 4 MB backing store was freed, a 1 MB
// picture painted per paint came from the heap, left a hole there when freed,
// and the heap never gave it back (the soak's resident size grew in steps).
// Under the program's policy a large block is the system's and goes back.
TEST(HeapPolicyTest, LargeBlockIsGivenBackAfterALargerOneWasFreed) {
  if (!ReturnLargeBlocksToSystem()) GTEST_SKIP() << "not glibc's allocator (a sanitizer's?)";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(FreedWindowThenPicture(), ::testing::ExitedWithCode(0), "mapped bytes");
}

}  // namespace
}  // namespace zv
