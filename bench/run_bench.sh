#!/usr/bin/env bash
# End-to-end benchmark of korvan2col on big synthetic surveys, next to two
# floors that only read the file (cat > /dev/null and wc -l); of korvan2col
# --format csv next to the plain run; of the survey read gzip-compressed
# (korvan2col survey.prd.gz) next to zcat > /dev/null alone; and of the survey
# read from a pipe (cat survey.prd | korvan2col -) next to the plain run; on
# the largest survey, of --plot next to the plain run and of the Python
# package's read() (bench/python_bench.py, at least 5 runs) next to the
# command writing CSV and to pandas.read_csv of that CSV; and of several
# files a run, -j 2 against one after another (bench/batch_bench.sh).
#
# usage: bench/run_bench.sh [--build DIR] [--runs N] [--sizes "100 200 400"]
#                           [--frequencies F] [--transmitters T] [--seed S]
#                           [--save DIR] [--compare DIR]
#
# The surveys are written once into DIR/bench-data (remade only when their
# generator arguments change), each with its gzip -6 copy beside it; the
# converter runs in DIR/bench-run/<size>, where its vask.out and vask.csv
# stay, and the rows of the gzip and pipe runs in vask-gz.out and
# vask-stdin.out, which must match vask.out but for its first line (the
# name); the largest survey's picture stays as survey.png. MB is 10^6 bytes,
# MiB 2^20 bytes; times are the median wall time of N runs ("cpu s": the
# converter's median user + system time, less sensitive to a busy machine
# than the wall time). The CSV's ratio is the median over the runs of its
# time over the plain run's, the two run back to back in turns. The picture's time is the median over the runs of the
# --plot run's time minus the plain run's, made in the same round.
#
# Output check: the sha256 of every vask.out and vask.csv is written to
# DIR/bench-run/vask.sha256 and compared with the previous run's sums.
# --save DIR also copies the sums to DIR/vask.sha256; --compare DIR compares
# them with DIR/vask.sha256 and makes the script fail when any output differs
# (for before/after comparisons of a change).
set -euo pipefail
export LC_ALL=C

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$repo/build
runs=3
sizes="100 200 400"
frequencies=5
transmitters=1
seed=1
save_dir=
compare_dir=

usage() { sed -n '9,11p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2; exit 2; }

while [[ $# -gt 0 ]]; do
  [[ $# -ge 2 ]] || usage
  case $1 in
    --build) build=$2 ;;
    --runs) runs=$2 ;;
    --sizes) sizes=$2 ;;
    --frequencies) frequencies=$2 ;;
    --transmitters) transmitters=$2 ;;
    --seed) seed=$2 ;;
    --save) save_dir=$2 ;;
    --compare) compare_dir=$2 ;;
    *) usage ;;
  esac
  shift 2
done
[[ $runs =~ ^[1-9][0-9]*$ ]] || usage
build=$(cd "$build" && pwd)

korvan=$build/cli/korvan2col
gen=$build/bench/gen_survey
for tool in "$korvan" "$gen"; do
  [[ -x $tool ]] || { echo "run_bench: $tool not built (make bench builds it)" >&2; exit 1; }
done

data=$build/bench-data
work=$build/bench-run
mkdir -p "$data" "$work"
probe=$(mktemp "$work/probe.XXXXXX")
trap 'rm -f "$probe"' EXIT

# Peak resident size: GNU time when there is one, else our own small
# getrusage wrapper (built with the benchmarks).
if [[ -x /usr/bin/time ]] && /usr/bin/time -v -o "$probe" true 2>/dev/null &&
   grep -q 'Maximum resident set size' "$probe"; then
  rss_tool=(/usr/bin/time -v -o "$probe")
  rss_name="GNU time -v"
else
  [[ -x $build/bench/peak_rss ]] || { echo "run_bench: need /usr/bin/time -v or $build/bench/peak_rss" >&2; exit 1; }
  rss_tool=("$build/bench/peak_rss" "$probe")
  rss_name=peak_rss
fi

