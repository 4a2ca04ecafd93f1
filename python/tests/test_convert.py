import concurrent.futures
import gc
import sys

import pytest

import jasokit


def short(value):
    return repr(value)[:24] if isinstance(value, str) else None


CLASSIC = [
    # text, status, normalized, output
    ("서울특별시 강남구 역삼동 123-45", "Address", "서울특별시 강남구 역삼동 123-45",
     "123-45 Yeoksam-dong Gangnam-gu Seoul S.KOREA "),
    ("경상남도 함안군 가야읍 말산리 123", "Address", "경상남도 함안군 가야읍 말산리 123",
     "123 Malsan-ri Gaya-eup Haman-gun Gyeongsangnam-do S.KOREA "),
    ("  서울특별시   강남구\r\n역삼동  123-45 ", "Address", "서울특별시 강남구 역삼동 123-45",
     "123-45 Yeoksam-dong Gangnam-gu Seoul S.KOREA "),
    ("서울", "Address", "서울", "Seoul S.KOREA "),
    ("한국어 로마자 표기", "PlainText", "한국어 로마자 표기", "Hangugeo romaja pyogi"),
    ("café 한글 😀", "PlainText", "café 한글 😀", "Café hangeul 😀"),
    ("대한민국 서울", "PlainText", "대한민국 서울", "Daehanminguk seoul"),
    ("합니다", "PlainText", "합니다", "Hapnida"),
    ("\t서울특별시\t강남구", "PlainText", "서울특별시\t강남구", "Seoulteukbyeolsi\tgangnamgu"),
    # The text ends at its first NUL, as in the library.
    ("서울 종로구 세종로\0 뒤", "Address", "서울 종로구 세종로", "Sejongno Jongno-gu Seoul S.KOREA "),
    ("", "Empty", "", ""),
    (" \t\r\n ", "Empty", "", ""),
    ("\0서울", "Empty", "", ""),
    # 1024 CP949 bytes is the most accepted; a syllable takes two.
    ("가" * 512, "PlainText", "가" * 512, "Ga" + "ga" * 511),
    ("가" * 513, "TooLong", "", ""),
    ("a" * 1025, "TooLong", "", ""),
    (" " * 5000 + "가" + " " * 5000, "PlainText", "가", "Ga"),
]

OFFICIAL = [
    # text, country, output
    ("서울특별시 강남구 테헤란로 152", None, "152 Teheran-ro, Gangnam-gu, Seoul, Republic of Korea"),
    ("(06236) 서울특별시 강남구 테헤란로 152, 3층", None,
     "3F, 152 Teheran-ro, Gangnam-gu, Seoul, 06236, Republic of Korea"),
    ("세종특별자치시 도움6로 42, 705동 1104호", None, "705-dong 1104-ho, 42 Doum 6-ro, Sejong-si, Republic of Korea"),
    ("경기도 성남시 분당구 수내로46번길 4", None,
     "4 Sunae-ro 46beon-gil, Bundang-gu, Seongnam-si, Gyeonggi-do, Republic of Korea"),
    ("서울 관악구 신림동 739", None, "739 Sillim-dong, Gwanak-gu, Seoul, Republic of Korea"),
    ("서울", "S.KOREA", "Seoul, S.KOREA"),
]



@pytest.mark.parametrize("text,status,normalized,output", CLASSIC, ids=short)
def test_classic_conversion(text, status, normalized, output):
    r = jasokit.convert(text)
    assert (r.status, r.normalized, r.output, r.fields) == (status, normalized, output, None)
    assert jasokit.convert(text, style="classic", country="ignored").output == output


@pytest.mark.parametrize("text,country,output", OFFICIAL, ids=short)
def test_official_address(text, country, output):
    r = jasokit.convert(text, style="official", country=country)
    assert (r.status, r.output) == ("Address", output)


