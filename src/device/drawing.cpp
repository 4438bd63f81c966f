// The drawing calls: background mode, text and bitmaps. A bitmap comes as two
// bare pointers; the memory block that holds it is found here once, so that
// no backend ever has to trust a size that the bitmap header claims.
#include <cstdint>

#include "device/device.h"

namespace tolvane {

namespace {

// Pointers are compared as integers: they may lie in different objects, and
// the difference of such pointers is undefined in C++.
uintptr_t Address(const void* pointer) { return reinterpret_cast<uintptr_t>(pointer); }

int64_t Offset(const void* from, const void* to) {
  return static_cast<int64_t>(static_cast<uint64_t>(Address(to) - Address(from)));
}

// The part of info's memory block from info to the block's end.
TBitmapBlock LocateBlock(const void* bits, const BITMAPINFO* info) {
  TBitmapBlock block{nullptr, 0, Offset(info, bits), false};
  HGLOBAL handle = info ? GlobalHandle(info) : nullptr;
  if (!handle) return block;
  SIZE_T size = GlobalSize(handle);
  // Locking is the only way to learn where the block starts; the job holds
  // it locked already, so locking once more and unlocking changes nothing.
  const void* start = GlobalLock(handle);
  GlobalUnlock(handle);
  if (!start || Address(info) < Address(start) || Address(info) - Address(start) >= size)
    return block;
  block.Data = reinterpret_cast<const uint8_t*>(info);
  block.Size = size - (Address(info) - Address(start));
  block.Located = true;
  return block;
}

}  // namespace

int SetBkMode(HDC dc, int mode) {
  if (!IsLiveContext(dc)) return 0;
  dc->Backend->SetBkMode(dc, mode);
  if (mode != TRANSPARENT && mode != OPAQUE) return 0;
  int previous = dc->BkMode;
  dc->BkMode = mode;
  return previous;
}

namespace {

[[gnu::noinline]] BOOL TextOutOnOlderContext(HDC dc, int x, int y, LPCSTR text, int count) {
  if (!IsLiveContext(dc)) return 0;
  dc->Backend->TextOutput(dc, x, y, text ? text : "", count);
  return 1;
}

}  // namespace

BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int count) {
  if (count < 0 || (!text && count > 0)) return 0;
  // A job draws every byte of its report on the context it made last: that
  // one goes straight through, saving nothing it need not.
  if (!dc || dc != NewestContext) return TextOutOnOlderContext(dc, x, y, text, count);
  dc->Backend->TextOutput(dc, x, y, text ? text : "", count);
  return 1;
}

int StretchDIBits(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc,
                  int ySrc, int srcWidth, int srcHeight, const void* bits,
                  const BITMAPINFO* info, UINT usage, DWORD rop) {
  if (!IsLiveContext(dc)) return 0;
  TStretchCall call{xDest, yDest, destWidth, destHeight, xSrc, ySrc, srcWidth, srcHeight,
                    LocateBlock(bits, info), usage, rop};
  return dc->Backend->StretchDIBits(dc, call);
}

}  // namespace tolvane
