// Memory blocks: the lock count, finding a block from its data, and every
// way a caller can hand in a handle that is not (or no longer) a block.
#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

#include "os/win32.h"

namespace tolvane {
namespace {

TEST(GlobalMemory, BlockFoundOnlyFromTheStartOfItsData) {
  for (UINT flags : {static_cast<UINT>(GMEM_MOVEABLE), 0u}) {
    HGLOBAL block = GlobalAlloc(flags, 16);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalSize(block), 16u);
    auto* data = static_cast<unsigned char*>(GlobalLock(block));
    ASSERT_NE(data, nullptr);
    std::memset(data, 0xAB, 16);
    EXPECT_EQ(GlobalHandle(data), block);
    EXPECT_EQ(GlobalHandle(data + 1), nullptr);
    EXPECT_EQ(GlobalHandle(data + 16), nullptr);
    EXPECT_EQ(GlobalHandle(nullptr), nullptr);
    EXPECT_EQ(GlobalLock(block), data);
    EXPECT_NE(GlobalUnlock(block), 0);  // still locked once
    EXPECT_EQ(GlobalUnlock(block), 0);
    EXPECT_EQ(GlobalUnlock(block), 0);  // was not locked
    EXPECT_EQ(GlobalLock(block), data);
    EXPECT_EQ(GlobalFree(block), nullptr);
    EXPECT_EQ(GlobalHandle(data), nullptr);
  }
}

TEST(GlobalMemory, EmptyBlocksAreDistinctAndValid) {
  HGLOBAL first = GlobalAlloc(GMEM_MOVEABLE, 0);
  HGLOBAL second = GlobalAlloc(GMEM_MOVEABLE, 0);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_EQ(GlobalSize(first), 0u);
  void* firstData = GlobalLock(first);
  void* secondData = GlobalLock(second);
  ASSERT_NE(firstData, nullptr);
  EXPECT_NE(firstData, secondData);
  EXPECT_EQ(GlobalHandle(firstData), first);
  EXPECT_EQ(GlobalHandle(secondData), second);
  EXPECT_EQ(GlobalFree(first), nullptr);
  EXPECT_EQ(GlobalHandle(secondData), second);
  EXPECT_EQ(GlobalFree(second), nullptr);
}

TEST(GlobalMemory, AbsurdSizesAreRefused) {
  for (SIZE_T bytes : {SIZE_MAX, SIZE_MAX - 1, static_cast<SIZE_T>(PTRDIFF_MAX) + 1}) {
    EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, bytes), nullptr) << bytes;
  }
}

TEST(GlobalMemory, FreedAndUnknownHandlesAreRefused) {
  HGLOBAL kept = GlobalAlloc(GMEM_MOVEABLE, 4);
  HGLOBAL freed = GlobalAlloc(GMEM_MOVEABLE, 8);
  ASSERT_NE(kept, nullptr);
  ASSERT_NE(freed, nullptr);
  std::memcpy(GlobalLock(kept), "abc", 4);
  void* freedData = GlobalLock(freed);
  ASSERT_EQ(GlobalFree(freed), nullptr);

  int local = 0;
  HGLOBAL madeUp = reinterpret_cast<HGLOBAL>(&local);
  HGLOBAL interior = reinterpret_cast<HGLOBAL>(static_cast<char*>(GlobalLock(kept)) + 1);
  for (HGLOBAL bad : {freed, madeUp, interior, static_cast<HGLOBAL>(nullptr)}) {
    EXPECT_EQ(GlobalSize(bad), 0u);
    EXPECT_EQ(GlobalLock(bad), nullptr);
    EXPECT_EQ(GlobalUnlock(bad), 0);
    EXPECT_EQ(GlobalFree(bad), bad);
  }
  EXPECT_EQ(GlobalHandle(freedData), nullptr);
  EXPECT_EQ(local, 0);
  EXPECT_STREQ(static_cast<char*>(GlobalLock(kept)), "abc");
  EXPECT_EQ(GlobalSize(kept), 4u);
  EXPECT_EQ(GlobalFree(kept), nullptr);
  EXPECT_EQ(GlobalFree(kept), kept);
}

}  // namespace
}  // namespace tolvane
