#!/usr/bin/env bash
# Installs what the project needs on a fresh Debian bookworm machine and builds
# SDL3 (static: native, MinGW i686 and MinGW x86_64) into a per-version cache.
# Idempotent: a second run installs nothing new and rebuilds nothing.
#   KVT_DEPS     where SDL3 is built (default ~/.cache/kvt-deps)
#   KVT_WINE32   auto (default: where the kernel runs 32-bit programs), yes or no
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
# The 32-bit Wine (wine32) runs the product itself, but only where the kernel
# runs 32-bit programs, and its i386 libraries need an i386 index that matches
# the amd64 one, which a mirror does not always serve. So it is installed on
# its own, after everything else: when it cannot be, the Windows tests run on
# the 64-bit test build under wine64 and the set-up goes on.
case "${KVT_WINE32:-auto}" in
  yes) want_wine32=1 ;;
  no) want_wine32=0 ;;
  auto) want_wine32=0; if kvt_kernel_runs_32bit 2>/dev/null; then want_wine32=1; fi ;;
  *) echo "setup: KVT_WINE32 is auto, yes or no, not '$KVT_WINE32'" >&2; exit 2 ;;
esac

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

# apt-get with its output also kept in LOG, for apt_reason.
apt_logged() { # LOG ARGS...
  local log=$1
  shift
  $SUDO apt-get "$@" 2>&1 | tee "$log"
}
# A mirror mid-sync fails one index now and then: try again, and if it still
# fails, go on with what was fetched; the install then says what is missing.
apt_update() { # LOG
  local attempt
  for attempt in 1 2 3; do
    apt_logged "$1" update -q && return 0
    echo "setup: apt-get update failed (attempt $attempt of 3)" >&2
    [ "$attempt" = 3 ] || sleep $((attempt * 10))
  done
  return 1
}

# apt's own words for a failure, shortened to one line: the first index that
# did not download, the first dependency it could not meet, its last error.
apt_reason() { # LOG...
  local reason
  reason=$({
    grep -h -m1 -oE 'Failed to fetch .*' "$@" | sed -E 's/^Failed to fetch [^ ]*\/([^/ ]+\/[^/ ]+\/[^/ ]+\/[^/ ]+) +/\1: /; s/ *\[IP:.*//' | head -n1
    grep -h -m1 -E ' : Depends: ' "$@" | sed -E 's/^ +//; s/ +/ /g' | head -n1
    grep -h -E '^E: ' "$@" | grep -v 'Failed to fetch\|Some index files' | tail -n1 | sed 's/^E: //'
  } | paste -sd';' - | sed 's/;/; /g') || true
  echo "${reason:-apt gave no reason; its output is above}"
}

log_dir=$(mktemp -d)
trap 'rm -rf "$log_dir"' EXIT

need_install=0
for p in "${PACKAGES[@]}"; do
  installed "$p" || need_install=1
done
src_list=${KVT_SDL_SOURCE_LIST:-/etc/apt/sources.list.d/kvt-trixie-src.sources}
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
  apt_update "$log_dir/update" || true
  if ! apt_logged "$log_dir/install" install -y -q --no-install-recommends "${PACKAGES[@]}"; then
    echo "setup: FAILED: the packages the build needs could not be installed ($(apt_reason "$log_dir/update" "$log_dir/install"))" >&2
    exit 1
  fi
fi

# A failed attempt is remembered for a day, so that every test run on such a
# machine does not spend a minute on an index that is still broken.
wine32_failed=$DEPS/wine32-failed
if [ "$want_wine32" = 1 ] && ! installed wine32; then
  if [ -n "$(find "$wine32_failed" -mmin -1440 2>/dev/null)" ]; then
    echo "setup: the 32-bit Wine (wine32) is not installed: it failed less than a day ago ($(cat "$wine32_failed")); delete $wine32_failed to try again now" >&2
  else
    added_i386=0
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      $SUDO dpkg --add-architecture i386
      added_i386=1
    fi
    apt_update "$log_dir/update32" || true
    if apt_logged "$log_dir/install32" install -y -q --no-install-recommends wine32; then
      rm -f "$wine32_failed"
    else
      apt_reason "$log_dir/update32" "$log_dir/install32" >"$wine32_failed"
      # The i386 architecture was added for wine32 alone: take it away again,
      # or every apt-get update on this machine would keep fetching (and
      # failing on) an index nothing here uses.
      kept=""
      if [ "$added_i386" = 1 ] && ! $SUDO dpkg --remove-architecture i386 2>/dev/null; then
        kept=" (the i386 architecture stays: some i386 package got installed)"
      fi
      echo "setup: the 32-bit Wine (wine32) could not be installed: $(cat "$wine32_failed")$kept; going on without it" >&2
    fi
  fi
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

# Which Wine is here decides which build the Windows tests play: say it last.
if why32=$(kvt_wine32_runs 2>&1); then
  echo "setup: ready (SDL3 in $DEPS); Wine: 32-bit and 64-bit, so the Windows tests run on the 32-bit build, the product"
elif kvt_wine64_runs 2>/dev/null; then
  echo "setup: ready (SDL3 in $DEPS); Wine: 64-bit only (${why32% (see*}), so the Windows tests run on the 64-bit test build"
else
  echo "setup: ready (SDL3 in $DEPS); Wine: none that starts (${why32% (see*}), so the Windows tests are skipped"
fi
