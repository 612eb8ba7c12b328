#!/usr/bin/env bash
# Builds the benchmarks in release mode, without sanitizers, and prints what
# one input-job pass, a RurAzu tick, a menu frame, a shifter event and a car
# type lookup cost. "scripts/bench.sh latency [PRESSES]" instead times a
# press's way to the game at 25 and 5 ms passes, with the real clock (minutes).
# "scripts/bench.sh wine" times the same on the real DLL in the simulated host
# under Wine (the build that runs here), 500 presses each, and what Sleep(5)
# sleeps in that process.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh >/dev/null
if [ "${1:-}" = wine ]; then
  for poll in 25 5; do
    script=$(mktemp --suffix=.kvts)
    sed "s/POLL/$poll/" bench/wine_latency.kvts >"$script"
    echo "bench: PollIntervalMs = $poll"
    tests/e2e/run_e2e.sh --timeout 600 "$script" -- --timeout 600 | grep -E "^(e2e: |latency|FAIL)" || true
    rm -f "$script"
  done
  exit 0
fi
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DKVT_SANITIZER=none -DKVT_BENCH=ON >/dev/null
cmake --build build/bench --target kvt_bench kvt_latency
if [ "${1:-}" = latency ]; then
  shift
  exec build/bench/bench/kvt_latency "$@"
fi
build/bench/bench/kvt_bench --benchmark_repetitions=3 \
  --benchmark_report_aggregates_only=true "$@"
