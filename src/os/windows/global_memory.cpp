// Memory blocks: the system's own global memory. A handle of ours is the
// system's handle, only typed apart so that the job cannot mix it up.
#include "os/win32.h"
#include "os/windows/windows_api.h"

namespace tolvane {

namespace {

::HGLOBAL ToSystem(HGLOBAL block) { return reinterpret_cast<::HGLOBAL>(block); }
HGLOBAL FromSystem(::HGLOBAL block) { return reinterpret_cast<HGLOBAL>(block); }

}  // namespace

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) { return FromSystem(::GlobalAlloc(flags, bytes)); }

LPVOID GlobalLock(HGLOBAL block) { return ::GlobalLock(ToSystem(block)); }

BOOL GlobalUnlock(HGLOBAL block) { return ::GlobalUnlock(ToSystem(block)); }

HGLOBAL GlobalFree(HGLOBAL block) { return FromSystem(::GlobalFree(ToSystem(block))); }

HGLOBAL GlobalHandle(LPCVOID pointer) { return FromSystem(::GlobalHandle(pointer)); }

SIZE_T GlobalSize(HGLOBAL block) { return ::GlobalSize(ToSystem(block)); }

}  // namespace tolvane
