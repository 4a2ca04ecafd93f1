#!/usr/bin/env bash
# jasokit serve under load, side by side with nginx serving the same JSON as
# a static file, in one run (wrk and nginx from Debian; loopback only, every
# run bounded in time):
#  1. GET /v1/convert of an official address vs nginx: 64 connections, 8 s,
#     2 wrk threads; requests per second and p99 latency of each;
#  2. the server's resident memory over 1,000,000 more requests of the same;
#  3. POST /v1/convert of 10,000 addresses per request: addresses per second;
#  4. GET latency while 2 connections POST such batches: whether the batches
#     hold the other connections up.
# The addresses of 3. come from ../shared/data/zipcode-source.csv when it is
# there, else from data/zipcode-sample.csv.
# With OTHER_JASOKIT (another build of the program, an older one say), steps
# 1. and 3. measure it too, in the same run, alternating with this build.
#
# Usage: bench/serve-load.sh [BUILD_DIR] [SECONDS] [OTHER_JASOKIT]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$here/build"}
seconds=${2:-8}
jasokit="$build/cli/jasokit"
other=${3:-}
source "$here/bench/serve-common.sh"
begin_run serve-load

"$jasokit" serve --listen 127.0.0.1:0 2> "$tmp/serve.log" &
server_pid=$!
if [[ -n "$other" ]]; then
  "$other" serve --listen 127.0.0.1:0 2> "$tmp/other.log" &
  other_pid=$!
fi
port=$(port_of "$tmp/serve.log")
[[ -n "$other" ]] && other_port=$(port_of "$tmp/other.log")
url="http://127.0.0.1:$port/v1/convert?$query"

start_nginx "$url"

# "Requests/sec" and the 50% and 99% latencies in milliseconds from wrk --latency.
measure() {
  local out
  out=$(wrk -t2 -c64 -d"${seconds}s" --latency "$1")
  local rps p50 p99
  rps=$(awk '/Requests\/sec/ {print $2}' <<< "$out")
  p50=$(milliseconds "50%" <<< "$out")
  p99=$(milliseconds "99%" <<< "$out")
  echo "$rps $p50 $p99"
}
milliseconds() {
  awk -v p="$1" '$1 == p {v=$2; if (v ~ /us$/) {sub("us","",v); v/=1000} else if (v ~ /ms$/) {sub("ms","",v)} else if (v ~ /s$/) {sub("s","",v); v*=1000}; print v}'
}
# Handshakes dropped because a listen queue was full (machine-wide counter):
# each costs its client a retransmission of 200 ms or more.
overflows() {
  awk '$1 == "TcpExt:" && !n {n = split($0, key); next} $1 == "TcpExt:" {for (i = 1; i <= n; i++) if (key[i] == "ListenOverflows") print $i}' \
    /proc/net/netstat
}
read -r nginx_rps nginx_p50 nginx_p99 < <(measure "http://127.0.0.1:$nginx_port/convert.json")
before=$(overflows)
read -r serve_rps serve_p50 serve_p99 < <(measure "$url")
dropped=$(($(overflows) - before))
echo "GET, 64 connections, ${seconds} s, 2 wrk threads (load average: $(cut -d' ' -f1 /proc/loadavg)):"
printf '  nginx static file  %10.0f requests/s  p50 %6.2f ms  p99 %6.2f ms\n' "$nginx_rps" "$nginx_p50" "$nginx_p99"
printf '  jasokit serve      %10.0f requests/s  p50 %6.2f ms  p99 %6.2f ms\n' "$serve_rps" "$serve_p50" "$serve_p99"
python3 -c "import sys; print('  ratio              %10.2f of nginx' % (float(sys.argv[1]) / float(sys.argv[2])))" \
  "$serve_rps" "$nginx_rps"
