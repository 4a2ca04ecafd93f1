import os
import pathlib

import pytest

import jasokit


@pytest.fixture(scope="module")
def db(cli) -> jasokit.AddressDB:
    """The sample database the build puts beside jasokit."""
    return jasokit.AddressDB(str(pathlib.Path(cli).parent / "address-sample.db"))


def test_lookup_by_postcode_and_building(db):
    matches = db.lookup("G-heim")
    assert matches == [{
        "postcode": "06303",
        "address": "서울특별시 강남구 개포로17길 9-3 (G-heim)",
        "lot": "서울특별시 강남구 개포동 1245-5",
        "english": "9-3 Gaepo-ro 17-gil, Gangnam-gu, Seoul",
        "building": "G-heim",
        "old_postcode": "",
        "score": 90,
        "matched": "building",
    }]
    by_code = db.lookup("06303", limit=2)
    assert len(by_code) == 2 and {m["matched"] for m in by_code} == {"postcode"}
    with pytest.raises(ValueError, match="limit"):
        db.lookup("06303", limit=0)


def test_convert_with_the_database(db):
    text = "서울 강남구 개포로17길 9-3"
    with_db = jasokit.convert(text, style="official", db=db)
    assert with_db.output == "9-3 Gaepo-ro 17-gil, Gangnam-gu, Seoul, 06303, Republic of Korea"
    assert with_db.fields["source"] == "database"
    assert jasokit.convert(text, style="official").fields["source"] == "rules"
    assert jasokit.convert_many([text], style="official", db=db) == [with_db.output]


def test_unreadable_file_is_an_os_error_and_bad_content_a_value_error(tmp_path):
    (tmp_path / "other.db").write_bytes(b"not a database")
    cases = [
        (tmp_path / "none.db", OSError, "No such file or directory"),
        (tmp_path, OSError, "a folder, not an address database"),
        (tmp_path / "other.db", ValueError, "not an address database (build one with 'jasokit addrdb build')"),
    ]
    for path, error, message in cases:
        with pytest.raises(error) as raised:
            jasokit.AddressDB(str(path))
        assert (type(raised.value), str(raised.value)) == (error, f"{path}: {message}")


def test_official_style_reads_the_programs_database(cli, monkeypatch, tmp_path):
    text = "서울 강남구 개포로17길 9-3"
    monkeypatch.setenv("JASOKIT_ADDRDB", str(pathlib.Path(cli).parent / "address-sample.db"))
    assert jasokit.convert(text, style="official").fields["source"] == "database"
    assert jasokit.convert(text, style="official", db=False).fields["source"] == "rules"
    assert jasokit.convert_many([text], style="official", db=False) != jasokit.convert_many([text], style="official")
    pandas = pytest.importorskip("pandas")
    series = pandas.Series([text, None])
    assert list(jasokit.convert_series(series, style="official")) == [
        "9-3 Gaepo-ro 17-gil, Gangnam-gu, Seoul, 06303, Republic of Korea", None]
    assert list(jasokit.convert_series(series, style="official", db=False))[0].endswith("Seoul, Republic of Korea")
    monkeypatch.setenv("JASOKIT_ADDRDB", str(tmp_path / "none.db"))
    assert jasokit.convert(text, style="official").fields["source"] == "rules"
    with pytest.raises(OSError, match="^no address database at .*none.db; build one with"):
        jasokit.AddressDB()
    (tmp_path / "bad.db").write_bytes(b"not a database")
    monkeypatch.setenv("JASOKIT_ADDRDB", str(tmp_path / "bad.db"))
    with pytest.warns(RuntimeWarning, match="bad.db: not an address database"):
        assert jasokit.convert(text, style="official").fields["source"] == "rules"


def test_classic_style_refuses_a_database(db):
    for call in [lambda: jasokit.convert("서울", db=db), lambda: jasokit.convert_many(["서울"], db=db)]:
        with pytest.raises(ValueError, match="^db is for style='official': the classic style never uses"):
            call()
    assert jasokit.convert("서울", db=False).output == "Seoul S.KOREA "
    with pytest.raises(TypeError, match="db must be AddressDB, None or False, not str"):
        jasokit.convert("서울", style="official", db="address.db")


def test_a_nul_cuts_the_text_with_a_warning():
    r = jasokit.convert("서울특별시 강남구\0 테헤란로 152", style="official")
    assert (r.output, [w["code"] for w in r.warnings]) == ("Gangnam-gu, Seoul, Republic of Korea", ["text-cut-at-nul"])


def test_warnings_and_suggestions_come_through(db):
    typed = jasokit.convert("[06303] 서울특별씨 강남구 개포로17길 9-3", style="official", db=db)
    assert typed.output == "9-3 Gaepo-ro 17-gil, Gangnam-gu, Seoul, 06303, Republic of Korea"
    assert [w["code"] for w in typed.warnings] == ["region-read-as"]
    assert typed.suggestions == []
    old = jasokit.convert("135-240 서울 강남구 개포로17길 9-3", style="official")
    assert old.fields["old_postcode"] == "135-240"
    unknown = jasokit.convert("서울 강남구 개포로17길 99999-1", style="official", db=db)
    assert [w["code"] for w in unknown.warnings] == ["unknown-building"]
    assert set(unknown.suggestions[0]) == {"address", "english", "postcode"}


def test_a_database_cut_short_under_it_raises(cli, tmp_path):
    path = tmp_path / "address.db"
    path.write_bytes((pathlib.Path(cli).parent / "address-sample.db").read_bytes())
    db = jasokit.AddressDB(str(path))
    assert db.lookup("G-heim")
    os.truncate(path, 100)
    with pytest.raises(OSError, match="changed while open"):
        db.lookup("G-heim")
    result = jasokit.convert("서울 강남구 개포로17길 9-3", style="official", db=db)
    assert (result.fields["source"], [w["code"] for w in result.warnings]) == ("rules", ["database-changed"])
