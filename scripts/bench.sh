#!/usr/bin/env bash
# Builds the benchmarks in release mode, without sanitizers, and prints what
# one input-job pass, a RurAzu tick, a menu frame, a shifter event and a car
# type lookup cost. "scripts/bench.sh latency [PRESSES]" instead times a
# press's way to the game at 25 and 5 ms passes, with the real clock (minutes).
# "scripts/bench.sh wine" times the same on the real DLL in the simulated host
# under Wine (the build that runs here) at 1, 2, 5 and 25 ms passes, 500
# presses each, beside Wine's own share with no plug-in (the floor), the
# input job's CPU time idle and with a key held, and when a held button's
# repeats reach the window; and once what Sleep(5) sleeps in that process
# (about 20 minutes; every figure on a line of its own starting "latency").
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh >/dev/null
if [ "${1:-}" = wine ]; then
  started=$(date +%s)
  first=1
  for poll in 1 2 5 25; do
    script=$(mktemp --suffix=.kvts)
    if [ "$first" = 1 ]; then
      sed "s/POLL/$poll/" bench/wine_latency.kvts >"$script"
    else
      # What Sleep(5) sleeps is the process's, whatever the pass: once is enough.
      sed -e "s/POLL/$poll/" -e '/^latency sleep /d' bench/wine_latency.kvts >"$script"
    fi
    first=0
    echo "=== bench: PollIntervalMs = $poll ==="
    # About 5 minutes a run; the whole run's limit leaves room for a busy machine.
    tests/e2e/run_e2e.sh --timeout 1200 "$script" -- --timeout 600 | grep -E "^(e2e: |latency|FAIL|TIMEOUT|CRASH)" || true
    rm -f "$script"
  done
  echo "bench: done in $(($(date +%s) - started)) s"
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
