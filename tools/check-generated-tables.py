#!/usr/bin/env python3
"""Reruns the table generators into a temporary folder and compares their
output with the committed files, so an edit to one side alone is caught.

    python3 tools/check-generated-tables.py     # exit 1 and a diff on a mismatch
"""
import difflib
import pathlib
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
# (generator and its arguments, the committed file it writes)
GENERATED = [
    (["lib/tables/gen_cp949_tables.py"], "lib/tables/cp949_tables.cpp"),
    (["lib/tables/gen_address_tables.py"], "lib/tables/address_tables.h"),
    (["lib/tables/gen_address_tables.py", "--official"], "lib/tables/official_tables.h"),
]


def main():
    stale = 0
    with tempfile.TemporaryDirectory() as tmp:
        for command, committed in GENERATED:
            fresh = pathlib.Path(tmp) / pathlib.Path(committed).name
            with open(fresh, "wb") as out:
                subprocess.run([sys.executable, str(ROOT / command[0])] + command[1:], stdout=out, check=True)
            want = fresh.read_bytes()
            have = (ROOT / committed).read_bytes()
            if want == have:
                print("ok     %s" % committed)
                continue
            stale += 1
            print("STALE  %s: differs from '%s'" % (committed, " ".join(command)))
            diff = difflib.unified_diff(
                have.decode("utf-8", "replace").splitlines(), want.decode("utf-8", "replace").splitlines(),
                committed, "generated", lineterm="", n=1)
            for line in list(diff)[:40]:
                print(line)
    return 1 if stale else 0


if __name__ == "__main__":
    sys.exit(main())
