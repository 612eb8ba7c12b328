# Cross toolchain for the 64-bit Windows test build (the windows64 preset): the
# DLL, the simulated host and the Win32 tests as x86_64 programs, for machines
# whose kernel runs no 32-bit code. The product stays the i686 build.
set(KVT_MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
