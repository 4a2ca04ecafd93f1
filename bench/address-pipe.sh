#!/usr/bin/env bash
# End-to-end throughput of `jasokit convert` on address lines: builds the
# lines (province district locality village building lot) from
# zipcode-source.csv, or a generated set when it is absent, repeats them
# REPEAT times (default 10) into a temporary UTF-8 file and times the
# command reading it, printing lines per second.
#   usage: bench/address-pipe.sh [path/to/jasokit] [path/to/zipcode-source.csv]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
jasokit=${1:-"$here/build/cli/jasokit"}
csv=${2:-"$here/../shared/data/zipcode-source.csv"}
repeat=${REPEAT:-10}
[[ -x "$jasokit" ]] || { echo "address-pipe.sh: no jasokit at $jasokit; build first" >&2; exit 2; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
python3 - "$csv" "$repeat" > "$tmp/lines.txt" <<'PY'
import os, sys
csv, repeat = sys.argv[1], int(sys.argv[2])
lines = []
if os.path.exists(csv):
    with open(csv, encoding="utf-8-sig") as f:
        for row in f:
            fields = row.rstrip("\r\n").split(",")
            if len(fields) >= 7:
                lines.append(" ".join(x for x in fields[1:7] if x))
if not lines:
    regions = ["서울", "부산광역시", "경기도", "경상남도", "강원", "대구"]
    districts = ["강남구", "해운대구", "성남시", "함안군", "홍천군", "중구"]
    localities = ["역삼동", "우동", "분당구", "가야읍", "서석면", "동인동1가"]
    details = ["말산리 123", "현대아파트 101동", "정자동 1", "중앙사서함 12", "삼성빌딩 5층", "123-45"]
    for i in range(50000):
        lines.append(" ".join([regions[i % 6], districts[i // 6 % 6],
                               localities[i // 36 % 6], details[i // 216 % 6]]))
out = "\n".join(lines) + "\n"
sys.stdout.write(out * repeat)
PY

count=$(wc -l < "$tmp/lines.txt")
"$jasokit" convert < "$tmp/lines.txt" > /dev/null  # warm the page cache
start=$(date +%s.%N)
"$jasokit" convert < "$tmp/lines.txt" > /dev/null
end=$(date +%s.%N)
python3 -c "import sys; n, t = int(sys.argv[1]), float(sys.argv[3]) - float(sys.argv[2]); \
print(f'{n} lines in {t:.3f} s: {n / t:,.0f} lines/s')" "$count" "$start" "$end"
