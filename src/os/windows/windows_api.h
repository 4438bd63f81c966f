// The system's own declarations, for the files of the Windows layer.
// Include it after every project header: <windows.h> defines HORZSIZE,
// TRANSPARENT, MB_OK and many more as macros, which must not reach the
// declarations of os/win32.h. Code below both sees the macros, whose values
// are the ones os/win32.h gives.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