# measure STDIN STDOUT CMD... : runs CMD once; prints
# "<wall seconds> <peak RSS KiB> <CPU seconds, user + system>".
# Every command starts once the files written before it are on disk:
# otherwise the writing out of one run's rows file, which the system starts
# when the file is closed, slows whichever command comes next.
measure() {
  local in=$1 out=$2
  shift 2
  local t0 t1 rss
  sync
  t0=$EPOCHREALTIME
  "${rss_tool[@]}" "$@" <"$in" >"$out"
  t1=$EPOCHREALTIME
  awk -F': ' -v a="$t0" -v b="$t1" '
    /Maximum resident set size/ { rss = $2 }
    /User time \(seconds\)|System time \(seconds\)/ { cpu += $2 }
    END { printf "%.6f %d %.3f\n", b - a, rss, cpu }' "$probe"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "korvan2col benchmark: $runs run(s) per command, surveys of ${sizes// / MB, } MB," \
     "$frequencies frequencies, $transmitters transmitter(s), seed $seed; peak RSS by $rss_name"

# 1. The surveys, made once (anew when the generator's version changes).
generator=$("$gen" --version)
for size in $sizes; do
  file=$data/survey-${size}mb.prd
  args="--size-mb $size --frequencies $frequencies --transmitters $transmitters --seed $seed"
  if [[ ! -f $file || ! -f $file.args || $(cat "$file.args") != "$args $(stat -c %s "$file") ($generator)" ]]; then
    rm -f "$file" "$file.args"
    # shellcheck disable=SC2086
    "$gen" $args --out "$file"
    echo "$args $(stat -c %s "$file") ($generator)" >"$file.args"
  fi
  if [[ ! $file.gz -nt $file ]]; then
    gzip -6 -c "$file" >"$file.gz.partial"
    mv "$file.gz.partial" "$file.gz"
  fi
done

# 2. The runs, interleaved so that a busy moment on the machine hits every
# command alike. The --plot run comes before the plain one, whose vask.out
# the sums then hold; it must write the same bytes.
plot_sum=
# shellcheck disable=SC2086
largest=$(printf '%s\n' $sizes | sort -g | tail -n 1)
sums=$work/vask.sha256
[[ -f $sums ]] && mv "$sums" "$sums.previous"
: >"$sums"
results=$work/results.txt
: >"$results"
for size in $sizes; do
  file=$data/survey-${size}mb.prd
  name=survey-${size}mb.prd
  dir=$work/${size}mb
  mkdir -p "$dir"
  ln -sfn "$file" "$dir/$name"
  echo "$name" >"$dir/stdin"
  for ((run = 1; run <= runs; ++run)); do
    read -r t_cat _ < <(measure /dev/null /dev/null cat "$file")
    read -r t_wc _ < <(measure /dev/null /dev/null wc -l "$file")
    consoles=("$dir"/console{,-csv,-gz,-stdin}.txt)
    t_plot=- cpu_plot=-
    if [[ $size == "$largest" ]]; then
      read -r t_plot _ cpu_plot < <(cd "$dir" && measure "$dir/stdin" "$dir/console-plot.txt" "$korvan" --plot survey.png)
      consoles+=("$dir/console-plot.txt")
      if [[ $run -eq 1 ]]; then plot_sum=$(sha256sum <"$dir/vask.out" | cut -d' ' -f1); fi
    fi
    # The plain and the CSV run take turns at going first, so that neither
    # always follows the other's writing.
    if ((run % 2)); then
      read -r t_k rss_k cpu_k < <(cd "$dir" && measure "$dir/stdin" "$dir/console.txt" "$korvan")
    fi
    read -r t_csv _ cpu_csv < <(cd "$dir" && measure "$dir/stdin" "$dir/console-csv.txt" "$korvan" --format csv)
    if ! ((run % 2)); then
      read -r t_k rss_k cpu_k < <(cd "$dir" && measure "$dir/stdin" "$dir/console.txt" "$korvan")
    fi
    read -r t_zcat _ < <(measure /dev/null /dev/null zcat "$file.gz")
    # What moving the survey's bytes through a pipe costs by itself.
    # shellcheck disable=SC2016
    read -r t_catcat _ < <(measure /dev/null /dev/null bash -c 'cat "$1" | cat' _ "$file")
    read -r t_gz rss_gz cpu_gz < <(cd "$dir" && measure /dev/null "$dir/console-gz.txt" "$korvan" -o vask-gz.out "$file.gz")
    # Standard input redirected from the survey would be a regular file; a
    # pipe is read as its bytes arrive.
    # shellcheck disable=SC2016
    read -r t_pipe rss_pipe _ < <(cd "$dir" && measure /dev/null "$dir/console-stdin.txt" \
      bash -c 'cat "$1" | "$2" -o vask-stdin.out -' _ "$file" "$korvan")
    for console in "${consoles[@]}"; do
      if ! grep -qx 'Done\.' "$console"; then
        echo "run_bench: korvan2col did not finish on $name:" >&2
        cat "$console" >&2
        exit 1
      fi
    done
    echo "$size $t_k $rss_k $t_cat $t_wc $cpu_k $t_csv $cpu_csv $t_zcat $t_gz $cpu_gz $t_pipe $t_plot $cpu_plot $t_catcat $rss_gz $rss_pipe" >>"$results"
  done
  for rows in vask-gz.out vask-stdin.out; do
    if ! cmp -s <(tail -n +2 "$dir/vask.out") <(tail -n +2 "$dir/$rows"); then
      echo "run_bench: $rows differs from vask.out beyond the first line on $name" >&2
      exit 1
    fi
  done
  vask_sum=$(sha256sum <"$dir/vask.out" | cut -d' ' -f1)
  if [[ $size == "$largest" && $plot_sum != "$vask_sum" ]]; then
    echo "run_bench: korvan2col --plot wrote another vask.out than the plain run on $name" >&2
    exit 1
  fi
  echo "$vask_sum  ${size}mb  $(cat "$file.args")" >>"$sums"
  echo "$(sha256sum <"$dir/vask.csv" | cut -d' ' -f1)  ${size}mb-csv  $(cat "$file.args")" >>"$sums"
done

# 3. The table.
echo
printf '%-7s %9s %9s %9s %7s %7s %7s %7s %8s %7s %8s %8s %8s\n' \
  survey "input MB" soundings "korvan s" "cpu s" "MB/s" "cat s" "wc -l s" "floors s" ratio "RSS MiB" "arr MiB" "RSS-arr"
targets=$work/targets.txt
: >"$targets"
first_size='' first_time='' first_bytes='' last_size='' last_time='' last_bytes=''
for size in $sizes; do
  file=$data/survey-${size}mb.prd
  bytes=$(stat -c %s "$file")
  n1=$(head -n 1 "$file" | tr -d ' \r')
  t_k=$(awk -v s="$size" '$1 == s { print $2 }' "$results" | median)
  rss=$(awk -v s="$size" '$1 == s { print $3 }' "$results" | sort -g | tail -n 1)
  t_cat=$(awk -v s="$size" '$1 == s { print $4 }' "$results" | median)
  t_wc=$(awk -v s="$size" '$1 == s { print $5 }' "$results" | median)
  cpu_k=$(awk -v s="$size" '$1 == s { print $6 }' "$results" | median)
  # 12*n1 + 8*n2 + 13*n3 + 30*n4 with n2 = n1*F, n3 = n2*T, n4 = n3 (one receiver).
  arrays=$(awk -v n1="$n1" -v f="$frequencies" -v t="$transmitters" \
    'BEGIN { n2 = n1 * f; n3 = n2 * t; printf "%.0f", 12 * n1 + 8 * n2 + 13 * n3 + 30 * n3 }')
  awk -v size="$size" -v bytes="$bytes" -v n1="$n1" -v tk="$t_k" -v ck="$cpu_k" -v tc="$t_cat" -v tw="$t_wc" \
      -v rss="$rss" -v arr="$arrays" -v targets="$targets" 'BEGIN {
    mib = 1048576; rate = bytes / 1e6 / tk; floors = tc + tw; ratio = tk / floors
    rss_mib = rss * 1024 / mib; arr_mib = arr / mib
    printf "%-7s %9.1f %9d %9.3f %7.2f %7.1f %7.3f %7.3f %8.3f %7.2f %8.1f %8.1f %8.1f\n",
      size "MB", bytes / 1e6, n1, tk, ck, rate, tc, tw, floors, ratio, rss_mib, arr_mib, rss_mib - arr_mib
    printf "%s MB survey: time %.2fx (cat + wc -l), target <= 8x: %s\n", size, ratio,
      (ratio <= 8 ? "met" : "MISSED") >> targets
    printf "%s MB survey: peak RSS %.1f MiB, arrays + 32 MiB = %.1f MiB: %s\n", size, rss_mib,
      arr_mib + 32, (rss_mib <= arr_mib + 32 ? "met" : "MISSED") >> targets
  }'
  if [[ -z $first_size ]]; then first_size=$size first_time=$t_k first_bytes=$bytes; fi
  last_size=$size last_time=$t_k last_bytes=$bytes
