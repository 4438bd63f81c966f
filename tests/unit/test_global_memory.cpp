// Memory blocks: the lock count, finding a block from its data, and every
// way a caller can hand in a handle that is not (or no longer) a block.
#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

#include "os/win32.h"

namespace tolvane {
namespace {

TEST(GlobalMemory, LocksAndFindingTheBlock) {
  for (SIZE_T bytes : {SIZE_T{16}, SIZE_T{0}}) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
    HGLOBAL other = GlobalAlloc(0, bytes);
    ASSERT_NE(block, nullptr);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(GlobalSize(block), bytes);
    auto* data = static_cast<char*>(GlobalLock(block));
    ASSERT_NE(data, nullptr);
    EXPECT_NE(GlobalLock(other), data);
    EXPECT_EQ(GlobalHandle(data), block);
    EXPECT_EQ(GlobalHandle(data + 1), nullptr);
    EXPECT_EQ(GlobalLock(block), data);
    EXPECT_NE(GlobalUnlock(block), 0);  // still locked once
    EXPECT_EQ(GlobalUnlock(block), 0);
    EXPECT_EQ(GlobalUnlock(block), 0);  // was not locked
    EXPECT_EQ(GlobalFree(block), nullptr);
    EXPECT_EQ(GlobalHandle(data), nullptr);
    EXPECT_EQ(GlobalFree(other), nullptr);
  }
  for (SIZE_T bytes : {SIZE_MAX, static_cast<SIZE_T>(PTRDIFF_MAX) + 1}) {
    EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, bytes), nullptr) << bytes;
  }
}

TEST(GlobalMemory, FreedAndUnknownHandlesAreRefused) {
  HGLOBAL kept = GlobalAlloc(GMEM_MOVEABLE, 4);
  HGLOBAL freed = GlobalAlloc(GMEM_MOVEABLE, 8);
  ASSERT_NE(kept, nullptr);
  ASSERT_NE(freed, nullptr);
  char* keptData = static_cast<char*>(GlobalLock(kept));
  std::memcpy(keptData, "abc", 4);
  ASSERT_EQ(GlobalFree(freed), nullptr);
  int local = 0;
  HGLOBAL madeUp[] = {freed, reinterpret_cast<HGLOBAL>(&local),
                      reinterpret_cast<HGLOBAL>(keptData), nullptr};
  for (HGLOBAL bad : madeUp) {
    EXPECT_EQ(GlobalSize(bad), 0u);
    EXPECT_EQ(GlobalLock(bad), nullptr);
    EXPECT_EQ(GlobalUnlock(bad), 0);
    EXPECT_EQ(GlobalFree(bad), bad);
  }
  EXPECT_EQ(local, 0);
  EXPECT_STREQ(static_cast<char*>(GlobalLock(kept)), "abc");
  EXPECT_EQ(GlobalFree(kept), nullptr);
  EXPECT_EQ(GlobalFree(kept), kept);
}

}  // namespace
}  // namespace tolvane
