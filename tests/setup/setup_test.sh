#!/usr/bin/env bash
# The set-up's choices, played against stand-ins for apt-get, dpkg and
# dpkg-query on PATH (nothing installed, nothing fetched): a wine32 that
# cannot be installed never ends it, a package the build needs does.
set -uo pipefail
repo=${1:?usage: setup_test.sh REPOSITORY}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# SDL3 is already built in this cache, so only the packages are at stake.
sdl=$work/deps/sdl3-3.2.10
mkdir -p "$work/bin" "$sdl/src" "$sdl/native" "$sdl/mingw" "$sdl/mingw64"
touch "$sdl/libsdl3_3.2.10+ds.orig.tar.xz" "$sdl/native/.done" "$sdl/mingw/.done" "$sdl/mingw64/.done"
cat >"$work/bin/apt-get" <<'STANDIN'
#!/bin/sh
echo "apt-get $*" >>"$STATE/calls"
case "$*" in
  *install*wine32*) [ -z "$FAIL_WINE32" ] && exit 0
    echo " wine32:i386 : Depends: libwine:i386 (= 8.0~repack-4) but it is not going to be installed"
    echo "E: Unable to correct problems, you have held broken packages." >&2 && exit 100 ;;
  *install*) [ -z "$FAIL_BASE" ] || { echo "E: Unable to locate package cmark-gfm" >&2 && exit 100; } ;;
esac
STANDIN
cat >"$work/bin/dpkg" <<'STANDIN'
#!/bin/sh
case "$1" in
  --print-foreign-architectures) cat "$STATE/arch" ;;
  --add-architecture) echo "$2" >>"$STATE/arch" ;;
  --remove-architecture) sed -i "/^$2\$/d" "$STATE/arch" ;;
esac
STANDIN
printf '#!/bin/sh\nexit 1\n' >"$work/bin/dpkg-query" # nothing is installed
printf '#!/bin/sh\n' >"$work/bin/sleep"
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
chmod +x "$work/bin/"*

failed=0
# play NAME I386-BEFORE FAIL-WINE32 FAIL-BASE, then expect WHAT SHELL-CONDITION...
play() {
  name=$1
  [ "$name" = again ] || rm -f "$work/deps/wine32-failed"
  export STATE=$work/$1 FAIL_WINE32=$3 FAIL_BASE=$4
  mkdir -p "$STATE" && printf '%s' "$2" >"$STATE/arch" && : >"$STATE/calls"
  out=$(PATH=$work/bin:$PATH KVT_WINE32=yes KVT_DEPS=$work/deps KVT_SDL_SOURCE_LIST=$STATE/sources \
    bash "$repo/scripts/setup.sh" 2>&1)
  status=$? calls=$(cat "$STATE/calls") arch=$(cat "$STATE/arch")
}
expect() { eval "$2" || { echo "FAIL: $name: $1"; failed=1; }; }

play fallback "" 1 ""
expect "the set-up goes on" '[ "$status" = 0 ]'
expect "the build's packages in a call of their own" 'grep -qx "apt-get install -y -q --no-install-recommends cmake .* libsdl2-2.0-0" <<<"$calls"'
expect "apt's words in one line" 'grep -qF "setup: the 32-bit Wine (wine32) could not be installed: wine32:i386 : Depends: libwine:i386 (= 8.0~repack-4) but it is not going to be installed; Unable to correct problems, you have held broken packages.; going on" <<<"$out"'
expect "i386, added for wine32 alone, taken away again" '[ -z "$arch" ]'
play again "" 1 ""
expect "not tried again the same day" '[ "$status" = 0 ] && ! grep -q wine32 <<<"$calls"'
play i386_kept i386 1 ""
expect "i386, there before, kept" '[ "$status" = 0 ] && [ "$arch" = i386 ]'
play base_fails "" "" 1
expect "a package the build needs ends it, saying so" '[ "$status" != 0 ] && grep -qF "setup: FAILED: the packages the build needs could not be installed (Unable to locate package cmark-gfm)" <<<"$out"'
[ "$failed" = 0 ] && echo "setup: every case as expected"
exit "$failed"
