#!/usr/bin/env bash
# Runs the Win32 tests of the Windows build under Wine, in a private clone of
# the project's Wine prefix and on a private X server: the keyboard tests need
# a window that can take the focus. Fails when the test program is missing.
set -uo pipefail
win_build=${1:?usage: run_win32_tests.sh WINDOWS-BUILD [WINDOWS64-BUILD]}
win64_build=${2:-}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../e2e/wine_prefix.sh
. "$here/../e2e/wine_prefix.sh"
# The 32-bit build where 32-bit Wine runs, else the 64-bit test build.
if ! kvt_pick_build "$win_build" "$win64_build"; then
  echo "win32: SKIPPED: no Windows program runs on this machine"
  exit "$KVT_SKIP_STATUS"
fi
win_build=$(cd "$kvt_build" 2>/dev/null && pwd) || { echo "win32: no build folder $kvt_build"; exit 1; }
if [ "$kvt_bits" = 32 ]; then
  echo "win32: the tests of the 32-bit build $win_build"
else
  echo "win32: the tests of the 64-bit test build $win_build, since $kvt_why32"
fi
exe=$win_build/kvt_win32_tests.exe
for artefact in "$exe" "$win_build/vr_standin.dll" "$win_build/vr_standin_no_entry.dll" "$win_build/fmod_standin.dll"; do
  [ -f "$artefact" ] || { echo "win32: missing $artefact; build the windows preset (windows64 on this machine) first"; exit 1; }
done
run_dir=$(mktemp -d "$win_build/win32-run.XXXXXX") || exit 1
xvfb_pid=""
cleanup() {
  [ -d "$run_dir/prefix" ] && WINEPREFIX=$run_dir/prefix wineserver -k >/dev/null 2>&1
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  rm -rf "$run_dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

kvt_start_xvfb "$run_dir" || { echo "win32: Xvfb did not start"; exit 1; }
kvt_wine_prefix "$win_build" "$run_dir/prefix" "$run_dir/wineboot.log" || { echo "win32: no Wine prefix"; exit 1; }
# The test program plays the host, so its folder is the host directory whose
# Plugins folder the tests fill: a private copy keeps parallel runs apart.
mkdir -p "$run_dir/game" || exit 1
cp "$exe" "$win_build/vr_standin.dll" "$win_build/vr_standin_no_entry.dll" "$win_build/fmod_standin.dll" "$run_dir/game/" || exit 1
cd "$run_dir/game" && timeout -k 5 120 "$kvt_wine" ./kvt_win32_tests.exe --gtest_brief=1
