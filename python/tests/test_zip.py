import csv
import os
import pathlib
import subprocess

import pytest

import jasokit
from conftest import SOURCE_DIR

SAMPLE_CSV = SOURCE_DIR / "data" / "zipcode-sample.csv"


def sample_rows():
    with open(SAMPLE_CSV, encoding="utf-8", newline="") as f:
        return [row for row in csv.reader(f) if row and row[0] != "zipcode"]


def cp949_line(record):
    return " ".join([record.zip_code, record.province, record.district, record.locality, record.detail]).encode("cp949")


@pytest.fixture(scope="module")
def table():
    return jasokit.ZipTable()


def test_default_table_is_the_one_beside_jasokit(cli, table):
    assert jasokit.default_table_path() == os.path.join(os.path.dirname(os.path.abspath(cli)), "zipcode030101t6.dbf")
    assert len(table) == len(sample_rows())
    assert repr(table) == f"<jasokit.ZipTable of {len(table)} records>"


def test_find_keeps_the_table_padding(table):
    # Fields of 7, 4, 13, 43 and 17 CP949 bytes; the place name is cut at its padding.
    records = table.find("역삼동")
    assert [(r.zip_code, r.province, r.district, r.locality, r.detail) for r in records] == [
        ("135-710", "서울", "강남구       ", "역삼동", " " * 17),
        ("135-720", "서울", "강남구       ", "역삼동", "1~200" + " " * 12),
        ("135-730", "서울", "강남구       ", "역삼동", "강남파이낸스센터 "),
        ("135-740", "서울", "강남구       ", "역삼동", "스타타워" + " " * 9),
    ]
    assert repr(records[0]) == ("jasokit.ZipRecord(zip_code='135-710', province='서울', district='강남구       ', "
                                "locality='역삼동', detail='                 ')")
    assert table.lines("역삼동")[1] == "135-720 서울 강남구        역삼동 1~200            "


@pytest.mark.parametrize("name", ["역삼", "역삼동 ", " 역삼동", "", "😀", "\ud800", "역삼동\0", "\0"])
def test_only_exact_names_with_a_cp949_form_are_found(table, name):
    assert table.find(name) == []
    assert table.lines(name) == []


def test_hits_come_in_the_byte_order_of_their_lines(cli, tmp_path):
    # Rows out of order, in two provinces, with a duplicate: CP949 order is not the order of the str.
    rows = [
        ("300-200", "대전", "서구", "중앙동", "나"),
        ("100-999", "서울", "중구", "중앙동", "가"),
        ("300-200", "대전", "서구", "중앙동", "가"),
        ("100-999", "서울", "중구", "중앙동", "가"),
        ("200-100", "강원", "춘천시", "중앙동", "ㄱ"),
        ("200-100", "강원", "춘천시", "중앙동", "A"),
        ("500-500", "광주", "동구", "다른동", ""),
    ]
    source = tmp_path / "rows.csv"
    source.write_text("".join(",".join(r) + "\n" for r in rows), encoding="utf-8")
    path = tmp_path / "rows.dbf"
    subprocess.run([cli, "zipdb", "build", str(source), "-o", str(path)], check=True, capture_output=True)
    table = jasokit.ZipTable(path)
    assert len(table) == 7
    records = table.find("중앙동")
    lines = [cp949_line(r) for r in records]
    assert lines == sorted(cp949_line(jasokit_row) for jasokit_row in records)
    assert [(r.zip_code, r.detail.strip()) for r in records] == [
        ("100-999", "가"), ("100-999", "가"), ("200-100", "A"), ("200-100", "ㄱ"), ("300-200", "가"), ("300-200", "나"),
    ]
    assert [line.encode("cp949") for line in table.lines("중앙동")] == lines


def test_lines_are_what_jasokit_zip_prints(cli, table):
    names = sorted({row[3] for row in sample_rows()})
    printed = subprocess.run([cli, "zip"], input="\n".join(names) + "\n", capture_output=True, text=True,
                             encoding="utf-8", check=True).stdout
    assert printed == "".join(line + "\n" for name in names for line in table.lines(name))
    assert sum(len(table.find(name)) for name in names) == len(table)


def test_full_table(cli, full_data):
    table = jasokit.ZipTable(full_data / "zipcode030101t6.dbf")
    assert len(table) == 44338
    for name in ["중앙동", "남면", "역삼동", "신촌동"]:
        printed = subprocess.run([cli, "zip", "--db", str(full_data / "zipcode030101t6.dbf"), name],
                                 capture_output=True, text=True, encoding="utf-8", check=True).stdout
        assert printed == "".join(line + "\n" for line in table.lines(name))
        assert [cp949_line(r) for r in table.find(name)] == [line.encode("cp949") for line in table.lines(name)]


def test_paths_of_every_kind(tmp_path):
    default = jasokit.default_table_path()
    for path in [pathlib.Path(default), os.fsencode(default), default]:
        assert len(jasokit.ZipTable(path)) == len(jasokit.ZipTable())
    assert jasokit.ZipTable().sample
    with pytest.raises(TypeError):
        jasokit.ZipTable(3)


@pytest.mark.parametrize("make,error,message", [
    (lambda d: d / "missing.dbf", OSError, "no such file"),
    (lambda d: d, OSError, "a folder, not a zip code table"),
    (lambda d: "", OSError, "no file named"),
    (lambda d: d / "README.md", ValueError, "not a zip code table (a dBASE III table with a 225-byte header and "
                                            "90-byte records of 7, 4, 13, 43, 17 and 5 bytes)"),
])
def test_load_errors(tmp_path, make, error, message):
    (tmp_path / "README.md").write_text("# Not a table\n" + "x" * 300)
    path = make(tmp_path)
    with pytest.raises(OSError if error is OSError else ValueError) as raised:
        jasokit.ZipTable(path)
    assert (type(raised.value), str(raised.value)) == (error, f"{path}: {message}")


@pytest.mark.skipif(os.geteuid() == 0, reason="root reads any file")
def test_unreadable_table(tmp_path):
    path = tmp_path / "locked.dbf"
    path.write_bytes(pathlib.Path(jasokit.default_table_path()).read_bytes())
    path.chmod(0)
    with pytest.raises(OSError, match="locked.dbf: cannot be opened for reading$"):
        jasokit.ZipTable(path)
