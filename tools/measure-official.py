#!/usr/bin/env python3
"""Measures the official style against Korea Post's postcode database.

Every row of the files given (the per-province 2013 zips, CP949 with 24
columns, or current texts, UTF-8 with 26 columns) becomes an address as a
user types it, `시도 시군구 [읍면] 도로명 [지하] 본번[-부번]`. All of them are
converted by one `jasokit convert --style official --json` process, and the
road and the whole address are compared with the row's own English.

usage: tools/measure-official.py [--jasokit PATH] [--failures N] [--kind KIND]
                                 [--addresses N] FILE_OR_DIR...

Prints, per file and in total, the share of roads (distinct roads, and rows)
and of addresses written exactly as the data writes them, and the failing
roads by the form of their Korean name. Roads the data itself spells in two
ways are counted apart: no rule can match both spellings.
"""

import argparse
import collections
import io
import json
import os
import re
import subprocess
import sys
import zipfile

HEADER_2013 = ("우편번호|우편일련번호|시도|시도영문|시군구|시군구영문|읍면|읍면영문|도로명코드|도로명|"
               "도로명영문|지하여부|건물번호본번|건물번호부번|건물관리번호|다량배달처명|시군구용건물명|"
               "법정동코드|법정동명|리|산여부|지번본번|읍면동일련번호|지번부번")
HEADER_CURRENT = ("우편번호|시도|시도영문|시군구|시군구영문|읍면|읍면영문|도로명코드|도로명|도로명영문|"
                  "지하여부|건물번호본번|건물번호부번|건물관리번호|다량배달처명|시군구용건물명|법정동코드|"
                  "법정동명|리명|행정동명|산여부|지번본번|읍면동일련번호|지번부번|구우편번호|우편번호일련번호")
COUNTRY = "Republic of Korea"

# The forms of a road's Korean name, first match wins; the last is the rest.
SERIES = "가나다라마바사아자차카타파하"
KINDS = [
    ("N번안길", re.compile(r"\d+번안길$")),
    ("N로안길", re.compile(r"\d+로안길$")),
    ("N안길", re.compile(r"\d+안길$")),
    ("N번N길", re.compile(r"\d+번\d+길$")),
    ("N번가길", re.compile(r"\d+번[" + SERIES + r"]길$")),
    ("direction", re.compile(r"(로|길)[동서남북]\d+(번)?길$")),
    ("N가길", re.compile(r"\d+[" + SERIES + r"]길$")),
    ("N동길", re.compile(r"\d+[동서남북]길$")),
    ("로동길", re.compile(r"로[동서남북]길$")),
    ("N번로", re.compile(r"\d+번로$")),
    ("middle dot", re.compile(r"[·ㆍ]")),
    ("고속도로", re.compile(r"고속도로$")),
    ("거리", re.compile(r"거리$")),
    ("고개", re.compile(r"고개$")),
    ("N번길", re.compile(r"\d+번길$")),
    ("N길/N로", re.compile(r"\d+(길|로)$")),
    ("NAME로/길", re.compile(r"(로|길)$")),
]


def kind_of(road):
    for name, pattern in KINDS:
        if pattern.search(road):
            return name
    return "other"


def read_texts(path):
    """Yields (label, text) for a text file, or for each text in a zip."""
    if zipfile.is_zipfile(path):
        with zipfile.ZipFile(path) as archive:
            for info in archive.infolist():
                if info.is_dir():
                    continue
                raw = archive.read(info)
                yield os.path.basename(path), decode(raw)
    else:
        with open(path, "rb") as f:
            yield os.path.basename(path), decode(f.read())


def decode(raw):
    if raw.startswith(b"\xef\xbb\xbf"):
        return raw[3:].decode("utf-8")
    try:
        return raw.decode("utf-8")
    except UnicodeDecodeError:
        return raw.decode("cp949")


