#!/usr/bin/env python3
"""Names per second of jasokit.convert_many and of a Python loop over
jasokit.convert, on 1,000,000 real place names (the locality, village and
building names of ../shared/data/zipcode-source.csv repeated; a generated set
without it), and, in the same run, of the Korean romanization packages of the
npm registry in their own loop in node, when node and the packages are there
(npm install them into NPM_FOLDER, default /tmp/jasokit-npm-peers).

    PYTHONPATH=build/python /usr/bin/python3 python/bench.py [COUNT]
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


def npm_peers(names):
    folder = os.environ.get("NPM_FOLDER", "/tmp/jasokit-npm-peers")
    node = shutil.which("node")
    if not node or not os.path.isdir(os.path.join(folder, "node_modules")):
        print(f"npm peers: skipped (node {'found' if node else 'not found'}, no {folder}/node_modules)")
        return
    with tempfile.NamedTemporaryFile("w", encoding="utf-8", suffix=".txt") as f:
        f.write("".join(n + "\n" for n in names))
        f.flush()
        run = subprocess.run([node, str(HERE / "npm-peers.js"), f.name, folder], capture_output=True, text=True)
    peers = [json.loads(line) for line in run.stdout.splitlines()]
    if run.returncode != 0 or not peers:
        print(f"npm peers: none ran ({run.stderr.strip()[:200]})")
        return
    for p in sorted(peers, key=lambda p: -p["perSecond"]):
        print(f"  node {p['name']} {p['version']}: {p['perSecond'] / 1e6:.2f} M names/s wall "
              f"({p['seconds']:.3f} s), e.g. {p['sample']}")
    fastest = max(peers, key=lambda p: p["perSecond"])
    print(f"fastest npm peer: {fastest['name']} {fastest['version']}")


def main():
    count = int(sys.argv[1]) if len(sys.argv) > 1 else 1_000_000
    names, origin = place_names(count)
    print(f"jasokit {jasokit.__version__} from {jasokit.__file__}")
    print(f"{count:,} names from {origin}, {sum(map(len, names)) / count:.1f} characters each; best of 3")
    jasokit.convert_many(names[:10_000])  # warm up
    for label, work in [
        ("convert_many, classic", lambda: jasokit.convert_many(names)),
        ("convert_many, official", lambda: jasokit.convert_many(names, style="official")),
        ("Python loop over convert", lambda: [jasokit.convert(n).output for n in names]),
    ]:
        wall, cpu = best_of(3, work)
        print(f"  {label}: {count / wall / 1e6:.2f} M names/s wall, {count / cpu / 1e6:.2f} M names/s CPU")
    print(f"  e.g. {jasokit.convert_many(names[:3])}")
    npm_peers(names)


if __name__ == "__main__":
    main()
