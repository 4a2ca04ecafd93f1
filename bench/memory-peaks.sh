#!/usr/bin/env bash
# Prints the peak resident memory (/usr/bin/time %M) of each jasokit command
# on inputs far bigger than any text it accepts: one line of 1 GB, a line that
# never ends (/dev/zero, stopped after 10 s), and for zipdb a CSV of ten
# million valid rows. Usage: bench/memory-peaks.sh [BUILD_DIR] [ROWS]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$here/build"}
rows=${2:-10000000}
jasokit="$build/cli/jasokit"
table="$build/cli/zipcode030101t6.dbf"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# peak LABEL INPUT COMMAND...: INPUT is "line" for the 1 GB line made on the
# fly, "endless" for /dev/zero stopped after 10 s, or "none"; prints the peak
# in MB, the time and the exit status.
peak() {
  local label=$1 input=$2
  shift 2
  case $input in
    line) head -c 1073741824 /dev/zero | tr '\0' a |
            /usr/bin/time -o "$tmp/time" -f '%M %e %x' "$@" >/dev/null 2>"$tmp/err" || true ;;
    endless) timeout -s INT 10 /usr/bin/time -o "$tmp/time" -f '%M %e %x' "$@" </dev/zero >/dev/null 2>"$tmp/err" || true ;;
    none) /usr/bin/time -o "$tmp/time" -f '%M %e %x' "$@" </dev/null >/dev/null 2>"$tmp/err" || true ;;
  esac
  local kb seconds status
  read -r kb seconds status < <(tail -n 1 "$tmp/time")
  if grep -q 'terminated by signal' "$tmp/time"; then
    status="stopped by $(sed -n 's/.*terminated by signal /signal /p' "$tmp/time")"
  else
    status="exit $status"
  fi
  printf '%-44s %8.1f MB  %6s s  %s\n' "$label" "$(echo "$kb / 1024" | bc -l)" "$seconds" "$status"
}

echo "peak resident memory (target: under 64 MB for any input)"
for input in line endless; do
  what=$([[ $input == line ]] && echo "1 GB line" || echo "endless line, 10 s")
  peak "convert, $what" "$input" "$jasokit" convert
  peak "convert --cp949, $what" "$input" "$jasokit" convert --cp949
  peak "romanize, $what" "$input" "$jasokit" romanize
  peak "zip, $what" "$input" "$jasokit" zip --db "$table"
  peak "zipdb build -, $what" "$input" "$jasokit" zipdb build - -o "$tmp/out.dbf"
done

awk -v n="$rows" 'BEGIN { print "zipcode,province,district,locality,detail";
  for (i = 1; i <= n; i++) printf "%03d-%03d,서울,강남구,역삼%d동,%d~%d\n", i % 1000, i % 997, i, i, i + 9 }' >"$tmp/rows.csv"
peak "zipdb build, $rows rows ($(du -m "$tmp/rows.csv" | cut -f1) MB CSV)" none \
  "$jasokit" zipdb build "$tmp/rows.csv" -o "$tmp/rows.dbf"
echo "table written: $(du -m "$tmp/rows.dbf" | cut -f1) MB"
