#!/usr/bin/env bash
# End-to-end harness: plays one scenario in the simulated host under Wine
# against the Windows build's artefacts, in a fresh game folder, with a private
# X server and a private clone of the project's Wine prefix, so that runs can
# go in parallel. Exits with the simulated host's exit code (or, with
# --expect-exit, 0 exactly when the host exited as expected and printed every
# --expect-line).
set -uo pipefail

usage() {
  cat >&2 <<'USAGE'
usage: run_e2e.sh [options] SCENARIO.kvts [-- SIMHOST-ARGS...]
  --windows-build DIR   Windows build folder (default: $KVT_WINDOWS_BUILD or <repo>/build/windows)
  --windows64-build DIR the 64-bit test build, played where 32-bit Wine cannot run
                        (default: $KVT_WINDOWS64_BUILD or <repo>/build/windows64)
  --plugin FILE         DLL to install as Plugins/KVTControls.dll (default: the build's KVTControls.dll;
                        a file of the 32-bit build stands for its namesake in the 64-bit one)
  --game-dir DIR        play in this folder (emptied first) instead of a temporary one; kept afterwards
  --keep                keep the temporary game folder
  --expect-exit N       succeed only when the simulated host exits with N
  --expect-line TEXT    ... and prints a line containing TEXT (repeatable)
  --timeout SECONDS     give up on the whole run after this long (default 120)
A folder SCENARIO.files next to the scenario is copied into the game folder;
a file SCENARIO.then is played after it, once the game and Wine restarted.
A scenario whose first line reads "# 32-bit only: REASON" is reported skipped
on the 64-bit build, with that reason.
USAGE
  exit 2
}

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
win_build=${KVT_WINDOWS_BUILD:-$repo/build/windows}
win64_build=${KVT_WINDOWS64_BUILD:-$repo/build/windows64}
plugin=""
game_dir=""
keep=0
expect_exit=""
expect_lines=()
run_timeout=120
scenario=""
simhost_args=()

while [ $# -gt 0 ]; do
  case "$1" in
    --windows-build) win_build=$2; shift 2 ;;
    --windows64-build) win64_build=$2; shift 2 ;;
    --plugin) plugin=$2; shift 2 ;;
    --game-dir) game_dir=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    --expect-exit) expect_exit=$2; shift 2 ;;
    --expect-line) expect_lines+=("$2"); shift 2 ;;
    --timeout) run_timeout=$2; shift 2 ;;
    --) shift; simhost_args=("$@"); break ;;
    -*) usage ;;
    *) [ -z "$scenario" ] || usage; scenario=$1; shift ;;
  esac
done
[ -n "$scenario" ] || usage

fail() { echo "e2e: $*" >&2; exit 1; }
# What a scenario's @VERSION@ stands for: the version set once, in CMakeLists.txt.
KVT_VERSION=${KVT_VERSION:-$(sed -n 's/^project(KVTControls VERSION \([0-9.]*\).*/\1/p' "$repo/CMakeLists.txt")}
export KVT_VERSION