def rows_of(text):
    lines = text.splitlines()
    if not lines:
        return
    header = lines[0].strip()
    if header == HEADER_2013:
        names = HEADER_2013.split("|")
    elif header == HEADER_CURRENT:
        names = HEADER_CURRENT.split("|")
    else:
        raise SystemExit("not a Korea Post file: unknown header " + header[:60])
    for line in lines[1:]:
        cols = line.split("|")
        if len(cols) != len(names):
            continue
        yield dict(zip(names, cols))


def number_of(row):
    main = row["건물번호본번"].strip()
    sub = row["건물번호부번"].strip()
    return main + ("-" + sub if sub and sub != "0" else "")


def district_english(korean, english):
    """The English of 시군구, smallest unit first ("Yeongtong-gu, Suwon-si")."""
    if "," in english or " " not in korean.strip():
        return english.strip()
    words = english.split()
    if len(words) == len(korean.split()):
        return ", ".join(reversed(words))
    return english.strip()


def address_of(row):
    """The text a user types and the whole address the data implies."""
    underground = row["지하여부"].strip() == "1"
    number = number_of(row)
    korean = [row["시도"], row["시군구"], row["읍면"], row["도로명"]]
    if underground:
        korean.append("지하")
    korean.append(number)
    typed = " ".join(w.strip() for w in korean if w.strip())
    groups = [("B" if underground else "") + number + " " + row["도로명영문"].strip(),
              row["읍면영문"].strip(),
              district_english(row["시군구"], row["시군구영문"]),
              row["시도영문"].strip(), COUNTRY]
    return typed, ", ".join(g for g in groups if g)


def convert_all(jasokit, texts):
    """Converts every text in one process; returns the JSON objects in order."""
    data = "".join(t + "\n" for t in texts).encode("utf-8")
    done = subprocess.run([jasokit, "convert", "--style", "official", "--json", "-j", "2", "--no-progress"],
                          input=data, stdout=subprocess.PIPE, check=True)
    out = [json.loads(line) for line in done.stdout.decode("utf-8").splitlines()]
    if len(out) != len(texts):
        raise SystemExit("jasokit gave %d lines for %d inputs" % (len(out), len(texts)))
    return out


def road_from_street(street):
    """The street group without its building number ("B12 Teheran-ro")."""
    head, _, rest = street.partition(" ")
    if rest and re.fullmatch(r"B?\d+(-\d+)?", head):
        return rest
    return street


class Tally:
    def __init__(self):
        self.rows = 0
        self.road_rows_ok = 0
        self.address_ok = 0
        self.roads = {}  # (시도, 시군구, 도로명) -> set of English spellings
        self.road_ok = {}  # the same key -> ours equals one spelling
        self.ours = {}
        self.no_english = 0


def measure(label, rows, results, tally, failures):
    for row, (typed, want), got in zip(rows, (address_of(r) for r in rows), results):
        fields = got.get("fields") or {}
        ours = road_from_street(fields.get("street", ""))
        english = row["도로명영문"].strip()
        if not english:  # the data's own gap: nothing to compare with
            tally.no_english += 1
            continue
        key = (row["시도"], row["시군구"], row["도로명"])
        tally.roads.setdefault(key, set()).add(english)
        tally.ours[key] = ours
        tally.rows += 1
        if ours == english:
            tally.road_rows_ok += 1
            tally.road_ok[key] = True
        else:
            tally.road_ok.setdefault(key, False)
        if got.get("output") == want:
            tally.address_ok += 1
        elif ours == english and failures is not None:
            failures.append((label, typed, want, got.get("output")))


def pct(ok, total):
    return "%6.2f%%" % (100.0 * ok / total) if total else "     -"


