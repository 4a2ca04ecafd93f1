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
    }]
    assert matches[0] in db.lookup("06303")


def test_convert_with_the_database(db):
    text = "서울 강남구 개포로17길 9-3"
    with_db = jasokit.convert(text, style="official", db=db)
    assert with_db.output == "9-3 Gaepo-ro 17-gil, Gangnam-gu, Seoul, 06303, Republic of Korea"
    assert with_db.fields["source"] == "database"
    assert jasokit.convert(text, style="official").fields["source"] == "rules"
    assert jasokit.convert_many([text], style="official", db=db) == [with_db.output]


def test_missing_database_is_a_value_error(tmp_path):
    with pytest.raises(ValueError, match="cannot open the address database"):
        jasokit.AddressDB(str(tmp_path / "none.db"))
    (tmp_path / "other.db").write_bytes(b"not a database")
    with pytest.raises(ValueError, match="not an address database"):
        jasokit.AddressDB(str(tmp_path / "other.db"))


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