[ -f "$scenario" ] || fail "no scenario file $scenario"
scenario=$(cd "$(dirname "$scenario")" && pwd)/$(basename "$scenario")
# shellcheck source=wine_prefix.sh
. "$here/wine_prefix.sh"
no_wine=""
if kvt_pick_build "$win_build" "$win64_build" 2>"${TMPDIR:-/tmp}/kvt-pick.$$"; then
  if [ "$kvt_bits" = 64 ]; then
    case "$plugin" in "$win_build"/*) plugin=$kvt_build/${plugin#"$win_build"/} ;; esac
  fi
  win_build=$kvt_build
else
  no_wine=$(cat "${TMPDIR:-/tmp}/kvt-pick.$$")
fi
rm -f "${TMPDIR:-/tmp}/kvt-pick.$$"
[ -n "$plugin" ] || plugin=$win_build/KVTControls.dll
for artefact in "$win_build/kvt-simhost.exe" "$win_build/kvt-simsession.dll" "$win_build/VelmoraHub.dll" \
  "$win_build/vr_standin.dll" "$win_build/fmod_standin.dll" "$plugin"; do
  [ -f "$artefact" ] || fail "missing Windows artefact $artefact; build it first:" \
    "cmake --preset windows && cmake --build --preset windows" \
    "(on a machine without 32-bit programs: --preset windows64)"
done
for tool in wineboot wineserver Xvfb flock timeout; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (see scripts/setup.sh)"
done
if [ -n "$no_wine" ]; then
  echo "e2e: SKIPPED $(basename "$scenario"): no Windows program runs on this machine ($no_wine)" >&2
  exit "$KVT_SKIP_STATUS"
fi
only32=$(head -n1 "$scenario" | sed -n 's/^# 32-bit only: //p')
if [ "$kvt_bits" = 64 ] && [ -n "$only32" ]; then
  echo "e2e: SKIPPED $(basename "$scenario"): 32-bit only ($only32), and this machine runs only the 64-bit test build ($kvt_why32)"
  exit "$KVT_SKIP_STATUS"
fi
if [ "$kvt_bits" = 32 ]; then
  build_note="the 32-bit build $win_build"
else
  build_note="the 64-bit test build $win_build, since $kvt_why32"
fi

runs_root=$win_build/e2e-runs
mkdir -p "$runs_root" || fail "cannot create $runs_root"
run_dir=$(mktemp -d "$runs_root/$(basename "$scenario" .kvts).XXXXXX") || fail "cannot create a run folder"
if [ -n "$game_dir" ]; then
  mkdir -p "$game_dir" || fail "cannot create $game_dir"
  game=$(cd "$game_dir" && pwd)
  find "$game" -mindepth 1 -delete
else
  game=$run_dir/game
fi
prefix=$run_dir/prefix
xvfb_pid=""
pad_fd=""

cleanup() {
  if [ -d "$prefix" ]; then WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1; fi
  if [ -n "$pad_fd" ]; then exec {pad_fd}>&-; fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  if [ "$keep" = 1 ] && [ -z "$game_dir" ]; then
    rm -rf "$prefix"
    echo "e2e: game folder kept at $game" >&2
  else
    rm -rf "$run_dir"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mkdir -p "$game/Plugins"
# The hub library's stand-in waits in the game folder for a scenario's "load",
# the VR plug-in's for a "copy vr_standin.dll Plugins/openKVTVR.dll" (the
# plug-in looks for a VR plug-in once, so only scenarios about it install
# one), the sound library's for "copy fmod_standin.dll Plugins/KVTControls/fmod.dll".
cp "$win_build/kvt-simhost.exe" "$win_build/kvt-simsession.dll" "$win_build/VelmoraHub.dll" \
  "$win_build/vr_standin.dll" "$win_build/fmod_standin.dll" "$game/" || fail "cannot copy the simulated host"
cp "$plugin" "$game/Plugins/KVTControls.dll" || fail "cannot copy $plugin"
if [ -d "${scenario%.kvts}.files" ]; then cp -R "${scenario%.kvts}.files/." "$game/"; fi
cp "$scenario" "$game/scenario.kvts"

kvt_start_xvfb "$run_dir" || fail "Xvfb did not start"
display=${DISPLAY#:}
kvt_wine_prefix "$win_build" "$prefix" "$run_dir/wineboot.log" || fail "could not prepare the Wine prefix"

# A scenario that plays a controller ("pad ..." lines, "latency pad") needs
# the controller stand-in in the prefix's device process.
pad_library=""
if grep -qE '^[[:space:]]*(pad|latency[[:space:]]+pad)[[:space:]]' "$scenario"; then
  if ! kvt_pad_standin "$win_build" "$prefix" 2>"$run_dir/pad-why"; then
    echo "e2e: SKIPPED $(basename "$scenario"): it plays a controller, and $(tail -n1 "$run_dir/pad-why")"
    head -n -1 "$run_dir/pad-why" >&2
    exit "$KVT_SKIP_STATUS"
  fi
  pad_library=$kvt_pad_library
fi

pad_env=()
if [ -n "$pad_library" ]; then
  # The stand-in must be in the environment that starts this prefix's Wine
  # services (its own wineserver starts with the simulated host), and the
  # FIFO is held open here, read and write, so that neither side's open ever
  # waits for the other.
  mkfifo "$run_dir/pad.fifo" || fail "cannot make the controller FIFO"
  exec {pad_fd}<>"$run_dir/pad.fifo"
  pad_env=(env "LD_PRELOAD=$pad_library" "KVT_PAD_FIFO=$run_dir/pad.fifo")
  build_note="$build_note, with the controller stand-in"
fi

echo "e2e: $(basename "$scenario") on $build_note, in $game (display :$display)"
play() {
  (cd "$game" && timeout -k 5 "$run_timeout" "${pad_env[@]}" "$kvt_wine" kvt-simhost.exe "${simhost_args[@]}" scenario.kvts) \
    >>"$run_dir/output" 2>&1
}
play
status=$?
# SCENARIO.then goes on after a restart of the game and of Wine with it, in
# the same game folder: what the first run saved is what the second reads.
if [ "$status" = 0 ] && [ -f "${scenario%.kvts}.then" ]; then
  WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1
  WINEPREFIX=$prefix wineserver -w >/dev/null 2>&1
  cp "${scenario%.kvts}.then" "$game/scenario.kvts"
  echo "e2e: the game and Wine restarted: $(basename "${scenario%.kvts}.then")" >>"$run_dir/output"
  play
  status=$?
fi
cat "$run_dir/output"
[ "$status" = 124 ] && echo "e2e: the run took longer than $run_timeout s and was stopped"

log=$game/Plugins/KVTControls/KVTControls.log
if [ "$status" != 0 ] && [ -f "$log" ]; then
  echo "--- last lines of Plugins/KVTControls/KVTControls.log ---"
  tail -n 40 "$log"
fi

if [ -z "$expect_exit" ]; then
  echo "e2e: simulated host exited with $status"
  exit "$status"
fi
verdict=0
if [ "$status" != "$expect_exit" ]; then
  echo "e2e: simulated host exited with $status, expected $expect_exit"
  verdict=1
fi
for wanted in "${expect_lines[@]}"; do
  if ! grep -qF -- "$wanted" "$run_dir/output"; then
    echo "e2e: missing output line: $wanted"
    verdict=1
  fi
done
[ "$verdict" = 0 ] && echo "e2e: simulated host exited with $status and printed what was expected"
exit "$verdict"
