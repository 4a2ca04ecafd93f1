#!/usr/bin/env bash
# jasokit serve under hostile clients on loopback, every step bounded in time:
#  1. GET /v1/convert vs nginx serving the same answer as a static file: wrk,
#     64 connections, 2 threads, SECONDS each; the ratio of the rates;
#  2. /healthz and a small GET /v1/convert, each on a new connection, while
#     200 clients send their heads a byte a second and 2,000 connections stay
#     idle, all from the same address (and reopened as the server closes
#     them): p50/p99/max latency and failures, and how long the slow heads
#     lasted;
#  3. 100 clients posting a batch of some 800 KB each and reading the answer
#     at 512 bytes a second (receive buffer 64 KiB, as over a slow link): the
#     server's resident memory before and at its peak over 30 s, the statuses
#     the clients got, and how many of their connections the server still
#     held after 20 s.
# Needs wrk and nginx (Debian: apt-get install wrk nginx-light) and an open-file
# limit of some 3,000 for step 2.
#
# Usage: bench/serve-hostile.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$here/build"}
seconds=${2:-8}
jasokit="$build/cli/jasokit"
source "$here/bench/serve-common.sh"
begin_run serve-hostile
ulimit -n 8192 2> /dev/null || true

"$jasokit" serve --listen 127.0.0.1:0 2> "$tmp/serve.log" &
server_pid=$!
port=$(port_of "$tmp/serve.log")
url="http://127.0.0.1:$port/v1/convert?$query"

start_nginx "$url"

rate() { wrk -t2 -c64 -d"${seconds}s" "$1" | awk '/Requests\/sec/ {print $2}'; }
nginx_rps=$(rate "http://127.0.0.1:$nginx_port/convert.json")
serve_rps=$(rate "$url")
echo "1. GET, 64 connections, ${seconds} s (load average: $(cut -d' ' -f1 /proc/loadavg)):"
python3 -c "import sys; n, s = float(sys.argv[1]), float(sys.argv[2]); print('   nginx static %.0f requests/s, jasokit serve %.0f requests/s: %.2f of nginx' % (n, s, s / n))" \
  "$nginx_rps" "$serve_rps"
kill "$nginx_pid" 2> /dev/null || true
wait "$nginx_pid" 2> /dev/null || true
nginx_pid=""

python3 - "$port" "$server_pid" "$query" "$here" << 'PY'
import csv, json, os, pathlib, selectors, socket, sys, threading, time

port, pid, query, here = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3], pathlib.Path(sys.argv[4])


def rss_mib():
    with open(f"/proc/{pid}/status") as f:
        return next(int(l.split()[1]) for l in f if l.startswith("VmRSS")) / 1024


