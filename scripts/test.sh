#!/usr/bin/env bash
# Every test: installs what is missing, builds the DLL with its simulated host
# (32-bit, the product, and the 64-bit test build) and the native test builds,
# then runs the unit tests under ThreadSanitizer and every test (unit, fuzz,
# Win32, package and end-to-end) under AddressSanitizer. Ends with ctest's
# summary and then what ran under Wine, on which build, and what was skipped.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows
# Where the kernel runs no 32-bit programs, the Windows tests and the zip's
# pictures run on the 64-bit test build under wine64. It is built everywhere,
# so it never falls behind the product.
cmake --preset windows64 >/dev/null
cmake --build --preset windows64
. tests/e2e/wine_prefix.sh
if kvt_pick_build build/windows build/windows64; then
  if [ "$kvt_bits" = 32 ]; then
    build_note="the 32-bit build ($kvt_build), the product"
  else
    build_note="the 64-bit test build ($kvt_build), since $kvt_why32"
  fi
  echo "test.sh: the tests under Wine run on $build_note"
  cmake --build --preset windows --target package_zip
else
  build_note="no build: no Windows program runs here"
  echo "test.sh: no Windows program runs here: the player's zip is not made and the tests under Wine are skipped"
fi
cmake --preset tsan >/dev/null
cmake --build --preset tsan
ctest --preset tsan -j2
cmake --preset native >/dev/null
cmake --build --preset native
results=$PWD/build/native/ctest-results.xml
rm -f "$results"
status=0
ctest --preset native -j2 --output-junit "$results" || status=$?
ctest --preset native --show-only=json-v1 >build/native/ctest-tests.json
python3 scripts/wine_summary.py "$results" build/native/ctest-tests.json "$build_note"
exit "$status"
