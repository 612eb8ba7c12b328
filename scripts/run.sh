#!/usr/bin/env bash
# The main job: builds KVTControls.dll and the simulated host (where the
# kernel runs no 32-bit programs, also their 64-bit test build), then plays the
# demo session (tools/simhost/demo.kvts) with the plug-in inside it: keys bound
# and saved in the menu, a key pressed in the menus and in a race, a car
# loaded and driven through its gears. Prints every menu frame it draws and
# every window message the game receives.
# Extra arguments go to the simulated host's runner (e.g. --png frame.png).
set -euo pipefail
cd "$(dirname "$0")/.."
# A fresh machine spends minutes here: say what is going on.
echo "run: installing what the project needs and building SDL3 once (scripts/setup.sh; minutes on a fresh machine)..."
# Its last line says which Wine is here and which build the demo plays.
scripts/setup.sh | tail -n 1
echo "run: building KVTControls.dll and the simulated host (cmake --preset windows)..."
cmake --preset windows >/dev/null
cmake --build --preset windows >/dev/null
# The product is 32-bit; a kernel that runs no 32-bit programs plays the demo
# in the 64-bit test build of the same sources under wine64.
. tests/e2e/wine_prefix.sh
if ! why=$(kvt_wine32_runs 2>&1); then
  echo "run: $why; the demo plays in the 64-bit test build (cmake --preset windows64)..."
  cmake --preset windows64 >/dev/null
  cmake --build --preset windows64 >/dev/null
fi
echo "run: playing the demo session tools/simhost/demo.kvts in the simulated host..."
status=0
scripts/run_simhost.sh tools/simhost/demo.kvts "$@" || status=$?
game=build/run
if [ -d "$game" ]; then
  echo "run: the game folder the demo played in: $game/"
  echo "run:   the plug-in's log:       $game/Plugins/KVTControls/KVTControls.log"
  echo "run:   the settings it saved:   $game/Plugins/KVTControls/KVTControls.ini"
fi
exit "$status"
