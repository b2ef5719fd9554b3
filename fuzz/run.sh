#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS seconds
# (default 60), at low priority, one after the other. New inputs go to
# BUILD/corpus/<target>; the seeds under fuzz/corpus/<target> are only read.
# A finding stops the script with the target's report and leaves the input
# in BUILD/artifacts/.
#   fuzz/run.sh [SECONDS] [TARGET...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${FUZZ_BUILD:-$root/build-fuzz}"
seconds="${1:-60}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(free_format conversion fixed_format value_conversion)

cmake -S "$root/fuzz" -B "$build" -DCMAKE_CXX_COMPILER="${FUZZ_CXX:-clang++}" >/dev/null
cmake --build "$build" -j "${JOBS:-2}"

mkdir -p "$build/artifacts"
for target in "${targets[@]}"; do
  mkdir -p "$build/corpus/$target"
  dict=()
  [ -f "$root/fuzz/$target.dict" ] && dict=(-dict="$root/fuzz/$target.dict")
  # The renderers' target reads 16 values at most.
  [ "$target" = fixed_format ] && dict+=(-max_len=64)
  echo "--- fuzz_$target for ${seconds}s"
  # The fuzzer's own scratch files stay in the build directory.
  (cd "$build" && nice -n 19 "$build/fuzz_$target" "$build/corpus/$target" "$root/fuzz/corpus/$target" \
      "${dict[@]}" -max_total_time="$seconds" -timeout=30 -print_final_stats=1 \
      -artifact_prefix="$build/artifacts/$target-" 2>&1 | grep -v '^#[0-9]') || {
    echo "fuzz_$target found a failure; see $build/artifacts/"
    exit 1
  }
done
