#!/usr/bin/env bash
# The address database at the national size: generates a current-layout file
# of ROWS rows (default 6,400,000) from the real rows of ../shared/data, then
# measures the build (time, peak memory), the database's size against the
# source's, and runs addrdb-bench and addrdb-search-bench on it. Not for CI:
# it takes minutes and gigabytes. Usage: bench/addrdb-bench.sh [BUILD_DIR] [ROWS]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$here/build"}
rows=${2:-6400000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$here/bench/addrdb-gen.py" "$work/national.txt" "$rows"
/usr/bin/time -f "build: %e s wall, %U s user, peak %M KB" \
  "$build/cli/jasokit" addrdb build "$work/national.txt" -o "$work/national.db"
source_bytes=$(stat -c %s "$work/national.txt")
db_bytes=$(stat -c %s "$work/national.db")
echo "source $source_bytes bytes, database $db_bytes bytes ($((100 * db_bytes / source_bytes))%)"
JASOKIT_BENCH_ADDRDB="$work/national.db" "$build/bench/addrdb-bench" --benchmark_min_time=1
# The search: median and p99 per kind of query, then one lookup process
# reading 20,000 mixed queries (start-up included).
JASOKIT_BENCH_ADDRDB="$work/national.db" "$build/bench/addrdb-search-bench" --benchmark_min_time=0.5
JASOKIT_BENCH_ADDRDB="$work/national.db" JASOKIT_BENCH_QUERIES="$work/queries.txt" "$build/bench/addrdb-search-bench"
start=$(date +%s%N)
"$build/cli/jasokit" lookup --addrdb "$work/national.db" --limit 8 < "$work/queries.txt" > /dev/null 2>&1 || true
end=$(date +%s%N)
echo "lookup process: $(( (end - start) / 20000 / 1000 )) us a query over 20,000 queries"
