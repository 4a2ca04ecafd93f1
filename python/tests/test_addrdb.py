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


def test_missing_database_is_a_value_error(tmp_path):
    with pytest.raises(ValueError, match="cannot open the address database"):
        jasokit.AddressDB(str(tmp_path / "none.db"))
    (tmp_path / "other.db").write_bytes(b"not a database")
    with pytest.raises(ValueError, match="not an address database"):
        jasokit.AddressDB(str(tmp_path / "other.db"))