@pytest.mark.parametrize("text,fields", ids=short, argvalues=[
    ("서울특별시 강남구 테헤란로 152",
     {"detail": "", "street": "152 Teheran-ro", "district": "Gangnam-gu", "region": "Seoul", "postcode": "", "old_postcode": "",
      "country": "Republic of Korea", "source": "rules"}),
    ("(06236) 서울특별시 강남구 테헤란로 152, 3층",
     {"detail": "3F", "street": "152 Teheran-ro", "district": "Gangnam-gu", "region": "Seoul", "postcode": "06236", "old_postcode": "",
      "country": "Republic of Korea", "source": "rules"}),
    ("경기도 성남시 분당구 수내로46번길 4",
     {"detail": "", "street": "4 Sunae-ro 46beon-gil", "district": "Bundang-gu, Seongnam-si",
      "region": "Gyeonggi-do", "postcode": "", "old_postcode": "", "country": "Republic of Korea",
      "source": "rules"}),
])
def test_official_fields(text, fields):
    assert jasokit.convert(text, style="official").fields == fields


def test_official_plain_text_has_no_fields():
    r = jasokit.convert("한국어 로마자 표기", style="official")
    assert (r.status, r.output, r.fields) == ("PlainText", "Hangugeo romaja pyogi", None)


@pytest.mark.parametrize("text,style,output", ids=short, argvalues=[
    ("합니다", "official", "Hamnida"),
    ("합니다", "classic", "Hapnida"),
    ("한국어 로마자 표기", "classic", "Hangugeo romaja pyogi"),
    # Never an address, and not trimmed.
    ("서울특별시 강남구", "classic", "Seoulteukbyeolsi gangnamgu"),
    (" 서울", "classic", " seoul"),
    ("café 😀", "official", "Café 😀"),
    # At most 1024 characters in and 1024 bytes out.
    ("a" * 1024, "classic", "A" + "a" * 1023),
    ("a" * 1025, "classic", ""),
    ("가" * 512, "classic", "Ga" + "ga" * 511),
    ("가" * 513, "classic", ""),
])
def test_romanize(text, style, output):
    assert jasokit.romanize(text, style=style) == output


def test_romanize_default_style_is_classic():
    assert jasokit.romanize("합니다") == "Hapnida"


def test_lone_surrogates_count_as_replacement_characters():
    assert jasokit.convert("\ud800가\udfff").output == "\ufffdga\ufffd"
    assert jasokit.romanize("\udc80") == "\ufffd"
    assert jasokit.convert_many(["\ud83d", "서울\udc00"]) == ["\ufffd", jasokit.convert("서울\ufffd").output]


@pytest.mark.parametrize("text", [
    # Python's one-, two- and four-byte strings, with the code points where UTF-8 takes one more byte.
    "é\x7f\x80\xff", "\u07ff\u0800\uffff", "\U00010000\U0010ffff\x01", "\U0001f600가",
])
def test_every_kind_of_str_comes_through(text):
    assert jasokit.convert(text).normalized == text
    assert jasokit.romanize("\U0001f600" + text) == "\U0001f600" + text.replace("가", "ga")


def test_huge_text_is_refused_without_harm():
    huge = "서울 " * 4_000_000
    r = jasokit.convert(huge)
    assert (r.status, r.output) == ("TooLong", "")
    assert jasokit.convert_many([huge, "서울"]) == ["", "Seoul S.KOREA "]
    assert jasokit.romanize(huge) == ""


def test_repr_shows_status_and_texts():
    assert repr(jasokit.convert(" 서울 ")) == "jasokit.Result(status='Address', normalized='서울', output='Seoul S.KOREA ')"
    assert repr(jasokit.convert("it's")) == "jasokit.Result(status='PlainText', normalized=\"it's\", output=\"It's\")"


