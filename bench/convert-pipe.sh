#!/usr/bin/env bash
# Times `jasokit convert` as a filter over many short place-name lines (UTF-8
# in and out) and prints lines per second. Usage: bench/convert-pipe.sh [BUILD_DIR] [LINES]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$here/build"}
lines=${2:-2000000}
jasokit="$build/cli/jasokit"
csv="$here/../shared/data/zipcode-source.csv"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

if [[ -f "$csv" ]]; then
  cut -d, -f4 "$csv" | grep -v '^locality$' > "$tmp/names"
else
  printf '%s\n' 역삼동 삼성동 청담동 압구정동 신사동 논현동 대치동 개포동 종로1가 명륜동 \
    혜화동 가야읍 말산리 서석면 언양읍 우동 중동 좌동 정자동 서현동 > "$tmp/names"
fi
# Repeat the names up to the wanted line count.
while (( $(wc -l < "$tmp/names") < lines )); do cat "$tmp/names" "$tmp/names" > "$tmp/n2"; mv "$tmp/n2" "$tmp/names"; done
head -n "$lines" "$tmp/names" > "$tmp/input"
bytes=$(wc -c < "$tmp/input")

best=""
for run in 1 2 3; do
  start=$(date +%s.%N)
  "$jasokit" convert < "$tmp/input" > "$tmp/out"
  end=$(date +%s.%N)
  t=$(echo "$end - $start" | bc -l)
  if [[ -z "$best" ]] || (( $(echo "$t < $best" | bc -l) )); then best=$t; fi
done
[[ $(wc -l < "$tmp/out") -eq $lines ]] || { echo "line count mismatch" >&2; exit 1; }
printf 'jasokit convert: %d lines (%d bytes, avg %.1f bytes/line) in %.3f s (best of 3): %.0f lines/s\n' \
  "$lines" "$bytes" "$(echo "$bytes / $lines" | bc -l)" "$best" "$(echo "$lines / $best" | bc -l)"
