import pytest

import jasokit


@pytest.mark.parametrize("kwargs, expected", [
    ({}, "Han Boknam"),
    ({"surname": "rr"}, "Han Boknam"),
    ({"hyphen": True, "given_first": True, "upper": True}, "BOK-NAM HAN"),
])
def test_romanize_name(kwargs, expected):
    assert jasokit.romanize_name("한복남", **kwargs) == expected


def test_romanize_name_surname_tables():
    assert jasokit.romanize_name("이석남") == "Lee Seoknam"
    assert jasokit.romanize_name("이석남", surname="rr") == "I Seoknam"
    with pytest.raises(ValueError, match="unknown surname table 'mr'"):
        jasokit.romanize_name("이석남", surname="mr")