@pytest.mark.parametrize("call,message", [
    (lambda: jasokit.convert(b"\xb0\xa1"), "text must be str, not bytes"),
    (lambda: jasokit.convert(None), "text must be str, not NoneType"),
    (lambda: jasokit.romanize(12), "text must be str, not int"),
    (lambda: jasokit.convert("x", style=None), "style must be str, not NoneType"),
    (lambda: jasokit.convert("x", country=b"KR"), "country must be str, not bytes"),
    (lambda: jasokit.convert_many(["a", "b", float("nan")]), "texts[2] must be str, not float"),
    (lambda: jasokit.convert_many(42), "'int' object is not iterable"),
    (lambda: jasokit.convert_many("서울"), "texts must be an iterable of str, not str"),
    (lambda: jasokit.convert_many(b"ab"), "texts[0] must be str, not int"),
    (lambda: jasokit.ZipTable().find(b"x"), "name must be str, not bytes"),
])
def test_bad_argument_types(call, message):
    with pytest.raises(TypeError) as error:
        call()
    assert str(error.value) == message


@pytest.mark.parametrize("call", [
    lambda: jasokit.convert("x", style="modern"),
    lambda: jasokit.romanize("x", style="Classic"),
    lambda: jasokit.convert_many(["x"], style=""),
])
def test_unknown_style(call):
    with pytest.raises(ValueError, match=r"^unknown style '\w*' \(classic or official\)$"):
        call()


MANY = [c[0] for c in CLASSIC] + [c[0] for c in OFFICIAL] + ["역삼동", "가야읍", "a" * 3000]


@pytest.mark.parametrize("style,country", [("classic", None), ("official", None), ("official", "Korea")])
def test_convert_many_agrees_with_convert(style, country):
    expected = [jasokit.convert(t, style=style, country=country).output for t in MANY]
    assert jasokit.convert_many(MANY, style=style, country=country) == expected
    assert jasokit.convert_many((t for t in MANY), style, country) == expected
    assert jasokit.convert_many(tuple(MANY), style=style, country=country) == expected


def test_convert_many_gives_empty_strings_for_refused_and_empty_texts():
    assert jasokit.convert_many(["", "   ", "가" * 513, "서울"]) == ["", "", "", "Seoul S.KOREA "]
    assert jasokit.convert_many([]) == []
    assert jasokit.convert_many(iter(())) == []


def test_convert_many_crosses_its_slices_in_order():
    names = [f"역삼동 {i}" for i in range(10_000)]
    out = jasokit.convert_many(names)
    assert len(out) == 10_000
    assert out[0] == "Yeoksamdong 0" and out[4096] == "Yeoksamdong 4096" and out[-1] == "Yeoksamdong 9999"


def test_convert_many_keeps_no_references():
    texts = ["서울 " + str(i) for i in range(100)]
    before = [sys.getrefcount(t) for t in texts]
    jasokit.convert_many(texts)
    gc.collect()
    assert [sys.getrefcount(t) for t in texts] == before


def test_version_is_the_project_version():
    assert jasokit.__version__ == "1.0.0"


def test_convert_many_in_threads_at_once():
    # The loops run without the GIL, side by side.
    texts = [c[0] for c in CLASSIC] * 300
    expected = [jasokit.convert(t).output for t in texts]
    with concurrent.futures.ThreadPoolExecutor(4) as pool:
        results = list(pool.map(lambda style: jasokit.convert_many(texts, style), ["classic"] * 8))
    assert results == [expected] * 8


def test_stubs_name_what_the_package_has():
    import ast
    import pathlib
    import pydoc
    stub = ast.parse((pathlib.Path(jasokit.__file__).parent / "__init__.pyi").read_text(encoding="utf-8"))
    declared = {n.name for n in stub.body if isinstance(n, (ast.ClassDef, ast.FunctionDef))}
    declared |= {n.target.id for n in stub.body if isinstance(n, ast.AnnAssign)}
    assert declared == set(jasokit.__all__)
    for name in ["AddressDB", "Result", "ZipRecord", "ZipTable"]:
        members = {n.name for n in next(c for c in stub.body if getattr(c, "name", "") == name).body}
        assert members - {"__init__"} <= set(dir(getattr(jasokit, name)))
    assert "convert_many(texts, style='classic', country=None, threads=None, db=None)" in pydoc.render_doc(jasokit)
