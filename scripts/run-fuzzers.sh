#!/usr/bin/env bash
# Runs every fuzz target of the native-fuzz build for SECONDS each (default 60), two at a time,
# over a scratch copy of its seed corpus in fuzz/corpus/<target>/: run-fuzzers.sh [SECONDS].
# A finding stops that target, keeps the input in build/native-fuzz/findings/ and fails the run;
# copy the input into the target's corpus folder once the fault is mended so it stays a test.
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build/native-fuzz
findings=$build/findings
mkdir -p "$findings"

run_target() {
  local target=$1 scratch
  scratch=$(mktemp -d)
  cp fuzz/corpus/"$target"/* "$scratch"/
  if "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="$findings/$target-" -print_final_stats=1 "$scratch" \
       >"$findings/$target.log" 2>&1; then
    echo "$target: $(grep -m1 'stat::number_of_executed_units' "$findings/$target.log" | awk '{print $2}') runs, no finding"
    rm -rf "$scratch"
    return 0
  fi
  echo "$target: FINDING (log in $findings/$target.log)"
  grep -m5 -E 'ERROR|property violated|SUMMARY' "$findings/$target.log"
  rm -rf "$scratch"
  return 1
}

targets=()
for source in fuzz/*_fuzz.cpp; do targets+=("$(basename "$source" .cpp)"); done
failed=0
for ((i = 0; i < ${#targets[@]}; i += 2)); do
  run_target "${targets[i]}" & first=$!
  second=
  if ((i + 1 < ${#targets[@]})); then run_target "${targets[i + 1]}" & second=$!; fi
  wait "$first" || failed=$((failed + 1))
  if [[ -n "$second" ]]; then wait "$second" || failed=$((failed + 1)); fi
done
echo "fuzz targets: $((${#targets[@]} - failed)) passed, $failed failed"
((failed == 0))
