#!/usr/bin/env bash
# Throughput of `jasokit convert` with -j 1 and -j 2 on real address lines, in
# line mode and CSV mode; checks that every -j gives the same bytes.
#
# The input is built from ../shared/data/zipcode-source.csv (columns zipcode,
# province, district, locality, ri, building, lot, sequence): province to lot
# joined by spaces, repeated up to LINES lines. It stays in a temporary folder.
#
# Usage: bench/batch-throughput.sh [BUILD_DIR] [LINES] [RUNS]
# Run it on a quiet machine (see uptime): the figures are wall-clock times.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$here/build"}
lines=${2:-2000000}
runs=${3:-5}
jasokit="$build/cli/jasokit"
source_csv="$here/../shared/data/zipcode-source.csv"
[[ -f "$source_csv" ]] || { echo "no $source_csv" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# province..lot joined by spaces, runs of spaces made single, BOM dropped.
python3 - "$source_csv" "$lines" "$tmp/lines" "$tmp/input.csv" <<'EOF'
import csv, sys
src, count, lines_path, csv_path = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
with open(src, encoding="utf-8-sig", newline="") as f:
    rows = [r for r in csv.reader(f) if r and r[0] != "zipcode"]
texts = [" ".join(p for p in r[1:7] if p) for r in rows]
with open(lines_path, "w", encoding="utf-8", newline="") as out, \
     open(csv_path, "w", encoding="utf-8", newline="") as out_csv:
    writer = csv.writer(out_csv, lineterminator="\r\n")
    writer.writerow(["id", "address"])
    for i in range(count):
        t = texts[i % len(texts)]
        out.write(t + "\n")
        writer.writerow([i + 1, t])
EOF

# Seconds of one run, output in $tmp/out.
time_run() {
  local start end
  start=$(date +%s.%N)
  "$jasokit" convert "$@" > "$tmp/out"
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}

report() {
  local mode=$1 input=$2; shift 2
  local ref=""
  declare -A best median
  for jobs in 1 2; do
    local times=()
    for ((r = 0; r < runs; ++r)); do
      times+=("$(time_run -j "$jobs" "$@" < "$input")")
      if [[ -z "$ref" ]]; then
        cp "$tmp/out" "$tmp/ref"
        ref=1
      elif ! cmp -s "$tmp/out" "$tmp/ref"; then
        echo "$mode -j $jobs: output differs from -j 1" >&2
        exit 1
      fi
    done
    local sorted
    sorted=$(printf '%s\n' "${times[@]}" | sort -g)
    best[$jobs]=$(echo "$sorted" | head -n 1)
    median[$jobs]=$(echo "$sorted" | sed -n "$(( (runs + 1) / 2 ))p")
    printf '%-5s -j %d: best %.3f s (%.0f lines/s), median %.3f s (%.0f lines/s) over %d runs\n' "$mode" "$jobs" \
      "${best[$jobs]}" "$(echo "$lines / ${best[$jobs]}" | bc -l)" \
      "${median[$jobs]}" "$(echo "$lines / ${median[$jobs]}" | bc -l)" "$runs"
  done
  printf '%-5s -j 2 over -j 1: %.2fx (best), %.2fx (median); output identical\n' "$mode" \
    "$(echo "${best[1]} / ${best[2]}" | bc -l)" "$(echo "${median[1]} / ${median[2]}" | bc -l)"
}

echo "$lines lines, $(wc -c < "$tmp/lines") bytes; $(nproc) cores; load: $(cut -d' ' -f1-3 /proc/loadavg)"
report lines "$tmp/lines"
report csv "$tmp/input.csv" --csv --header --column address
