#!/usr/bin/env bash
# Usage: scripts/fuzz.sh SECONDS
# A long fuzz run, where ctest gives each target only seconds: builds the
# native fuzz targets and runs each for SECONDS with the input length that
# tests/fuzz/CMakeLists.txt gives it, on a scratch copy of its corpus so the
# inputs it finds never land in the repository. Prints each target's
# executions; exits non-zero when any target failed, and then keeps the
# scratch folder with the failing input and the log.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-}"
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: scripts/fuzz.sh SECONDS" >&2
  exit 2
fi

# "name maxlen" per target, from the one place the targets are declared.
mapfile -t targets < <(sed -n \
  's/^kvt_fuzz_target(\([a-z_]*\) [0-9]* [0-9]* \([0-9]*\).*/\1 \2/p' tests/fuzz/CMakeLists.txt)
if [ "${#targets[@]}" -eq 0 ]; then
  echo "no fuzz target found in tests/fuzz/CMakeLists.txt" >&2
  exit 1
fi
names=()
for target in "${targets[@]}"; do names+=("${target%% *}"); done
cmake --preset native >/dev/null
cmake --build --preset native --target "${names[@]}"

work="$(mktemp -d /tmp/kvt-fuzz-XXXXXX)"
failed=0
summary=()
for target in "${targets[@]}"; do
  name="${target%% *}"
  maxlen="${target##* }"
  extra=()
  # libFuzzer lets inputs grow only slowly; a car list stays under about 120
  # bytes, short of the nesting and lengths worth trying, unless told not to.
  [ "$name" = fuzz_car_json ] && extra=(-len_control=0)
  mkdir -p "$work/$name/corpus"
  cp -R "tests/fuzz/corpus/$name/." "$work/$name/corpus/"
  echo "== $name: $seconds s, max_len=$maxlen${extra[*]:+ ${extra[*]}}"
  status=0
  "build/native/tests/fuzz/$name" -max_total_time="$seconds" -max_len="$maxlen" -timeout=10 "${extra[@]}" \
    -artifact_prefix="$work/$name/" "$work/$name/corpus" >"$work/$name/log" 2>&1 || status=$?
  last="$(grep -E '^#[0-9]+' "$work/$name/log" | tail -n 1 | tr -s ' \t' ' ' || true)"
  if [ "$status" -eq 0 ]; then
    done_line="$(grep -E '^Done [0-9]+ runs in' "$work/$name/log" | tail -n 1 || true)"
    summary+=("$name: ${done_line:-no Done line} | $last")
  else
    failed=1
    tail -n 40 "$work/$name/log" >&2
    summary+=("$name: FAILED (exit $status) at ${last:-the corpus reading}; input and log in $work/$name/")
  fi
done

echo "== fuzz runs of $seconds s each"
printf '%s\n' "${summary[@]}"
if [ "$failed" -ne 0 ]; then
  echo "a fuzz target failed; scratch folder kept: $work" >&2
  exit 1
fi
rm -rf "$work"
