#!/usr/bin/env bash
# The time of one `jasokit zip NAME` process against a table, from start to
# exit, as a user pays it: median of many runs, with the page cache warm.
# Usage: bench/zip-process.sh [BUILD_DIR] [TABLE] [RUNS]
# (TABLE defaults to the full table in ../shared/data, else the sample.)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$here/build"}
table=${2:-"$here/../shared/data/zipcode030101t6.dbf"}
runs=${3:-101}
jasokit="$build/cli/jasokit"
[[ -f "$table" ]] || table="$build/cli/zipcode030101t6.dbf"
name="역삼1동"

"$jasokit" zip --db "$table" "$name" > /dev/null || true  # warm the page cache
# bash's own timer, so that no helper process is counted.
TIMEFORMAT=%6R
times=()
for ((i = 0; i < runs; ++i)); do
  t=$( { time "$jasokit" zip --db "$table" "$name" > /dev/null 2>&1; } 2>&1 )
  times+=($(echo "$t * 1000000 / 1" | bc))
done
sorted=($(printf '%s\n' "${times[@]}" | sort -n))
median=${sorted[$((runs / 2))]}
peak=$( { /usr/bin/time -f %M "$jasokit" zip --db "$table" "$name" > /dev/null; } 2>&1 | tail -n 1)
printf 'jasokit zip %s on %s: median %.1f ms over %d runs (min %.1f, max %.1f), peak memory %s KiB\n' \
  "$name" "$(basename "$table")" "$(echo "$median / 1000" | bc -l)" "$runs" \
  "$(echo "${sorted[0]} / 1000" | bc -l)" "$(echo "${sorted[$((runs - 1))]} / 1000" | bc -l)" "$peak"
