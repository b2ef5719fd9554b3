#!/usr/bin/env bash
# Several files a run, timed: 20 small surveys (about 5 MB each) and 4 large
# ones (by default the 100, 200 and 400 MB surveys of run_bench.sh, and the
# 100 MB one again under another name), each set converted by one `korvan2col -j 2`
# against one `korvan2col FILE` after another (the shell loop a batch
# replaces) and against `-j 1`. Targets: the small files at least 1.5 times
# faster with -j 2 than one after another, the large ones no slower.
#
# usage: bench/batch_bench.sh [--build DIR] [--runs N] [--seed S] [--large "100 200 400 100"]
#
# The small surveys are written once into DIR/bench-data/batch (remade when
# the generator's version changes); the large ones must be there already
# (run_bench.sh writes them). Times are the median wall time of N rounds, in
# each round the three ways in turn, each started once the files written
# before it are on disk. Every output of -j 2 must be byte for byte the one
# of the one-file run, but for the name in its first line.
set -euo pipefail
export LC_ALL=C

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$repo/build
runs=3
seed=1
large_sizes="100 200 400 100"

usage() { sed -n '9p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2; exit 2; }

while [[ $# -gt 0 ]]; do
  [[ $# -ge 2 ]] || usage
  case $1 in
    --build) build=$2 ;;
    --runs) runs=$2 ;;
    --seed) seed=$2 ;;
    --large) large_sizes=$2 ;;
    *) usage ;;
  esac
  shift 2
done
[[ $runs =~ ^[1-9][0-9]*$ ]] || usage
build=$(cd "$build" && pwd)
korvan=$build/cli/korvan2col
gen=$build/bench/gen_survey
for tool in "$korvan" "$gen"; do
  [[ -x $tool ]] || { echo "batch_bench: $tool not built (make bench builds it)" >&2; exit 1; }
done

data=$build/bench-data
small_data=$data/batch
work=$build/bench-run/batch
mkdir -p "$small_data" "$work"

# 1. The small surveys, 20 seeds from --seed on.
generator=$("$gen" --version)
small=()
for ((i = 0; i < 20; ++i)); do
  file=$small_data/small-$i.prd
  args="--size-mb 5 --seed $((seed + i))"
  if [[ ! -f $file || ! -f $file.args || $(cat "$file.args") != "$args ($generator)" ]]; then
    # shellcheck disable=SC2086
    "$gen" $args --out "$file" 2>/dev/null
    echo "$args ($generator)" >"$file.args"
  fi
  small+=("$file")
done
large=()
for size in $large_sizes; do
  file=$data/survey-${size}mb.prd
  [[ -f $file ]] || { echo "batch_bench: $file missing (make bench writes it)" >&2; exit 1; }
  large+=("$file")
done

# seconds CMD... : runs CMD in the current directory once, prints its wall time.
seconds() {
  sync
  local t0=$EPOCHREALTIME
  "$@"
  awk -v a="$t0" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.6f\n", b - a }'
}

one_after_another() {
  local file
  for file in "$@"; do
    "$korvan" -o "$(basename "${file%.prd}").out" "$file" >/dev/null
  done
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# measure SET FILE...: the three ways on one set of files, $runs rounds;
# prints "SET files MB loop-s j1-s j2-s".
measure() {
  local set=$1
  shift
  local dir=$work/$set
  rm -rf "$dir"
  mkdir -p "$dir"/{loop,j1,j2}
  # The large set names the 100 MB survey twice: links give each its own name.
  local names=() i=0 file
  for file in "$@"; do
    ln -sfn "$file" "$dir/$set-$i.prd"
    names+=("$dir/$set-$i.prd")
    i=$((i + 1))
  done
  local loop=() j1=() j2=() round
  for ((round = 1; round <= runs; ++round)); do
    loop+=("$(cd "$dir/loop" && seconds one_after_another "${names[@]}")")
    j1+=("$(seconds "$korvan" -j 1 --output-dir "$dir/j1" "${names[@]}" 2>"$dir/j1.err")")
    j2+=("$(seconds "$korvan" -j 2 --output-dir "$dir/j2" "${names[@]}" 2>"$dir/j2.err")")
  done
  for file in "$dir"/loop/*.out; do
    if ! cmp -s <(tail -n +2 "$file") <(tail -n +2 "$dir/j2/$(basename "$file")") ||
       ! cmp -s <(tail -n +2 "$file") <(tail -n +2 "$dir/j1/$(basename "$file")"); then
      echo "batch_bench: $(basename "$file") of -j 1 or -j 2 differs from the one-file run beyond its first line" >&2
      exit 1
    fi
  done
  local bytes
  bytes=$(stat -L -c %s "${names[@]}" | awk '{ s += $1 } END { print s }')
  echo "$set $# $(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1e6 }')" \
    "$(printf '%s\n' "${loop[@]}" | median)" "$(printf '%s\n' "${j1[@]}" | median)" \
    "$(printf '%s\n' "${j2[@]}" | median)"
}

echo "korvan2col several files a run: $runs round(s), $(nproc) cores"
rows=$(measure small "${small[@]}"; measure large "${large[@]}")
echo
printf '%-6s %6s %9s %10s %8s %8s %9s\n' files count "input MB" "one by one" "-j 1 s" "-j 2 s" "speed-up"
echo "$rows" | awk '{ printf "%-6s %6d %9.1f %10.3f %8.3f %8.3f %8.2fx\n", $1, $2, $3, $4, $5, $6, $4 / $6 }'
echo
echo "Targets:"
echo "$rows" | awk '
  $1 == "small" { printf "20 small files: -j 2 %.2fx faster than one after another, target >= 1.5x: %s\n", $4 / $6, ($4 / $6 >= 1.5 ? "met" : "MISSED") }
  $1 == "large" { printf "%d large files: -j 2 %.2fx faster than one after another, target no slower: %s\n", $2, $4 / $6, ($6 <= $4 ? "met" : "MISSED") }'
