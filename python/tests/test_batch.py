import os
import random
import warnings

import pytest

import jasokit


def generated_lines(count, seed=22):
    """Address-like lines and plain text, with the odd empty, spaced and refused one."""
    rng = random.Random(seed)
    regions = ["서울특별시", "부산광역시", "경기도", "경상남도", "세종특별자치시", "제주특별자치도", "서울"]
    districts = ["강남구", "성남시 분당구", "함안군", "중구", "수원시 팔달구", ""]
    places = ["역삼동", "테헤란로", "가야읍 말산리", "수내로46번길", "도움6로", "신림동"]
    words = ["한국어", "로마자", "표기", "신라", "독립문", "café", "😀", "합니다", "1층", "(06236)"]
    lines = []
    for i in range(count):
        kind = rng.randrange(10)
        if kind < 6:
            line = " ".join(p for p in [rng.choice(regions), rng.choice(districts), rng.choice(places)] if p)
            line += f" {rng.randint(1, 999)}" + rng.choice(["", "-12", ", 3층", ", 705동 1104호"])
        elif kind < 9:
            line = " ".join(rng.choice(words) for _ in range(rng.randint(1, 5)))
        else:
            line = rng.choice(["", "  \r\n ", "가" * 513, "\ud800서울", "a" * 1025])
        lines.append(line)
    return lines


LINES = generated_lines(5000)


@pytest.mark.parametrize("style", ["classic", "official"])
def test_threads_agree_with_one_thread(style):
    one = jasokit.convert_many(LINES, style=style, threads=1)
    assert one[:50] == [jasokit.convert(t, style=style).output for t in LINES[:50]]
    for threads in [2, 3, None]:
        assert jasokit.convert_many(LINES, style=style, threads=threads) == one
    romanized = [jasokit.romanize(t, style=style) for t in LINES]
    assert jasokit.romanize_many(LINES, style=style, threads=1) == romanized
    assert jasokit.romanize_many(iter(LINES), style=style, threads=4) == romanized


@pytest.mark.parametrize("call,error,message", [
    (lambda: jasokit.convert_many(["x"], threads=0), ValueError, "threads must be at least 1, not 0"),
    (lambda: jasokit.romanize_many(["x"], threads=-2), ValueError, "threads must be at least 1, not -2"),
    (lambda: jasokit.convert_many(["x"], threads=2.0), TypeError, "threads must be int or None, not float"),
    (lambda: jasokit.romanize_many(["x"], threads=True), TypeError, "threads must be int or None, not bool"),
    (lambda: jasokit.romanize_many("서울"), TypeError, "texts must be an iterable of str, not str"),
    (lambda: jasokit.romanize_many(LINES + [None], threads=3), TypeError, "texts[5000] must be str, not NoneType"),
])
def test_bad_batch_arguments(call, error, message):
    with pytest.raises(error) as raised:
        call()
    assert str(raised.value) == message


def test_more_threads_than_cores_are_capped_with_a_warning():
    cores = os.cpu_count()
    for threads in [cores + 1, 10000, 10**30]:
        with pytest.warns(RuntimeWarning, match=f"^threads={threads} is more than the {cores} cores; using {cores}$"):
            assert jasokit.convert_many(["서울"], threads=threads) == ["Seoul S.KOREA "]
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        assert jasokit.romanize_many([], threads=cores) == []


def test_a_list_that_shrinks_during_the_call_is_an_error():
    texts = list(LINES)
    texts[2000] = 1.5

    def shrink(item):
        # Runs under the GIL while a chunk is read, as another thread could.
        del texts[100:]
        return True

    with pytest.raises(RuntimeError, match="^texts changed size during the call$"):
        jasokit._jasokit._convert_column(texts, "classic", None, 2, shrink, "texts")


pandas = pytest.importorskip("pandas")


def test_convert_series_keeps_index_name_and_missing_values():
    nan, na = float("nan"), pandas.NA
    series = pandas.Series(["서울", None, "역삼동", nan, na, "한국어"] * 400, name="address",
                           index=pandas.RangeIndex(10, 4810, 2))
    out = jasokit.convert_series(series, style="official", threads=2)
    assert out.index.equals(series.index) and out.name == "address" and out.dtype == object
    assert out.iloc[:6].tolist()[:3] == ["Seoul, Republic of Korea", None, "Yeoksamdong"]
    assert out.iloc[3] is nan and out.iloc[4] is na and out.iloc[5] == "Hangugeo"
    texts = series[series.map(lambda v: isinstance(v, str))]
    assert out[texts.index].tolist() == jasokit.convert_many(texts.tolist(), style="official")


def test_convert_series_of_other_shapes():
    assert jasokit.convert_series(pandas.Series([], dtype=object)).tolist() == []
    strings = pandas.Series(["서울", None], dtype="string", index=["a", "b"])
    out = jasokit.convert_series(strings, country="Korea", style="official")
    assert out.to_dict() == {"a": "Seoul, Korea", "b": pandas.NA}
    with pytest.raises(TypeError, match=r"^series.iloc\[1\] must be str, not int$"):
        jasokit.convert_series(pandas.Series(["서울", 5]))


def test_a_numpy_array_of_objects_is_read_in_place():
    values = pandas.Series(LINES).to_numpy()
    assert jasokit.convert_many(values[::-3], threads=2) == jasokit.convert_many(LINES[::-3], threads=1)
