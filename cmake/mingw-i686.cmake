# Cross-compiles for 32-bit Windows, the host's architecture (built, not run: see the README).
set(QMT_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
