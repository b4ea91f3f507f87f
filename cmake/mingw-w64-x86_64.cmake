# Cross-building for 64-bit Windows with Debian's mingw-w64 (GCC with POSIX threads, so the
# C++ runtime's std::thread and std::mutex work), for the Windows program and its libraries:
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake ...
# Libraries and headers are searched in the Windows prefix that scripts/install-windows-deps
# fills (YARVIK_WINDOWS_PREFIX, third_party/windows/x86_64 by default) and in mingw's own
# root, never among the build machine's; programs (pkg-config, the compilers) are the build
# machine's. Programs built here run under wine, so tests run through it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(YARVIK_WINDOWS_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${YARVIK_WINDOWS_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${YARVIK_WINDOWS_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${YARVIK_WINDOWS_TRIPLE}-windres)
set(CMAKE_ASM_COMPILER ${YARVIK_WINDOWS_TRIPLE}-gcc-posix)

if(NOT YARVIK_WINDOWS_PREFIX)
  get_filename_component(YARVIK_WINDOWS_PREFIX ${CMAKE_CURRENT_LIST_DIR}/../third_party/windows/x86_64 ABSOLUTE)
endif()
set(YARVIK_WINDOWS_PREFIX ${YARVIK_WINDOWS_PREFIX} CACHE PATH "Where the Windows libraries are installed")
# Passed on to try_compile projects, which read this file again.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES YARVIK_WINDOWS_PREFIX)

set(CMAKE_FIND_ROOT_PATH ${YARVIK_WINDOWS_PREFIX} /usr/${YARVIK_WINDOWS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config reads the Windows prefix's .pc files (and mingw's zlib.pc) only, and answers
# with static linking's full list of libraries.
set(ENV{PKG_CONFIG_LIBDIR} "${YARVIK_WINDOWS_PREFIX}/lib/pkgconfig:/usr/${YARVIK_WINDOWS_TRIPLE}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
set(PKG_CONFIG_ARGN --static)

