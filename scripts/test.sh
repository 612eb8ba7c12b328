#!/usr/bin/env bash
# Every test: installs what is missing, builds the DLL with its simulated host
# and the native test builds, then runs the unit tests under ThreadSanitizer
# and every test (unit, fuzz, Win32 and end-to-end) under AddressSanitizer.
# Ends with ctest's summary line.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows
# The zip's pictures are drawn by the DLL under Wine, which needs a machine
# that runs 32-bit programs; elsewhere the Windows tests say they are skipped.
. tests/e2e/wine_prefix.sh
if kvt_wine32_runs; then
  cmake --build --preset windows --target package_zip
else
  echo "test.sh: the player's zip is not made and the tests under Wine are skipped"
fi
cmake --preset tsan >/dev/null
cmake --build --preset tsan
ctest --preset tsan -j2
cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native -j2