done

# The same surveys written as CSV (--format csv), next to the plain run.
echo
printf '%-7s %9s %9s %9s %7s %7s %9s %9s %7s\n' \
  survey "input MB" "vask s" "csv s" "cpu s" "MB/s" "vask MB" "csv MB" ratio
for size in $sizes; do
  file=$data/survey-${size}mb.prd
  dir=$work/${size}mb
  t_k=$(awk -v s="$size" '$1 == s { print $2 }' "$results" | median)
  t_csv=$(awk -v s="$size" '$1 == s { print $7 }' "$results" | median)
  cpu_csv=$(awk -v s="$size" '$1 == s { print $8 }' "$results" | median)
  # Each run's CSV time over its plain time, the two made back to back: a
  # busy moment slows both, so the ratio holds where either median would
  # move by more than the difference between them.
  paired=$(awk -v s="$size" '$1 == s { print $7 / $2 }' "$results" | median)
  # The target is set on the largest survey; the smaller ones show how the
  # difference grows with the survey.
  awk -v size="$size" -v bytes="$(stat -c %s "$file")" -v tk="$t_k" -v tc="$t_csv" -v cc="$cpu_csv" -v pr="$paired" \
      -v vask="$(stat -c %s "$dir/vask.out")" -v csv="$(stat -c %s "$dir/vask.csv")" -v targets="$targets" \
      -v largest="$largest" 'BEGIN {
    printf "%-7s %9.1f %9.3f %9.3f %7.2f %7.1f %9.1f %9.1f %7.3f\n",
      size "MB", bytes / 1e6, tk, tc, cc, bytes / 1e6 / tc, vask / 1e6, csv / 1e6, pr
    if (size != largest) exit
    printf "%s MB survey: CSV %.3f s, vask.out %.3f s, CSV / vask.out by run %.3f, target CSV within 10%% of vask.out: %s\n",
      size, tc, tk, pr, (pr <= 1.1 ? "met" : "MISSED") >> targets
  }'
