#!/usr/bin/env bash
# The main job: builds KVTControls.dll and the simulated host, then plays the
# demo session (tools/simhost/demo.kvts) with the plug-in inside it: keys bound
# and saved in the menu, a key pressed in the menus and in a race, a car
# loaded and driven through its gears. Prints every menu frame it draws and
# every window message the game receives.
# Extra arguments go to the simulated host's runner (e.g. --png frame.png).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh >/dev/null
cmake --preset windows >/dev/null
cmake --build --preset windows >/dev/null
exec scripts/run_simhost.sh tools/simhost/demo.kvts "$@"
