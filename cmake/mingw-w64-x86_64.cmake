# Cross build for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64).
# The program is linked statically, C++ and GCC runtimes and zlib included,
# so that tolvane.exe runs on a Windows machine with nothing installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TOLVANE_MINGW_TRIPLET x86_64-w64-mingw32)

# The posix threading flavour carries the whole C++ library; its thread
# support is linked in statically like the rest.
find_program(CMAKE_C_COMPILER NAMES ${TOLVANE_MINGW_TRIPLET}-gcc-posix ${TOLVANE_MINGW_TRIPLET}-gcc
             REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${TOLVANE_MINGW_TRIPLET}-g++-posix ${TOLVANE_MINGW_TRIPLET}-g++
             REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${TOLVANE_MINGW_TRIPLET}-windres)

# Libraries and headers of the target come from the mingw sysroot only;
# programs (the compiler, pkg-config) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${TOLVANE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config must describe the target's zlib (libz-mingw-w64-dev), never the
# build machine's.
set(ENV{PKG_CONFIG_LIBDIR} /usr/${TOLVANE_MINGW_TRIPLET}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
