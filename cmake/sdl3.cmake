# SDL3 as scripts/setup.sh built it: static, per version, one build for the
# native tests, one for MinGW i686 and one for MinGW x86_64, under ${KVT_DEPS}/sdl3-<version>/. The
# version is the pinned one, or the one setup.sh recorded when Debian served
# another.
set(KVT_SDL_VERSION 3.2.10)
if(NOT EXISTS "${KVT_DEPS}/sdl3-${KVT_SDL_VERSION}" AND EXISTS "${KVT_DEPS}/sdl3-version")
  file(STRINGS "${KVT_DEPS}/sdl3-version" KVT_SDL_VERSION LIMIT_COUNT 1)
endif()
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(KVT_SDL_PREFIX "${KVT_DEPS}/sdl3-${KVT_SDL_VERSION}/mingw64")
elseif(WIN32)
  set(KVT_SDL_PREFIX "${KVT_DEPS}/sdl3-${KVT_SDL_VERSION}/mingw")
else()
  set(KVT_SDL_PREFIX "${KVT_DEPS}/sdl3-${KVT_SDL_VERSION}/native")
endif()
if(NOT EXISTS "${KVT_SDL_PREFIX}/lib/cmake/SDL3/SDL3Config.cmake")
  message(FATAL_ERROR "SDL3 is not built in ${KVT_SDL_PREFIX}; run scripts/setup.sh first")
endif()
# The cross build searches only below its find root; the cache is outside it.
find_package(SDL3 REQUIRED CONFIG COMPONENTS SDL3-static
  PATHS "${KVT_SDL_PREFIX}" NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
