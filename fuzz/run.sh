#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS seconds
# (default 60), at low priority, FUZZ_PARALLEL of them at a time. New inputs go to
# BUILD/corpus/<target>; the seeds under fuzz/corpus/<target> are only read.
# A finding makes the script fail, shows the target's report and leaves the input
# in BUILD/artifacts/.
#   fuzz/run.sh [SECONDS] [TARGET...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${FUZZ_BUILD:-$root/build-fuzz}"
seconds="${1:-60}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(free_format conversion fixed_format value_conversion split_reading)

cmake -S "$root/fuzz" -B "$build" -DCMAKE_CXX_COMPILER="${FUZZ_CXX:-clang++}" >/dev/null
cmake --build "$build" -j "${JOBS:-2}"

mkdir -p "$build/artifacts" "$build/logs"

# One target for SECONDS seconds; its report goes to a log of its own.
run_target() {
  local target=$1
  mkdir -p "$build/corpus/$target"
  local options=()
  [ -f "$root/fuzz/$target.dict" ] && options=(-dict="$root/fuzz/$target.dict")
  # The renderers' target reads 16 values at most.
  [ "$target" = fixed_format ] && options+=(-max_len=64)
  # The fuzzer's own scratch files stay in the build directory.
  (cd "$build" && nice -n 19 "$build/fuzz_$target" "$build/corpus/$target" "$root/fuzz/corpus/$target" \
      "${options[@]}" -max_total_time="$seconds" -timeout=30 -print_final_stats=1 \
      -artifact_prefix="$build/artifacts/$target-" >"$build/logs/$target.log" 2>&1)
}

# FUZZ_PARALLEL targets run at a time (default 1).
parallel="${FUZZ_PARALLEL:-1}"
failed=0
for ((i = 0; i < ${#targets[@]}; i += parallel)); do
  batch=("${targets[@]:i:parallel}")
  pids=()
  for target in "${batch[@]}"; do
    echo "--- fuzz_$target for ${seconds}s"
    run_target "$target" &
    pids+=($!)
  done
  for n in "${!batch[@]}"; do
    target=${batch[$n]}
    if wait "${pids[$n]}"; then
      grep -E '^(Done|stat::number_of_executed_units)' "$build/logs/$target.log" || true
    else
      grep -v '^#[0-9]' "$build/logs/$target.log" | tail -n 60
      echo "fuzz_$target found a failure; see $build/artifacts/"
      failed=1
    fi
  done
done
exit "$failed"
