# Builds the library, the dev server, qmtsr and the suites as 32-bit Linux programs:
# the width of the shipped library (32-bit size_t, long and pointers) on the development machine.
# The i386 packages live in Debian's multiarch folders beside the amd64 ones
# (scripts/test-i386.sh installs them); ctest runs the programs natively, or through qemu where
# the kernel runs no 32-bit program (binfmt_misc, set up by the same script).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -m32)
# Search only the i386 libraries; headers without an architecture (RapidJSON) are shared.
set(CMAKE_IGNORE_PATH /usr/lib/x86_64-linux-gnu /lib/x86_64-linux-gnu)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/i386-linux-gnu/pkgconfig:/usr/share/pkgconfig)
