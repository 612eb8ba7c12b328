#!/usr/bin/env bash
# Every test: installs what is missing, builds the DLL with its simulated host
# and the native test build, then runs unit, fuzz and end-to-end tests. Ends
# with ctest's summary line.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows
cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native -j2
