#!/usr/bin/env bash
# The main job: builds KVTControls.dll and the simulated host, then plays a short
# session with the plug-in inside it and prints every menu frame it draws.
# Extra arguments go to the simulated host's runner (e.g. --png frame.png).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh >/dev/null
cmake --preset windows >/dev/null
cmake --build --preset windows >/dev/null
exec scripts/run_simhost.sh tools/simhost/demo.kvts "$@"
