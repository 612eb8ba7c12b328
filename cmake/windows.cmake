# The product: KVTControls.dll, 32-bit, every dependency static, importing only
# system DLLs. Also the simulated host that loads it and the tests of the Win32
# side that run under Wine.
#
# The same targets build as x86_64 (the windows64 preset) for machines that
# run no 32-bit code: a test build only, never packaged. Every host address is
# a 32-bit word there too, so each image whose addresses become host words, or
# that the patches' rel32 jumps and calls reach, lies at a fixed base below
# 2 GB rather than where x64 links by default (an exe at 0x140000000, DLLs
# above 4 GB, relocated at random).
set(KVT_WINDOWS64 OFF)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(KVT_WINDOWS64 ON)
endif()
function(kvt_low_image target base)
  if(KVT_WINDOWS64)
    target_link_options(${target} PRIVATE -Wl,--image-base,${base} -Wl,--disable-dynamicbase
      -Wl,--disable-high-entropy-va)
  endif()
endfunction()
file(GLOB KVT_WIN32_SOURCES CONFIGURE_DEPENDS src/platform/win32/*.cpp)

# The plug-in's code once, for the DLL and for the Win32 tests.
add_library(kvt_plugin_objects OBJECT ${KVT_PLUGIN_SOURCES} ${KVT_WIN32_SOURCES})
target_include_directories(kvt_plugin_objects PUBLIC src)
target_include_directories(kvt_plugin_objects SYSTEM PUBLIC "${KVT_DEP_INCLUDE}")
target_compile_definitions(kvt_plugin_objects PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
target_compile_options(kvt_plugin_objects PRIVATE ${KVT_WARNINGS})
# SDL3 static, with the system libraries it needs, and the keyboard reader's
# DirectInput 8 (dinput8.dll is a system DLL; the GUIDs and the keyboard data
# format are static data from MinGW's import libraries). The DLL imports
# nothing else.
target_link_libraries(kvt_plugin_objects PUBLIC SDL3::SDL3-static setupapi winmm imm32 version ole32 oleaut32
  uuid cfgmgr32 gdi32 user32 shell32 advapi32 dinput8 dxguid)

enable_language(RC)
configure_file(src/plugin/win32/version.rc.in "${CMAKE_BINARY_DIR}/version.rc" @ONLY)
add_library(KVTControls SHARED src/plugin/win32/dll_main.cpp "${CMAKE_BINARY_DIR}/version.rc")
set_target_properties(KVTControls PROPERTIES PREFIX "" OUTPUT_NAME KVTControls)
target_link_libraries(KVTControls PRIVATE kvt_plugin_objects kernel32 user32)
target_compile_options(KVTControls PRIVATE ${KVT_WARNINGS})
target_link_options(KVTControls PRIVATE -static -static-libgcc -static-libstdc++ -s
  -Wl,--enable-stdcall-fixup -Wl,--kill-at "-Wl,-Map=${CMAKE_BINARY_DIR}/KVTControls.map")
kvt_low_image(KVTControls 0x60000000)

add_subdirectory(tools/simhost)
add_subdirectory(tests/win32)

# The player's zip (scripts/package.sh): the DLL, the plug-in folder's samples
# and the guide with pictures the plug-in draws in the simulated host (of the
# 64-bit test build where 32-bit programs cannot run: build it first there).
if(KVT_WINDOWS64)
  return()
endif()
set(KVT_WINDOWS64_BUILD "${CMAKE_SOURCE_DIR}/build/windows64" CACHE PATH
  "64-bit test build whose simulated host draws the pictures where 32-bit programs cannot run")
add_custom_target(package_zip
  COMMAND bash "${CMAKE_SOURCE_DIR}/scripts/package.sh" "${CMAKE_BINARY_DIR}" "${PROJECT_VERSION}"
    "${KVT_WINDOWS64_BUILD}"
  DEPENDS KVTControls kvt-simhost kvt-simsession kvt-velmora-hub vr_standin fmod_standin
  USES_TERMINAL)
