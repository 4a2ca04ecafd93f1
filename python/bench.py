#!/usr/bin/env python3
"""Names per second of jasokit.convert_many and of a Python loop over
jasokit.convert, on 1,000,000 real place names (the locality, village and
building names of ../shared/data/zipcode-source.csv repeated; a generated set
without it), and, in the same run, of the Korean romanization packages of the
npm registry in their own loop in node, when node and the packages are there
(npm install them into NPM_FOLDER, default /tmp/jasokit-npm-peers).

    PYTHONPATH=build/python /usr/bin/python3 python/bench.py [COUNT [ROUNDS]]
"""
import csv
import json
import os
import pathlib
import random
import shutil
import subprocess
import sys
import tempfile
import time

import jasokit

HERE = pathlib.Path(__file__).resolve().parent
SOURCE_CSV = pathlib.Path(os.environ.get("JASOKIT_TEST_DATA_DIR", HERE.parent.parent / "shared" / "data")) / \
    "zipcode-source.csv"


def place_names(count):
    names = []
    if SOURCE_CSV.is_file():
        with open(SOURCE_CSV, encoding="utf-8-sig", newline="") as f:
            for row in csv.reader(f):
                names += [value for value in row[3:6] if value]
        origin = f"{len(names):,} locality, village and building names of {SOURCE_CSV.name}"
    else:
        rng = random.Random(1)
        syllables = "가나다라마바사아자차카타파하강남역삼성청담압구정신촌합정망원연희홍은"
        for _ in range(50_000):
            stem = "".join(rng.choice(syllables) for _ in range(rng.randint(1, 4)))
            names.append(stem + rng.choice(["동", "리", "읍", "면", "1가", "아파트", "빌딩"]))
        origin = f"{len(names):,} generated names (no {SOURCE_CSV})"
    return (names * (count // len(names) + 1))[:count], origin


def best_of(runs, work):
    """Best wall and CPU seconds of runs calls."""
    wall = cpu = float("inf")
    for _ in range(runs):
        w, c = time.perf_counter(), time.process_time()
        work()
        wall, cpu = min(wall, time.perf_counter() - w), min(cpu, time.process_time() - c)
    return wall, cpu


def npm_peers(names, only=None):
    """The npm peers' figures, fastest first (all of them, or the one named)."""
    folder = os.environ.get("NPM_FOLDER", "/tmp/jasokit-npm-peers")
    node = shutil.which("node")
    if not node or not os.path.isdir(os.path.join(folder, "node_modules")):
        print(f"npm peers: skipped (node {'found' if node else 'not found'}, no {folder}/node_modules)")
        return []
    with tempfile.NamedTemporaryFile("w", encoding="utf-8", suffix=".txt") as f:
        f.write("".join(n + "\n" for n in names))
        f.flush()
        run = subprocess.run([node, str(HERE / "npm-peers.js"), f.name, folder] + ([only] if only else []),
                             capture_output=True, text=True)
    peers = [json.loads(line) for line in run.stdout.splitlines()]
    if run.returncode != 0 or not peers:
        print(f"npm peers: none ran ({run.stderr.strip()[:200]})")
    return sorted(peers, key=lambda p: -p["perSecond"])


def main():
    count = int(sys.argv[1]) if len(sys.argv) > 1 else 1_000_000
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    names, origin = place_names(count)
    cores = os.cpu_count()
    print(f"jasokit {jasokit.__version__} from {jasokit.__file__}")
    print(f"{count:,} names from {origin}, {sum(map(len, names)) / count:.1f} characters each; {cores} cores; "
          f"load average {os.getloadavg()[0]:.1f}")
    jasokit.convert_many(names[:10_000])  # warm up
    work = [
        ("convert_many, classic, threads=1", lambda: jasokit.convert_many(names, threads=1)),
        ("convert_many, classic, every core", lambda: jasokit.convert_many(names)),
        ("convert_many, official, threads=1", lambda: jasokit.convert_many(names, style="official", threads=1)),
        ("convert_many, official, every core", lambda: jasokit.convert_many(names, style="official")),
        ("romanize_many, threads=1", lambda: jasokit.romanize_many(names, threads=1)),
        ("romanize_many, every core", lambda: jasokit.romanize_many(names)),
    ]
    wall, _ = best_of(1, lambda: [jasokit.convert(n).output for n in names])
    print(f"  Python loop over convert: {count / wall / 1e6:.2f} M names/s wall")
    peers = npm_peers(names)
    for p in peers:
        print(f"  node {p['name']} {p['version']}: {p['perSecond'] / 1e6:.2f} M names/s wall "
              f"({p['seconds']:.3f} s), e.g. {p['sample']}")
    # Rounds of everything side by side, so that each ratio compares figures
    # taken moments apart on a machine that may be shared.
    print(f"{rounds} rounds, names per second (M, wall, best of 3 in each round):")
    best = {}
    for r in range(rounds):
        rates = {label: count / best_of(3, job)[0] for label, job in work}
        peer = f"node {peers[0]['name']}" if peers else None
        if peer:
            fastest = npm_peers(names, peers[0]["name"])
            rates[peer] = fastest[0]["perSecond"] if fastest else float("nan")
        for label, rate in rates.items():
            best[label] = max(best.get(label, 0), rate)
        every, one = rates["convert_many, classic, every core"], rates["convert_many, classic, threads=1"]
        line = f"  round {r + 1}: " + ", ".join(f"{label} {rate / 1e6:.2f}" for label, rate in rates.items())
        official = rates["convert_many, official, every core"] / rates["convert_many, official, threads=1"]
        line += f"; every core / threads=1: classic {every / one:.2f}x, official {official:.2f}x"
        if peer:
            line += f"; classic every core / {peer} {every / rates[peer]:.2f}x"
        print(line)
    print("best of the rounds:")
    for label, rate in best.items():
        print(f"  {label}: {rate / 1e6:.2f} M names/s")
    print(f"  e.g. {jasokit.convert_many(names[:3])}")


if __name__ == "__main__":
    main()
