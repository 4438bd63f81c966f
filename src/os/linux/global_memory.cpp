// Movable memory blocks. A handle is only ever used after it is found in the
// registry of live blocks, so a freed or made-up handle is refused instead of
// read; a second map from data pointer to block answers GlobalHandle.
#include <cstdint>
#include <cstdlib>
#include <new>
#include <unordered_map>
#include <unordered_set>

#include "os/win32.h"

namespace tolvane {

// Fixed and movable blocks are the same thing here: the data never moves.
struct TGlobalBlock {
  SIZE_T Size;
  UINT LockCount;
  unsigned char* Data;
};

namespace {

std::unordered_set<TGlobalBlock*> LiveBlocks;
std::unordered_map<const void*, TGlobalBlock*> BlockByData;

// No object may be larger than PTRDIFF_MAX; asking the allocator for more
// would also trip the sanitizers instead of merely failing.
const SIZE_T LargestBlock = static_cast<SIZE_T>(PTRDIFF_MAX);

bool IsLive(HGLOBAL block) {
  return block != nullptr && LiveBlocks.count(block) != 0;
}

bool Register(TGlobalBlock* block) {
  try {
    LiveBlocks.insert(block);
    BlockByData.emplace(block->Data, block);
    return true;
  } catch (const std::bad_alloc&) {
    LiveBlocks.erase(block);
    return false;
  }
}

void Release(TGlobalBlock* block) {
  std::free(block->Data);
  delete block;
}

}  // namespace

// A block of 0 bytes still gets a byte of storage, so that its data pointer
// is unique and leads back to it.
HGLOBAL GlobalAlloc(UINT /*flags*/, SIZE_T bytes) {
  if (bytes > LargestBlock) return nullptr;
  TGlobalBlock* block = new (std::nothrow) TGlobalBlock{bytes, 0, nullptr};
  if (block == nullptr) return nullptr;
  block->Data = static_cast<unsigned char*>(std::calloc(1, bytes == 0 ? 1 : bytes));
  if (block->Data == nullptr || !Register(block)) {
    Release(block);
    return nullptr;
  }
  return block;
}

LPVOID GlobalLock(HGLOBAL block) {
  if (!IsLive(block)) return nullptr;
  if (block->LockCount < UINT32_MAX) ++block->LockCount;
  return block->Data;
}

// Nonzero while the block stays locked, as on Windows; unlocking a block
// that is not locked is refused.
BOOL GlobalUnlock(HGLOBAL block) {
  if (!IsLive(block) || block->LockCount == 0) return 0;
  --block->LockCount;
  return block->LockCount != 0;
}

HGLOBAL GlobalFree(HGLOBAL block) {
  if (!IsLive(block)) return block;
  LiveBlocks.erase(block);
  BlockByData.erase(block->Data);
  Release(block);
  return nullptr;
}

HGLOBAL GlobalHandle(LPCVOID pointer) {
  auto found = BlockByData.find(pointer);
  return found != BlockByData.end() ? found->second : nullptr;
}

SIZE_T GlobalSize(HGLOBAL block) {
  return IsLive(block) ? block->Size : 0;
}

}  // namespace tolvane
