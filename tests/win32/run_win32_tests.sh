#!/usr/bin/env bash
# Runs the Win32 tests of the Windows build under Wine, in a private clone of
# the project's Wine prefix. Fails when the test program is missing.
set -uo pipefail
win_build=${1:?usage: run_win32_tests.sh WINDOWS-BUILD}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
exe=$win_build/kvt_win32_tests.exe
[ -f "$exe" ] || { echo "win32: missing $exe; build the windows preset first"; exit 1; }
run_dir=$(mktemp -d "$win_build/win32-run.XXXXXX") || exit 1
cleanup() {
  [ -d "$run_dir/prefix" ] && WINEPREFIX=$run_dir/prefix wineserver -k >/dev/null 2>&1
  rm -rf "$run_dir"
}
trap cleanup EXIT
# shellcheck source=../e2e/wine_prefix.sh
. "$here/../e2e/wine_prefix.sh"
kvt_wine_prefix "$win_build" "$run_dir/prefix" "$run_dir/wineboot.log" || { echo "win32: no Wine prefix"; exit 1; }
unset DISPLAY
timeout -k 5 120 wine "$exe" --gtest_brief=1
