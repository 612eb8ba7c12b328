#!/usr/bin/env bash
# Plays a scenario in the simulated host under Wine against the Windows build
# (the 64-bit test build where 32-bit programs cannot run) and prints what
# the plug-in drew, frame by frame. Builds nothing: run
#   cmake --preset windows && cmake --build --preset windows
# (and the same with windows64 on such a machine) first. The game folder is build/run/ and stays there for a look afterwards.
#
# usage: scripts/run_simhost.sh SCENARIO.kvts [--png OUT.png] [--calls]
#   --png OUT.png   also save a picture of the last frame
#   --calls         print every host call of every frame
set -uo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
scenario=""
png=""
simhost_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --png) [ $# -ge 2 ] || { echo "run_simhost: --png needs a file name" >&2; exit 2; }; png=$2; shift 2 ;;
    --calls) simhost_args+=(--calls); shift ;;
    -*) echo "usage: run_simhost.sh SCENARIO.kvts [--png OUT.png] [--calls]" >&2; exit 2 ;;
    *) scenario=$1; shift ;;
  esac
done
[ -n "$scenario" ] || { echo "usage: run_simhost.sh SCENARIO.kvts [--png OUT.png] [--calls]" >&2; exit 2; }
[ -f "$scenario" ] || { echo "run_simhost: no scenario file $scenario" >&2; exit 2; }

# The picture is written inside the game folder, then copied to where the
# caller asked for it.
if [ -n "$png" ]; then
  case "$png" in /*) ;; *) png=$PWD/$png ;; esac
  simhost_args+=(--png last-frame.png)
fi

game=$repo/build/run
"$repo/tests/e2e/run_e2e.sh" --windows-build "${KVT_WINDOWS_BUILD:-$repo/build/windows}" \
  --windows64-build "${KVT_WINDOWS64_BUILD:-$repo/build/windows64}" --game-dir "$game" \
  "$scenario" -- "${simhost_args[@]}"
status=$?
if [ -n "$png" ] && [ -f "$game/last-frame.png" ]; then
  cp "$game/last-frame.png" "$png" && echo "run_simhost: picture of the last frame in $png"
fi
exit "$status"
