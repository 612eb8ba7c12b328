# Sourced by the scripts that run Windows programs under Wine. The project's
# prefix is made once per Windows build folder (about 10 s) under a lock; each
# run then plays in a hard-linked clone of it with its own wineserver, and the
# files Wine rewrites in place (registry, ini) are real copies.
#   kvt_wine_prefix WINDOWS-BUILD CLONE-DIR LOG-FILE   (exports WINEPREFIX)
#   kvt_start_xvfb RUN-DIR   (a private X server: sets xvfb_pid, exports DISPLAY)
#   kvt_wine32_runs          (whether this machine can run 32-bit Windows programs)
#   kvt_kernel_runs_32bit    (whether the kernel runs 32-bit programs at all)
#   kvt_pick_build BUILD32 BUILD64   (the build a run plays: sets kvt_build,
#                             kvt_bits, kvt_wine; fails with the reasons)

# What a Windows test or run exits with where it cannot run at all; ctest
# shows it as skipped.
KVT_SKIP_STATUS=77

# The simulated host and the DLL are 32-bit, and so is the Wine that runs
# them: a kernel built without 32-bit support ("Exec format error") can run
# none of it. The reason goes to standard error.
kvt_wine32_runs() {
  local loader=/usr/lib/wine/wine why
  if ! why=$(kvt_kernel_runs_32bit 2>&1); then
    echo "$why, so Wine cannot run the 32-bit simulated host and Windows tests here" >&2
    return 1
  fi
  [ -x "$loader" ] || { echo "no 32-bit Wine at $loader (see scripts/setup.sh)" >&2; return 1; }
  "$loader" --version >/dev/null 2>&1 && return 0
  echo "the 32-bit Wine at $loader does not start" >&2
  return 1
}
# A tiny i386 program made with the assembler that comes with g++: it runs
# only where the kernel runs 32-bit code natively. A kernel without 32-bit
# support can still start i386 programs through a CPU emulator registered
# with it, but then every Wine start takes minutes and each run ends in its
# timeout: that is no test, so it does not count.
kvt_kernel_runs_32bit() {
  local dir status
  if grep -qs "^interpreter .*qemu-i386" /proc/sys/fs/binfmt_misc/*; then
    echo "32-bit programs here run only through a CPU emulator, too slow for the Windows tests" >&2
    return 1
  fi
  command -v as >/dev/null && command -v ld >/dev/null || { echo "no assembler to probe for 32-bit support" >&2; return 1; }
  dir=$(mktemp -d) || return 1
  printf '.globl _start\n_start:\n movl $1, %%eax\n xorl %%ebx, %%ebx\n int $0x80\n' >"$dir/probe.s"
  as --32 -o "$dir/probe.o" "$dir/probe.s" 2>/dev/null && ld -m elf_i386 -o "$dir/probe" "$dir/probe.o" 2>/dev/null &&
    "$dir/probe" 2>/dev/null
  status=$?
  rm -rf "$dir"
  [ "$status" = 0 ] || echo "the kernel runs no 32-bit programs" >&2
  return "$status"
}

# The 64-bit Wine, for the 64-bit test build.
KVT_WINE64=/usr/lib/wine/wine64
kvt_wine64_runs() {
  [ -x "$KVT_WINE64" ] || { echo "no 64-bit Wine at $KVT_WINE64 (see scripts/setup.sh)" >&2; return 1; }
  "$KVT_WINE64" --version >/dev/null 2>&1 && return 0
  echo "the 64-bit Wine at $KVT_WINE64 does not start" >&2
  return 1
}

# The product is 32-bit and runs where 32-bit Wine runs; elsewhere the 64-bit
# test build (the windows64 preset) plays the same scenarios under wine64.
# Sets kvt_build (the folder), kvt_bits (32 or 64) and kvt_wine (the program
# that starts Windows programs); kvt_why32 says why 32 bits did not run.
# Fails, with both reasons on standard error, when neither can run.
kvt_pick_build() {
  local build32=$1 build64=${2:-} why64
  if kvt_why32=$(kvt_wine32_runs 2>&1); then
    kvt_build=$build32 kvt_bits=32 kvt_wine=wine
    return 0
  fi
  if [ -n "$build64" ] && why64=$(kvt_wine64_runs 2>&1); then
    kvt_build=$build64 kvt_bits=64 kvt_wine=$KVT_WINE64
    export WINELOADER=$KVT_WINE64 WINEARCH=win64
    return 0
  fi
  echo "$kvt_why32${build64:+; and $why64}" >&2
  return 1
}

kvt_wine_prefix() {
  local win_build=$1 clone=$2 log=$3
  local template=$win_build/wineprefix
  # KVT_WINEDEBUG (e.g. +loaddll) lets a failing run show what Wine did.
  export WINEDEBUG=${KVT_WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
  (
    flock 9
    if [ ! -f "$template/.kvt-ready" ]; then
      rm -rf "$template"
      WINEPREFIX=$template "${kvt_wine:-wine}" wineboot -i >"$log" 2>&1 &&
        WINEPREFIX=$template wineserver -w &&
        touch "$template/.kvt-ready"
    fi
  ) 9>"$win_build/wineprefix.lock"
  if [ ! -f "$template/.kvt-ready" ]; then
    cat "$log" >&2
    return 1
  fi
  cp -al "$template" "$clone" || return 1
  find "$clone" -maxdepth 1 -name '*.reg' -exec sh -c 'cp --remove-destination "$1/$(basename "$2")" "$2"' _ "$template" {} \;
  find "$clone/drive_c/windows" -maxdepth 1 -name '*.ini' \
    -exec sh -c 'cp --remove-destination "$1/drive_c/windows/$(basename "$2")" "$2"' _ "$template" {} \;
  export WINEPREFIX=$clone
}

# -displayfd makes the server pick a free display number itself, so runs can
# go in parallel. The caller kills xvfb_pid when it is done.
kvt_start_xvfb() {
  local run_dir=$1 display
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$run_dir/display" 2>"$run_dir/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$run_dir/display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  display=$(head -n1 "$run_dir/display" 2>/dev/null)
  if [ -z "$display" ]; then
    cat "$run_dir/xvfb.log" >&2
    return 1
  fi
  export DISPLAY=":$display"
}

# The controller stand-in (tests/e2e/pad): Wine's HID bus offers SDL2's
# joysticks to Windows programs, and the stand-in, preloaded into the bus's
# process, attaches SDL2 virtual joysticks there. Built once per Windows build
# folder, under a lock; sets kvt_pad_library, or fails with the reason on
# standard error (no SDL2, no native compiler, a device process the 64-bit
# stand-in cannot enter).
#   kvt_pad_standin WINDOWS-BUILD WINEPREFIX
kvt_pad_standin() {
  local win_build=$1 prefix=$2 source dir arch why
  source=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/pad
  dir=$win_build/pad-standin
  # The device process is as wide as the prefix, not as the build that plays
  # in it: Debian's Wine makes a 64-bit prefix wherever wine64 is installed,
  # and the 32-bit build then plays beside a 64-bit device process.
  arch=$(sed -n 's/^#arch=//p' "$prefix/system.reg" 2>/dev/null)
  if [ "$arch" != win64 ]; then
    echo "the Wine prefix is ${arch:-of no known architecture}, not win64, so its device process is one the 64-bit controller stand-in cannot enter" >&2
    return 1
  fi
  why=$(kvt_wine64_runs 2>&1) || { echo "$why, which the device process of this win64 prefix needs" >&2; return 1; }
  # ldconfig lives in /sbin, which a user's PATH may lack.
  if ! { PATH=$PATH:/sbin:/usr/sbin ldconfig -p; } 2>/dev/null | grep -q 'libSDL2-2\.0\.so\.0 (libc6,x86-64)'; then
    echo "SDL2 (libSDL2-2.0.so.0, Debian's libsdl2-2.0-0) is not installed, so Wine's HID bus offers no controller (see scripts/setup.sh)" >&2
    return 1
  fi
  (
    flock 9
    cmake -S "$source" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >"$dir.log" 2>&1 &&
      cmake --build "$dir" >>"$dir.log" 2>&1
  ) 9>"$win_build/pad-standin.lock" || {
    cat "$dir.log" >&2
    echo "the controller stand-in did not build" >&2
    return 1
  }
  # ld.so expands $LIB per process: the 64-bit ones load the stand-in, the
  # 32-bit ones its empty twin, so they have no wrong-class library to report.
  kvt_pad_library=$dir/\$LIB/libkvt_pad_standin.so
}
