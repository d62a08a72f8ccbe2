# Cross toolchain: 64-bit Windows with Debian's mingw-w64 (posix thread model).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# Both roots are needed: with PACKAGE mode ONLY, CMAKE_PREFIX_PATH alone does not
# reach the cross-built dependencies.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
if(DEFINED ENV{TESSEL_DEPS_PREFIX})
  list(APPEND CMAKE_FIND_ROOT_PATH "$ENV{TESSEL_DEPS_PREFIX}")
endif()
if(TESSEL_DEPS_PREFIX)
  list(APPEND CMAKE_FIND_ROOT_PATH "${TESSEL_DEPS_PREFIX}")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest and test discovery run the Windows executables under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