echo "  listen queue overflows while jasokit serve was measured: $dropped"
if [[ -n "$other" ]]; then
  read -r other_rps other_p50 other_p99 < <(measure "http://127.0.0.1:$other_port/v1/convert?$query")
  printf '  other build        %10.0f requests/s  p50 %6.2f ms  p99 %6.2f ms\n' "$other_rps" "$other_p50" "$other_p99"
  python3 -c "import sys; print('  ratio              %10.2f of nginx; this build %.2f x the other' % (float(sys.argv[1]) / float(sys.argv[2]), float(sys.argv[3]) / float(sys.argv[1])))" \
    "$other_rps" "$nginx_rps" "$serve_rps"
fi

# Memory over 1,000,000 requests: resident size after each stretch of load.
rss() { awk '/VmRSS/ {print $2}' "/proc/$server_pid/status"; }
total=0
echo "resident memory of jasokit serve (KiB) by requests served since the start of this step:"
echo "  0 $(rss)"
for _ in $(seq 40); do
  n=$(wrk -t2 -c64 -d5s "$url" | awk '/requests in/ {print $1}')
  total=$((total + n))
  echo "  $total $(rss)"
  ((total >= 1000000)) && break
done

# POST of 10,000 addresses per request.
python3 - "$here" "$tmp/post.lua" << 'PY'
import csv, json, pathlib, sys
here = pathlib.Path(sys.argv[1])
full = here.parent / "shared" / "data" / "zipcode-source.csv"
source = full if full.is_file() else here / "data" / "zipcode-sample.csv"
with open(source, encoding="utf-8-sig", newline="") as f:
    rows = [r for r in csv.reader(f) if r and r[0] != "zipcode"]
texts = [" ".join(p for p in r[1:7] if p) for r in rows]
texts = (texts * (10000 // len(texts) + 1))[:10000]
body = json.dumps({"texts": texts, "style": "official"}, ensure_ascii=False)
pathlib.Path(sys.argv[2]).write_text(
    'wrk.method = "POST"\nwrk.headers["Content-Type"] = "application/json"\nwrk.body = ' +
    "[==[" + body + "]==]\n", encoding="utf-8")
PY
# The server's CPU time too: on a shared machine the rate follows the load,
# the addresses per CPU-second much less.
post_rate() {
  local pid=$1 port=$2 name=$3 ticks post
  ticks=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  post=$(wrk -t2 -c2 -d"${seconds}s" -s "$tmp/post.lua" "http://127.0.0.1:$port/v1/convert" | awk '/Requests\/sec/ {print $2}')
  ticks=$(($(awk '{print $14 + $15}' "/proc/$pid/stat") - ticks))
  python3 -c "import sys; r = float(sys.argv[1]); t = int(sys.argv[2]) / int(sys.argv[4]); print('POST of 10,000 addresses, 2 connections, %s (load average: %s): %.2f requests/s = %.0f addresses/s; %.0f addresses per CPU-second of the server' % (sys.argv[6], sys.argv[5], r, r * 10000, r * 10000 * float(sys.argv[3]) / t))" \
    "$post" "$ticks" "$seconds" "$(getconf CLK_TCK)" "$(cut -d' ' -f1 /proc/loadavg)" "$name"
}
post_rate "$server_pid" "$port" "jasokit serve"
[[ -n "$other" ]] && post_rate "$other_pid" "$other_port" "other build"

# GETs on 16 connections while 2 others POST batches.
mixed() {
  wrk -t1 -c2 -d"${seconds}s" -s "$tmp/post.lua" "http://127.0.0.1:$1/v1/convert" > /dev/null &
  local posting=$!
  sleep 0.5
  local out
  out=$(wrk -t1 -c16 -d"$((seconds - 1))s" --latency "http://127.0.0.1:$1/v1/convert?$query")
  wait "$posting"
  printf '  %-18s %10.0f requests/s  p50 %6.2f ms  p99 %6.2f ms\n' "$2" "$(awk '/Requests\/sec/ {print $2}' <<< "$out")" \
    "$(milliseconds "50%" <<< "$out")" "$(milliseconds "99%" <<< "$out")"
}
echo "GET on 16 connections while 2 connections POST batches of 10,000:"
mixed "$port" "jasokit serve"
[[ -n "$other" ]] && mixed "$other_port" "other build"
exit 0
