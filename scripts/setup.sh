#!/usr/bin/env bash
# Installs what the project needs on a fresh Debian bookworm machine and builds
# SDL3 (static: native, MinGW i686 and MinGW x86_64) into a per-version cache.
# Idempotent: a second run installs nothing new and rebuilds nothing.
set -euo pipefail

SDL_VERSION=3.2.10
DEPS="${KVT_DEPS:-$HOME/.cache/kvt-deps}"
mkdir -p "$DEPS"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

here="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=../tests/e2e/wine_prefix.sh
. "$here/tests/e2e/wine_prefix.sh"

PACKAGES=(cmake ninja-build g++ clang clang-format llvm libclang-rt-14-dev
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
  libsimpleini-dev nlohmann-json3-dev libgtest-dev googletest libbenchmark-dev
  zlib1g-dev wine wine64 xvfb xauth python3 dpkg-dev xz-utils cmark-gfm optipng
  libsdl2-2.0-0)
# libsdl2-2.0-0: Wine's HID bus offers SDL2's joysticks to Windows programs,
# which is how the controller scenarios' stand-in (tests/e2e/pad) reaches the
# plug-in.
# The 32-bit Wine only where the kernel runs 32-bit programs: elsewhere it
# cannot start, and its i386 libraries need an i386 index that may not match
# the amd64 one. The 64-bit test build runs under wine64 instead.
with_wine32=0
if kvt_kernel_runs_32bit 2>/dev/null; then
  with_wine32=1
  PACKAGES+=(wine32)
fi

need_install=0
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need_install=1
done
src_list=/etc/apt/sources.list.d/kvt-trixie-src.sources
if [ ! -f "$src_list" ]; then
  # SDL3 is not packaged for bookworm: take Debian's own source package of the
  # next release. Source entries only, so no binary package comes from trixie.
  $SUDO tee "$src_list" >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: trixie
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  need_install=1
fi
if [ "$need_install" = 1 ]; then
  if [ "$with_wine32" = 1 ]; then
    dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
  fi
  # A mirror mid-sync fails one index now and then: try again, and if it
  # still fails, go on when what the project needs can be installed anyway.
  for attempt in 1 2 3; do
    $SUDO apt-get update -q && break
    echo "setup: apt-get update failed (attempt $attempt of 3)" >&2
    [ "$attempt" = 3 ] || sleep $((attempt * 10))
  done
  $SUDO apt-get install -y -q --no-install-recommends "${PACKAGES[@]}"
fi

# The pinned version when Debian still serves it; otherwise the version Debian
# serves now, which becomes the cache's key and is written to sdl3-version.
sdl_root="$DEPS/sdl3-$SDL_VERSION"
if [ ! -f "$sdl_root/libsdl3_${SDL_VERSION}+ds.orig.tar.xz" ] && [ -f "$DEPS/sdl3-version" ]; then
  sdl_root="$DEPS/sdl3-$(cat "$DEPS/sdl3-version")"
fi
if ! ls "$sdl_root"/libsdl3_*.orig.tar.xz >/dev/null 2>&1; then
  download=$(mktemp -d "$DEPS/download.XXXXXX")
  (cd "$download" && { apt-get source --download-only "libsdl3=${SDL_VERSION}+ds-1" 2>/dev/null ||
    apt-get source --download-only libsdl3; })
  found=$(ls "$download"/libsdl3_*.orig.tar.xz | head -n1)
  version=$(basename "$found" | sed -E 's/^libsdl3_([0-9.]+).*$/\1/')
  [ -n "$version" ] || { echo "setup: no SDL3 source from Debian" >&2; exit 1; }
  [ "$version" = "$SDL_VERSION" ] || echo "setup: Debian serves SDL3 $version instead of $SDL_VERSION" >&2
  sdl_root="$DEPS/sdl3-$version"
  mkdir -p "$sdl_root"
  mv "$download"/* "$sdl_root/"
  rmdir "$download"
  echo "$version" >"$DEPS/sdl3-version"
fi
tarball=$(ls "$sdl_root"/libsdl3_*.orig.tar.xz | head -n1)
if [ ! -d "$sdl_root/src" ]; then
  rm -rf "$sdl_root/src.tmp" && mkdir -p "$sdl_root/src.tmp"
  tar -xf "$tarball" -C "$sdl_root/src.tmp" --strip-components=1
  mv "$sdl_root/src.tmp" "$sdl_root/src"
fi

COMMON=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TESTS=OFF
  -DSDL_EXAMPLES=OFF -DSDL_AUDIO=OFF -DSDL_RENDER=OFF -DSDL_GPU=OFF -DSDL_CAMERA=OFF
  -DSDL_OPENGL=OFF -DSDL_OPENGLES=OFF -DSDL_VULKAN=OFF -DSDL_DIALOG=OFF)

build_sdl() { # name, extra cmake args...
  local name=$1; shift
  local prefix="$sdl_root/$name"
  [ -f "$prefix/.done" ] && return 0
  rm -rf "$sdl_root/build-$name" "$prefix"
  cmake -S "$sdl_root/src" -B "$sdl_root/build-$name" "${COMMON[@]}" -DCMAKE_INSTALL_PREFIX="$prefix" "$@"
  cmake --build "$sdl_root/build-$name"
  cmake --install "$sdl_root/build-$name"
  rm -rf "$sdl_root/build-$name"
  touch "$prefix/.done"
}

build_sdl native -DSDL_X11=OFF -DSDL_WAYLAND=OFF -DSDL_KMSDRM=OFF -DSDL_DBUS=OFF -DSDL_IBUS=OFF \
  -DSDL_LIBURING=OFF -DSDL_UNIX_CONSOLE_BUILD=ON -DCMAKE_POSITION_INDEPENDENT_CODE=ON
build_sdl mingw -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake"
build_sdl mingw64 -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-x86_64.cmake"
echo "setup: dependencies ready in $DEPS"