def report(tallies, args):
    total = Tally()
    line = "%-30s %7s %6s %8s %9s %8s %6s %6s"
    print(line % ("file", "rows", "roads", "roads ok", "road rows", "address", "2-way", "no-en"))
    for label, t in tallies:
        two = sum(1 for s in t.roads.values() if len(s) > 1)
        print(line % (label, t.rows, len(t.roads), pct(sum(t.road_ok.values()), len(t.roads)),
                      pct(t.road_rows_ok, t.rows), pct(t.address_ok, t.rows), two, t.no_english))
        total.no_english += t.no_english
        total.rows += t.rows
        total.road_rows_ok += t.road_rows_ok
        total.address_ok += t.address_ok
        for k, s in t.roads.items():
            total.roads.setdefault(k, set()).update(s)
            total.road_ok[k] = total.road_ok.get(k, False) or t.road_ok[k]
            total.ours[k] = t.ours[k]
    two = sum(1 for s in total.roads.values() if len(s) > 1)
    print(line % ("total", total.rows, len(total.roads), pct(sum(total.road_ok.values()), len(total.roads)),
                  pct(total.road_rows_ok, total.rows), pct(total.address_ok, total.rows), two, total.no_english))
    print("rows: compared rows (rows with no English left out: no-en); roads: distinct (시도, 시군구, 도로명);")
    print("2-way: roads the data spells in two ways (ours counts as right if it matches one)")

    kinds = collections.Counter()
    failing = collections.defaultdict(list)
    for key, ok in total.road_ok.items():
        kinds[(kind_of(key[2]), "all")] += 1
        if not ok:
            kinds[(kind_of(key[2]), "fail")] += 1
            failing[kind_of(key[2])].append(key)
    print("\nroads by the form of the Korean name (distinct roads):")
    print("%-12s %7s %7s %8s" % ("form", "roads", "failing", "exact"))
    for name in [k for k, _ in KINDS] + ["other"]:
        n, f = kinds[(name, "all")], kinds[(name, "fail")]
        if n:
            print("%-12s %7d %7d %8s" % (name, n, f, pct(n - f, n)))
    print("two-way roads failing: %d of %d" % (sum(1 for k, s in total.roads.items() if len(s) > 1 and not total.road_ok[k]), two))
    # The data's English with other numbers than its Korean (계백로372번길 as
    # "Gyebaek-ro 96beon-gil"): no rule can write those.
    digits = lambda text: re.findall(r"\d+", text)
    wrong = [k for k, ok in total.road_ok.items()
             if not ok and all(digits(e) != digits(k[2]) for e in total.roads[k])]
    print("failing roads whose English has other numbers than the Korean: %d" % len(wrong))
    if args.failures:
        for name in [k for k, _ in KINDS] + ["other"]:
            if args.kind and name != args.kind:
                continue
            keys = failing.get(name, [])
            if not keys:
                continue
            print("\n%s (%d):" % (name, len(keys)))
            for key in sorted(keys)[:args.failures]:
                print("  %s\t%s\tours: %s" % (key[2], " / ".join(sorted(total.roads[key])), total.ours[key]))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("paths", nargs="+", metavar="FILE_OR_DIR")
    here = os.path.dirname(os.path.abspath(__file__))
    parser.add_argument("--jasokit", default=os.path.join(here, "..", "build", "cli", "jasokit"),
                        help="the jasokit program (default: build/cli/jasokit)")
    parser.add_argument("--failures", type=int, default=0, metavar="N",
                        help="list up to N failing roads of each form")
    parser.add_argument("--kind", help="list failures of this form only")
    parser.add_argument("--addresses", type=int, default=0, metavar="N",
                        help="list up to N addresses whose road is right but whole address wrong")
    args = parser.parse_args()

    if not os.access(args.jasokit, os.X_OK):
        parser.error("no jasokit program at %s (build it, or give --jasokit)" % args.jasokit)
    files = []
    for path in args.paths:
        if not os.path.exists(path):
            parser.error("no such file or folder: %s" % path)
        if os.path.isdir(path):
            files += sorted(os.path.join(path, f) for f in os.listdir(path)
                            if f.endswith((".zip", ".txt")))
        else:
            files.append(path)
    tallies = []
    odd = []
    for path in files:
        for label, text in read_texts(path):
            rows = list(rows_of(text))
            results = convert_all(args.jasokit, [address_of(r)[0] for r in rows])
            tally = Tally()
            measure(label, rows, results, tally, odd)
            tallies.append((label, tally))
    report(tallies, args)
    for label, typed, want, got in odd[:args.addresses]:
        print("%s\t%s\n  want %s\n  got  %s" % (label, typed, want, got))


if __name__ == "__main__":
    main()
