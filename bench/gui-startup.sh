#!/usr/bin/env bash
# Start-up of the desktop program under Xvfb: wall-clock time from process
# start to the window's first paint, and resident memory at that moment.
#
#   bench/gui-startup.sh [BUILD_DIR] [RUNS]
#
# Uses the full zip code table from ../shared/data when it is there (else
# the sample beside the program) and the build's default banner probe.
# The window is built by build/app/jasokit-screenshot --startup, which runs
# the same start-up code as Jaso_Kit and exits at the first paint.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$here/build"}
runs=${2:-21}
helper="$build/app/jasokit-screenshot"
[[ -x "$helper" ]] || { echo "gui-startup: build first: $helper not found" >&2; exit 1; }

table="$here/../shared/data/zipcode030101t6.dbf"
if [[ ! -f "$table" ]]; then
  table="$build/app/zipcode030101t6.dbf"
  echo "gui-startup: full table not found, using the sample" >&2
fi
[[ -f "$table" ]] || { echo "gui-startup: no zip code table at $table" >&2; exit 1; }
echo "table: $table ($(stat -c %s "$table") bytes)"

# The real program, in a folder of its own with the table beside it.
program_dir=$(mktemp -d)
trap 'rm -rf "$program_dir"' EXIT
cp "$build/app/Jaso_Kit" "$build/app/jasokit_view_off.html" "$program_dir/"
ln -s "$(cd "$(dirname "$table")" && pwd)/$(basename "$table")" "$program_dir/zipcode030101t6.dbf"

export HELPER="$helper" TABLE="$table" RUNS="$runs" PROGRAM="$program_dir/Jaso_Kit" RSS_FILE="$program_dir/rss"
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -euo pipefail
  "$HELPER" --startup --table "$TABLE" >/dev/null   # warm the file cache once
  # Jaso_Kit itself, idle two seconds after its start: its resident memory.
  "$PROGRAM" & pid=$!
  sleep 2
  sed -n "s/^VmRSS:[[:space:]]*//p" /proc/$pid/status > "$RSS_FILE"
  kill $pid; wait $pid 2>/dev/null || true
  for ((i = 0; i < RUNS; i++)); do
    start=$(date +%s%N)
    out=$("$HELPER" --startup --table "$TABLE")
    shown=$(sed -n "s/^shown_ns=//p" <<<"$out")
    rss=$(sed -n "s/^rss_kb=//p" <<<"$out")
    hwm=$(sed -n "s/^hwm_kb=//p" <<<"$out")
    echo "$(( (shown - start) / 1000 )) $rss $hwm"
  done' | python3 -c '
import statistics, sys
rows = [tuple(int(v) for v in line.split()) for line in sys.stdin if line.strip()]
if not rows:
    sys.exit("gui-startup: no runs completed")
ms = [r[0] / 1000 for r in rows]
rss = [r[1] / 1024 for r in rows]
peak = [r[2] / 1024 for r in rows]
print(f"runs: {len(rows)}")
print(f"process start to first paint: median {statistics.median(ms):.1f} ms (min {min(ms):.1f}, max {max(ms):.1f})")
print(f"resident memory at first paint: median {statistics.median(rss):.1f} MB (largest peak {max(peak):.1f} MB)")
'
echo "Jaso_Kit resident memory, idle 2 s after start: $(awk '{printf "%.1f MB", $1 / 1024}' "$program_dir/rss")"