done

# The same surveys gzip-compressed, next to zcat alone, and from a pipe,
# next to the plain run.
echo
printf '%-7s %9s %9s %9s %9s %7s %7s %9s %9s %9s %7s %8s %8s\n' \
  survey "input MB" "gzip MB" "zcat s" "gzip s" "cpu s" ratio "vask s" "cat|cat s" "pipe s" ratio "gzip MiB" "pipe MiB"
timing() { awk -v s="$1" -v c="$2" '$1 == s { print $c }' "$results" | median; }  # timing SIZE COLUMN
for size in $sizes; do
  file=$data/survey-${size}mb.prd
  awk -v size="$size" -v bytes="$(stat -c %s "$file")" -v gz="$(stat -c %s "$file.gz")" \
      -v tz="$(timing "$size" 9)" -v tg="$(timing "$size" 10)" -v cg="$(timing "$size" 11)" \
      -v tk="$(timing "$size" 2)" -v tp="$(timing "$size" 12)" -v tcc="$(timing "$size" 15)" \
      -v rg="$(awk -v s="$size" '$1 == s { print $16 }' "$results" | sort -g | tail -n 1)" \
      -v rp="$(awk -v s="$size" '$1 == s { print $17 }' "$results" | sort -g | tail -n 1)" \
      -v targets="$targets" 'BEGIN {
    printf "%-7s %9.1f %9.1f %9.3f %9.3f %7.2f %7.2f %9.3f %9.3f %9.3f %7.2f %8.1f %8.1f\n",
      size "MB", bytes / 1e6, gz / 1e6, tz, tg, cg, tg / tz, tk, tcc, tp, tp / (tk + tcc), rg / 1024, rp / 1024
    printf "%s MB survey: gzip input %.3f s, zcat alone %.3f s (%.2fx), target gzip input within zcat + 10%%: %s\n",
      size, tg, tz, tg / tz, (tg <= 1.1 * tz ? "met" : "MISSED") >> targets
    printf "%s MB survey: pipe %.3f s, plain run %.3f s + cat | cat %.3f s = %.3f s, target pipe within that: %s\n",
      size, tp, tk, tcc, tk + tcc, (tp <= tk + tcc ? "met" : "MISSED") >> targets
  }'
done

# The largest survey drawn too (--plot survey.png), next to the plain run.
echo
printf '%-7s %9s %9s %9s %7s %9s %9s\n' \
  survey "input MB" "vask s" "plot s" "cpu s" "picture s" "PNG KiB"
