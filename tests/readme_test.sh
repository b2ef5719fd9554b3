#!/usr/bin/env bash
# Holds the README to what it promises a new user: that its Getting started
# lists every package the set-up script installs, and that its lines for
# loading vask.out and vask.csv load them. The lines are taken from the
# README itself and run on the rows that the real binary writes for
# examples/survey_multi.prd, in a scratch directory.
#   readme_test.sh packages|awk|python BINARY SOURCE_DIR
# The python part needs a Python with numpy and pandas; without one it
# skips (exit status 77), unless KORVAN_TEST_SETUP says that `make test`
# installed them, when it fails.
set -euo pipefail
mode=$1 binary=$2 source=$3
readme=$source/README.md

fail() {
  echo "readme_test: $*" >&2
  exit 1
}

if [[ $mode == packages ]]; then
  while IFS= read -r row; do
    grep -qxF -- "$row" "$readme" || fail "README.md lacks the package row: $row"
  done < <("$source/scripts/install-packages" --list)
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The example as it is, and with one value missing (sounding 2 gives only
# the in-phase value where its column pair has both): an empty CSV field.
mkdir "$work/complete" "$work/missing"
cp "$source/examples/survey_multi.prd" "$work/complete/"
sed 's/ B 160.92 93.05$/ I 160.92/' "$source/examples/survey_multi.prd" >"$work/missing/survey_multi.prd"
cmp -s "$work/complete/survey_multi.prd" "$work/missing/survey_multi.prd" && fail "the missing value was not made"
for dir in "$work/complete" "$work/missing"; do
  (cd "$dir" && "$binary" survey_multi.prd >/dev/null 2>&1 && "$binary" --format csv survey_multi.prd >/dev/null 2>&1) ||
    fail "converting $dir/survey_multi.prd failed"
done

if [[ $mode == awk ]]; then
  # The exact output of each awk line, by the file it reads.
  declare -A expected=(
    [vask.csv]=$'1 431250 6781500 1204.8\n2 431262.5 6781500.5 1187.25\n3 431275 6781501 902.6\n4 431287.5 6781501.5 955.1\n5 431300 6781502 1150.4'
    [vask.out]=$'431250.00000 6781500.00000 1204.8\n431262.50000 6781500.50000 1187.3\n431275.00000 6781501.00000 902.60\n431287.50000 6781501.50000 955.10\n431300.00000 6781502.00000 1150.4'
  )
  declare -A seen=()
  while IFS= read -r line; do
    file=${line##* }
    [[ -v expected[$file] ]] || fail "an awk line of the README reads neither vask.out nor vask.csv: $line"
    [[ -v seen[$file] ]] && fail "two awk lines of the README read $file"
    seen[$file]=1
    got=$(cd "$work/complete" && bash -c "$line") || fail "failed: $line"
    [[ $got == "${expected[$file]}" ]] || fail "$line printed $(printf %q "$got") instead of $(printf %q "${expected[$file]}")"
  done < <(sed -n 's/^    \(awk .*\)$/\1/p' "$readme")
  [[ ${#seen[@]} -eq ${#expected[@]} ]] || fail "README.md lacks an awk line for vask.out or vask.csv"
  exit 0
fi

[[ $mode == python ]] || fail "unknown mode $mode"
# Debian's own Python first: the python3 first on the path may be another
# without numpy. scripts/install-packages looks at the same two.
for python in /usr/bin/python3 "$(command -v python3 || true)"; do
  if [[ -x $python ]] && "$python" -c 'import numpy, pandas' >/dev/null 2>&1; then
    "$python" "$source/tests/readme_loading_check.py" "$readme" "$work/complete" "$work/missing"
    exit
  fi
done
if [[ ${KORVAN_TEST_SETUP:-} == 1 ]]; then
  fail "no Python with numpy and pandas, though scripts/install-packages test installs python3-numpy and python3-pandas"
fi
echo "readme_test: no Python with numpy and pandas (scripts/install-packages test installs them); skipped"
exit 77
