# Cross-compiles for Windows with Debian's mingw-w64 (posix-thread flavour), for the architecture
# QMT_MINGW_ARCH that the including toolchain file sets.
# Pass -DQMT_WINDOWS_DEPS=PREFIX (scripts/windows-deps.sh prints it) to find the dependencies.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${QMT_MINGW_ARCH})
set(CMAKE_C_COMPILER ${QMT_MINGW_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${QMT_MINGW_ARCH}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${QMT_MINGW_ARCH}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QMT_MINGW_ARCH}-w64-mingw32 ${QMT_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
