#!/usr/bin/env python3
"""Writes a current-layout Korea Post file of ROWS rows (default 6,400,000, the
national size) by renumbering the real rows of ../shared/data/korea-post: each
copy of the rows gets building, lot and postcode numbers of its own. With
--own-roads each copy's roads get names of their own too (a syllable before
the name), so that the file holds some 140,000 roads, not the real rows'
8,153: the road-name index, the roads and their names then no longer stay
in cache, as with the national data.

usage: bench/addrdb-gen.py [--own-roads] OUT [ROWS]"""
import sys
import zipfile
from pathlib import Path

DATA = Path(__file__).resolve().parents[1].parent / "shared" / "data" / "korea-post"
HEADER = ("우편번호|시도|시도영문|시군구|시군구영문|읍면|읍면영문|도로명코드|도로명|도로명영문|지하여부|건물번호본번|"
          "건물번호부번|건물관리번호|다량배달처명|시군구용건물명|법정동코드|법정동명|리명|행정동명|산여부|지번본번|"
          "읍면동일련번호|지번부번|구우편번호|우편번호일련번호")

# The syllables that set each copy's road names apart.
OWN_ROADS = "가나다라마바사아자차카타파하거너더러머버서어저처커터퍼허고노도"


def real_rows():
    """Every real row, as current-layout fields."""
    for name in ["Daegu.zip", "Daejeon.zip", "Sejong.zip"]:
        with zipfile.ZipFile(DATA / name) as z:
            text = z.read(z.infolist()[0]).decode("cp949")
        for line in text.split("\r\n")[1:]:
            f = line.split("|")
            if len(f) == 24:
                yield ["", *f[2:11], f[11], f[12], f[13], f[14], f[15], f[16], f[17], f[18], f[19], "", f[20],
                       f[21], f[22], f[23], f[0], ""]
    for line in (DATA / "seoul-gangnam-2023-part1.txt").read_text(encoding="utf-8-sig").split("\n")[1:]:
        f = line.split("|")
        if len(f) == 26:
            yield f


def main():
    args = sys.argv[1:]
    if any(a in ("-h", "--help") for a in args):
        print(__doc__)
        return
    own_roads = "--own-roads" in args
    args = [a for a in args if a != "--own-roads"]
    # An unknown option would otherwise name the gigabyte-sized output.
    if not 1 <= len(args) <= 2 or args[0].startswith("-") or (len(args) == 2 and not args[1].isdigit()):
        sys.exit(__doc__.splitlines()[-1])
    out, rows = args[0], int(args[1]) if len(args) > 1 else 6_400_000
    real = list(real_rows())
    with open(out, "w", encoding="utf-8", newline="\n") as w:
        w.write("\ufeff" + HEADER + "\n")
        written = 0
        copy = 0
        while written < rows:
            for i, f in enumerate(real):
                if written == rows:
                    break
                g = list(f)
                g[0] = "%05d" % ((i + copy * 7919) % 63000 + 1000)  # postcode
                g[11] = str(int(g[11] or 0) + copy * 700 % 60000)  # building number
                g[21] = str(int(g[21] or 0) + copy * 9000)          # lot number
                if own_roads:
                    g[8] = OWN_ROADS[copy % len(OWN_ROADS)] + g[8]
                w.write("|".join(g) + "\n")
                written += 1
            copy += 1


if __name__ == "__main__":
    main()
