#!/usr/bin/env bash
# Builds the benchmarks in release mode, without sanitizers, and prints what
# one input-job pass, a RurAzu tick, a menu frame, a shifter event and a car
# type lookup cost. "scripts/bench.sh latency [PRESSES]" instead times a
# press's way to the game at 25 and 5 ms passes, with the real clock (minutes).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh >/dev/null
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DKVT_SANITIZER=none -DKVT_BENCH=ON >/dev/null
cmake --build build/bench --target kvt_bench kvt_latency
if [ "${1:-}" = latency ]; then
  shift
  exec build/bench/bench/kvt_latency "$@"
fi
build/bench/bench/kvt_bench --benchmark_repetitions=3 \
  --benchmark_report_aggregates_only=true "$@"
