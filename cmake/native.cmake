# The native test build: the plug-in's sources on the simulated platform, with
# AddressSanitizer and UndefinedBehaviorSanitizer, the unit tests, the fuzz
# targets and the end-to-end tests (which run the Windows build under Wine).
# With KVT_SANITIZER=thread (the tsan preset) it is the unit tests alone under
# ThreadSanitizer, for the two threads the plug-in runs.
set(KVT_SANITIZER "address" CACHE STRING "address (with UBSan), thread, or none")
set(KVT_WINDOWS_BUILD "${CMAKE_SOURCE_DIR}/build/windows" CACHE PATH "Windows build folder for the end-to-end tests")
set(KVT_WINDOWS64_BUILD "${CMAKE_SOURCE_DIR}/build/windows64" CACHE PATH
  "64-bit Windows test build, run where 32-bit Windows programs cannot run")

# A field read without the lock it is guarded by, or locks taken against their
# declared order, fail the build.
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  set(KVT_LOCK_ANALYSIS -Wthread-safety -Wthread-safety-beta)
  list(APPEND KVT_WARNINGS ${KVT_LOCK_ANALYSIS})
endif()

if(KVT_SANITIZER STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(KVT_SANITIZER STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

file(GLOB KVT_SIM_SOURCES CONFIGURE_DEPENDS src/platform/sim/*.cpp)
add_library(kvt_plugin STATIC ${KVT_PLUGIN_SOURCES} ${KVT_SIM_SOURCES})
target_include_directories(kvt_plugin PUBLIC src)
target_include_directories(kvt_plugin SYSTEM PUBLIC "${KVT_DEP_INCLUDE}")
target_compile_options(kvt_plugin PRIVATE ${KVT_WARNINGS})
find_package(Threads REQUIRED)
target_link_libraries(kvt_plugin PUBLIC SDL3::SDL3-static Threads::Threads ${CMAKE_DL_LIBS} m)

enable_testing()
add_subdirectory(tools/guide)
add_subdirectory(tests)
option(KVT_BENCH "Build the benchmarks (scripts/bench.sh)" OFF)
if(KVT_BENCH)
  add_subdirectory(bench)
endif()
