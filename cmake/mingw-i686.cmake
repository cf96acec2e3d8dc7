# Cross-compiles for 32-bit Windows, the host's architecture.
set(QMT_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# ctest runs the Windows test programs under a 64-bit Wine in WoW64 mode, inside the Wine chroot
# that scripts/test-windows.sh prepares (scripts/wine-chroot-run.sh).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-chroot-run.sh)
