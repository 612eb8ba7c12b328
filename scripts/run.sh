#!/usr/bin/env bash
# The main job: builds KVTControls.dll and the simulated host, then plays the
# demo session (tools/simhost/demo.kvts) with the plug-in inside it: keys bound
# and saved in the menu, a key pressed in the menus and in a race, a car
# loaded and driven through its gears. Prints every menu frame it draws and
# every window message the game receives.
# Extra arguments go to the simulated host's runner (e.g. --png frame.png).
set -euo pipefail
cd "$(dirname "$0")/.."
# A fresh machine spends minutes here: say what is going on.
echo "run: installing what the project needs and building SDL3 once (scripts/setup.sh; minutes on a fresh machine)..."
scripts/setup.sh >/dev/null
echo "run: building KVTControls.dll and the simulated host (cmake --preset windows)..."
cmake --preset windows >/dev/null
cmake --build --preset windows >/dev/null
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
