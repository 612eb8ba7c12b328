# Cross toolchain for the 32-bit Windows targets (the DLL and the simulated host).
set(KVT_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