dir=$work/${largest}mb
t_k=$(awk -v s="$largest" '$1 == s { print $2 }' "$results" | median)
t_plot=$(awk -v s="$largest" '$1 == s { print $13 }' "$results" | median)
cpu_plot=$(awk -v s="$largest" '$1 == s { print $14 }' "$results" | median)
t_picture=$(awk -v s="$largest" '$1 == s { print $13 - $2 }' "$results" | median)
awk -v size="$largest" -v bytes="$(stat -c %s "$data/survey-${largest}mb.prd")" -v tk="$t_k" -v tp="$t_plot" \
    -v cp="$cpu_plot" -v picture="$t_picture" -v png="$(stat -c %s "$dir/survey.png")" -v targets="$targets" 'BEGIN {
  printf "%-7s %9.1f %9.3f %9.3f %7.2f %9.3f %9.1f\n", size "MB", bytes / 1e6, tk, tp, cp, picture, png / 1024
  printf "%s MB survey: picture %.3f s (--plot %.3f s, plain %.3f s), target picture at most 0.5 s next to the conversion: %s\n",
    size, picture, tp, tk, (picture <= 0.5 ? "met" : "MISSED") >> targets
}'
# The Python package on the largest survey (make bench builds it for
# Debian's Python), inside one Python process.
echo
if [[ -f $build/python/korvan2col/__init__.py ]]; then
  PYTHONPATH=$build/python /usr/bin/python3 "$repo/bench/python_bench.py" --korvan "$korvan" \
    --survey "$data/survey-${largest}mb.prd" --work "$work/${largest}mb" --runs "$(( runs < 5 ? 5 : runs ))" \
    --targets "$targets"
else
  echo "korvan2col.read(): not built (make python builds it), no rows"
fi
echo
echo "Targets:"
awk -v s="$last_size" -v b="$last_bytes" -v t="$last_time" 'BEGIN {
  rate = b / 1e6 / t
  printf "%s MB survey: %.1f MB/s, target >= 300 MB/s: %s\n", s, rate, (rate >= 300 ? "met" : "MISSED") }'
cat "$targets"
if [[ $first_size != "$last_size" ]]; then
  # Linear growth would be the size ratio; 10% slack on top (4.4x for 100 -> 400 MB).
  awk -v s0="$first_size" -v s1="$last_size" -v t0="$first_time" -v t1="$last_time" \
      -v b0="$first_bytes" -v b1="$last_bytes" 'BEGIN {
    growth = t1 / t0; limit = 1.1 * b1 / b0
    printf "growth %s -> %s MB: time %.2fx, target <= %.2fx: %s\n", s0, s1, growth, limit,
      (growth <= limit ? "met" : "MISSED") }'
fi

# The rows of several files a run: 20 small surveys and 4 large ones (these
# surveys, the smallest again where there are fewer than 4), -j 2 against one
# after another.
echo
large_sizes=$sizes
# shellcheck disable=SC2086
while (($(wc -w <<<"$large_sizes") < 4)); do large_sizes="$large_sizes $(printf '%s\n' $sizes | sort -g | head -n 1)"; done
"$repo/bench/batch_bench.sh" --build "$build" --runs "$runs" --seed "$seed" --large "$large_sizes"

# 4. The outputs.
echo
echo "vask.out and vask.csv sha256 (in $sums):"
cat "$sums"
compare() {  # compare SUMS-FILE LABEL
  local label=$2 differ=0
  while read -r sum size rest; do
    local old
    old=$(awk -v s="$size" '$2 == s { print $1 }' "$1")
    if [[ -z $old ]]; then
      echo "$size: not in $label"
    elif [[ $(awk -v s="$size" '$2 == s { $1 = $2 = ""; sub(/^ +/, ""); print }' "$1") != "$rest" ]]; then
      echo "$size: survey made with other arguments in $label, not compared"
    elif [[ $old == "$sum" ]]; then
      echo "$size: identical to $label"
    else
      echo "$size: DIFFERS from $label"
      differ=1
    fi
  done <"$sums"
  return $differ
}
status=0
if [[ -f $sums.previous ]]; then compare "$sums.previous" "the previous run" || true; fi
if [[ -n $compare_dir ]]; then
  if [[ -f $compare_dir/vask.sha256 ]]; then
    compare "$compare_dir/vask.sha256" "$compare_dir/vask.sha256" || status=1
  else
    echo "run_bench: no $compare_dir/vask.sha256 to compare with" >&2
    status=1
  fi
fi
if [[ -n $save_dir ]]; then
  mkdir -p "$save_dir"
  cp "$sums" "$save_dir/vask.sha256"
  echo "sums saved to $save_dir/vask.sha256"
fi
echo
echo "Note: wall times on a shared machine are noisy; compare runs made under the same load."
exit $status
