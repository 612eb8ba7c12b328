# The product: KVTControls.dll, 32-bit, every dependency static, importing only
# system DLLs. Also the simulated host that loads it for the end-to-end tests.
file(GLOB KVT_WIN32_SOURCES CONFIGURE_DEPENDS src/platform/win32/*.cpp)

add_library(KVTControls SHARED ${KVT_PLUGIN_SOURCES} ${KVT_WIN32_SOURCES})
set_target_properties(KVTControls PROPERTIES PREFIX "" OUTPUT_NAME KVTControls)
target_include_directories(KVTControls PRIVATE src)
target_include_directories(KVTControls SYSTEM PRIVATE "${KVT_DEP_INCLUDE}")
target_compile_definitions(KVTControls PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
target_compile_options(KVTControls PRIVATE ${KVT_WARNINGS})
target_link_options(KVTControls PRIVATE -static -static-libgcc -static-libstdc++ -s
  -Wl,--enable-stdcall-fixup -Wl,--kill-at)
target_link_libraries(KVTControls PRIVATE kernel32 user32)

add_subdirectory(tools/simhost)
