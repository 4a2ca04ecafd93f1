# The module and `jasokit convert --tsv` must agree on every line.
import csv
import random
import subprocess

import pytest

import jasokit
from conftest import SOURCE_DIR

UNESCAPE = {"\\\\": "\\", "\\t": "\t", "\\r": "\r", "\\n": "\n"}


def unescape(field):
    out, i = [], 0
    while i < len(field):
        pair = field[i:i + 2]
        if pair in UNESCAPE:
            out.append(UNESCAPE[pair])
            i += 2
        else:
            out.append(field[i])
            i += 1
    return "".join(out)


def generated_lines(count):
    """Address-like and other lines from the sample table's names, with odd spacing and characters."""
    with open(SOURCE_DIR / "data" / "zipcode-sample.csv", encoding="utf-8", newline="") as f:
        rows = [row for row in csv.reader(f) if row and row[0] != "zipcode"]
    rng = random.Random(20240611)
    words = ["서울특별시", "부산광역시", "경기도", "세종특별자치시", "제주특별자치도", "테헤란로", "152", "123-45",
             "(06236)", "3층", "705동", "1104호", "번지", "산1", "café", "😀", "ABC", "읽어요", "합니다", "같이",
             "\t", "\r", "\\", "\0", "  ", "ㄱ", "é", "鍾路"]
    lines = []
    for _ in range(count):
        row = rng.choice(rows)
        parts = [p for p in row[1:] if p]
        kind = rng.random()
        if kind < 0.5:
            parts += [str(rng.randint(1, 999)) + rng.choice(["", "-" + str(rng.randint(1, 99))])]
        elif kind < 0.8:
            parts = rng.sample(parts + rng.sample(words, 3), k=len(parts) + 2)
        elif kind < 0.9:
            parts = [rng.choice(words) for _ in range(rng.randint(0, 6))]
        else:
            parts = parts * rng.randint(40, 120)  # around the length limit
        line = rng.choice([" ", "  ", " \r\n "]).join(parts)
        lines.append(rng.choice(["", " ", "\t"]) + line + rng.choice(["", " ", "\r"]))
    return lines


LINES = generated_lines(3000)


@pytest.mark.parametrize("style", ["classic", "official"])
def test_convert_agrees_with_jasokit_convert(cli, tmp_path, style):
    # One line per input line: a line holds no LF, so the CR LF of a line becomes CR and a space.
    texts = [line.replace("\r\n", "\r ") for line in LINES]
    source = tmp_path / "lines.txt"
    source.write_bytes("".join(t + "\n" for t in texts).encode("utf-8"))
    with open(source, "rb") as stdin:
        run = subprocess.run([cli, "convert", "--tsv", "--style", style], stdin=stdin, capture_output=True)
    assert run.returncode in (0, 6), run.stderr  # 6: some text refused as too long
    printed = run.stdout.decode("utf-8").split("\n")
    assert printed[-1] == ""
    assert len(printed) - 1 == len(texts)
    statuses = set()
    for text, record in zip(texts, printed):
        status, normalized, output = record.split("\t")
        r = jasokit.convert(text, style=style)
        assert (r.status, r.normalized, r.output) == (status, unescape(normalized), unescape(output)), text
        statuses.add(status)
    assert statuses >= {"TooLong", "Empty", "PlainText"} | ({"Address"} if style == "classic" else set())
    assert jasokit.convert_many(texts, style=style) == [jasokit.convert(t, style=style).output for t in texts]