def get(path):
    start = time.monotonic()
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
            s.sendall(b"GET " + path + b" HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
            answer = b""
            while chunk := s.recv(65536):
                answer += chunk
        ok = answer.startswith(b"HTTP/1.1 200")
    except OSError:
        ok = False
    return (time.monotonic() - start) * 1000, ok


def server_connections():
    """The server's established connections (its side of them: local port = its port)."""
    count = 0
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        with open(table) as f:
            for line in f.readlines()[1:]:
                local, state = line.split()[1], line.split()[3]
                count += int(local.rsplit(":", 1)[1], 16) == port and state == "01"
    return count


def percentile(values, p):
    values = sorted(values)
    return values[min(len(values) - 1, int(len(values) * p / 100))]


# 2. Slow heads and idle connections, kept open (reopened when closed) for 20 s.
stop = threading.Event()
lifetimes = []


def attack(idle_count, slow_count):
    sel = selectors.DefaultSelector()
    opened = {}

    def open_one(slow):
        try:
            s = socket.create_connection(("127.0.0.1", port), timeout=5)
        except OSError:
            return
        s.setblocking(False)
        opened[s] = (slow, time.monotonic(), 0)
        sel.register(s, selectors.EVENT_READ)

    for _ in range(idle_count):
        open_one(False)
    for _ in range(slow_count):
        open_one(True)
    head = b"GET /healthz HTTP/1.1\r\nHost: x\r\nX-Slow: " + b"y" * 10000
    next_byte = time.monotonic()
    while not stop.is_set():
        for key, _ in sel.select(timeout=0.1):
            s = key.fileobj
            try:
                data = s.recv(65536)
            except OSError:
                data = b""
            if data:
                continue
            slow, since, _ = opened.pop(s)
            sel.unregister(s)
            s.close()
            if slow:
                lifetimes.append(time.monotonic() - since)
            open_one(slow)
        if time.monotonic() >= next_byte:
            next_byte += 1
            for s, (slow, since, sent) in list(opened.items()):
                if slow:
                    try:
                        s.send(head[sent:sent + 1])
                        opened[s] = (slow, since, sent + 1)
                    except OSError:
                        pass
    for s in opened:
        s.close()


attacker = threading.Thread(target=attack, args=(2000, 200))
attacker.start()
time.sleep(3)
health, small = [], []
failures = 0
deadline = time.monotonic() + 20
while time.monotonic() < deadline:
    for path, into in ((b"/healthz", health), (b"/v1/convert?" + query.encode(), small)):
        ms, ok = get(path)
        into.append(ms)
        failures += not ok
    time.sleep(0.01)
stop.set()
attacker.join()
print("2. while 200 slow heads (a byte a second) and 2,000 idle connections from this address stay open:")
for name, values in (("GET /healthz", health), ("GET /v1/convert", small)):
    print("   %-16s %4d requests on new connections: p50 %6.1f ms  p99 %6.1f ms  max %6.1f ms" %
          (name, len(values), percentile(values, 50), percentile(values, 99), max(values)))
print("   failed: %d; slow heads closed by the server after %.1f-%.1f s (%d closed)" %
      (failures, min(lifetimes or [0]), max(lifetimes or [0]), len(lifetimes)))
time.sleep(1)

# 3. 100 slow readers of large answers.
full = here.parent / "shared" / "data" / "zipcode-source.csv"
source = full if full.is_file() else here / "data" / "zipcode-sample.csv"
with open(source, encoding="utf-8-sig", newline="") as f:
    rows = [r for r in csv.reader(f) if r and r[0] != "zipcode"]
texts = [" ".join(p for p in r[1:7] if p) + " %d-%d 2층 201호 (청운빌딩)" % (i % 300 + 1, i % 7 + 1)
         for i, r in enumerate(rows)]
texts = (texts * (10000 // len(texts) + 1))[:10000]
body = json.dumps({"texts": texts, "style": "official"}, ensure_ascii=False).encode()
before = rss_mib()
statuses, lock = {}, threading.Lock()
started = time.monotonic()


def slow_reader():
    s = socket.socket()
    s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 65536)
    s.settimeout(30)
    status = "none"
    try:
        s.connect(("127.0.0.1", port))
        s.sendall(b"POST /v1/convert HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
                  b"Content-Length: %d\r\n\r\n" % len(body) + body)
        first = s.recv(512)
        status = first[9:12].decode(errors="replace") or "closed"
        while status == "200" and time.monotonic() - started < 30 and s.recv(512):
            time.sleep(1)
    except OSError:
        pass
    finally:
        s.close()
        with lock:
            statuses[status] = statuses.get(status, 0) + 1


readers = [threading.Thread(target=slow_reader) for _ in range(100)]
for t in readers:
    t.start()
peak = before
held_at_20 = None
while any(t.is_alive() for t in readers) and time.monotonic() - started < 32:
    peak = max(peak, rss_mib())
    if held_at_20 is None and time.monotonic() - started >= 20:
        held_at_20 = server_connections()
    time.sleep(0.2)
for t in readers:
    t.join()
print("3. 100 clients posting %d KB and reading the answer at 512 bytes/s:" % (len(body) // 1000))
print("   resident memory %.0f MiB before, %.0f MiB at the peak; statuses %s; connections the server still held"
      " at 20 s: %s (a reset one still reads what its own socket holds)"
      % (before, peak, dict(sorted(statuses.items())), held_at_20))
PY
