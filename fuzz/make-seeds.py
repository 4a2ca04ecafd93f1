#!/usr/bin/env python3
"""Writes the seed corpora under fuzz/corpus/<area>/ from hand-picked texts.

Texts are written here in UTF-8 and stored as the CP949 bytes the library
takes. The zip table seeds start from the sample table the build makes from
data/zipcode-sample.csv (default build/cli/zipcode030101t6.dbf, or the path
given as the only argument). Run from anywhere; existing seeds of the same
name are overwritten.
"""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def cp(text):
    return text.encode("cp949")


ADDRESSES = [
    "서울특별시 강남구 역삼동 123-45",
    "서울 강남구 역삼동 123",
    "부산광역시 해운대구 우동 1234",
    "경상남도 함안군 가야읍 말산리 123",
    "경기도 성남시 분당구 정자동 1 현대아파트 101동 1004호",
    "서울 종로구 종로3가",
    "서울 중앙사서함 123",
    "서울 역삼동 10 층",
    "서울 A",
    "서울 5층",
    "서울 구 역삼동",
    "강원 홍천군 서석면",
    "울산 울주군 언양읍",
    "전라북도 전주시 덕진동 1",
    "제주도 서귀포시 대학로 1",
    "서울",
    "서울, 강남구",
    "서울 특별시 강남구 역삼동",
    "서울특별시강남구",
]

WORDS = [
    "한국 신라 안녕 종로 학문 백로 국물 독립 법률 십리 합니다 감로",
    "같이 굳이 굳히다 갇혀 받다 받아 밭에 꽃이 낮에 맞히다 좋다 좋아",
    "좋지 놓는 많다 않아 입학 잡혀 먹힌 막혔다 학교 밖에 읽어 밝히다",
    "맑다 젊어 넓이 여덟이 밟히다 싫다 싫어 핥아 읊어 몫이 앉아 앉다",
    "없이 없어 있다 있어 부엌에 앞에 읽어요 옆 밖",
    "가ㄱ나",
    "가1나",
    "ㅋㅋ",
    "abc",
    "1abc",
    "강남구 역삼동",
]

CONVERT = {
    "crlf-inside": cp("서울") + b"\r\n" + cp("강남구"),
    "five-spaces": cp("서울     강남구"),
    "tab-inside": cp("서울") + b"\t" + cp("강남구"),
    "blanks-around": b" \t\r\n" + cp("서울 강남구") + b"  \r\n\x0b\x0c",
    "spaces-only": b"   ",
    "fits-1024": cp("가" * 512),
    "over-1024": cp("가" * 513),
    "exit-area-overflow": cp("강" * 342),
    "cr-alone": cp("한국") + b"\r" + cp("신라"),
    "invalid-bytes": b"a\x80b\xffc\xc9\xa1\x41" + cp("서울") + b"\xb0",
    "full-width-space": cp("서울\u3000강남구 漢字"),
    "trail-space-byte": b"\xb0\x20\xb0\x20 ",
    "lead-then-lf": b"\xb0\n\xa1\n",
}

CODEC = {
    "hangul": cp("한국어 로마자 표기"),
    "mixed": cp("ㄱ\u3000漢 가나다 abc 123 ·※"),
    "invalid": b"\x80\xff\xc9\xa1\xb0\xa1\xa1\xb0\xa1",
    "extended-syllable": b"\xa1\x41\x81\x41\xc6\x52",
    "lone-lead": b"abc\xb0",
    "nul-inside": b"\xb0\xa1\x00\xb0\xa1",
    "utf8-text": "서울 강남구 é 😀".encode("utf-8"),
    "utf8-broken": b"\xc0\x80\xed\xa0\x80\xea\xb0\xf4\x90\x80\x80",
}


# Words that steer ConvertInput onto the address path and through its states.
DICTIONARY = [
    "경기", "경기도", "충북", "충청북도", "경북", "경상북도", "전남", "전라남도", "강원", "강원도",
    "제주", "제주도", "충남", "충청남도", "전북", "전라북도", "경남", "경상남도",
    "서울", "서울특별시", "서울시", "부산", "부산광역시", "부산시", "광주", "광주광역시", "광주시",
    "인천", "인천광역시", "인천시", "울산", "울산광역시", "울산시", "대전", "대전광역시", "대전시",
    "대구", "대구광역시", "대구시", "특별시", "광역시",
    "시", "구", "군", "읍", "면", "동", "가", "리", "사서함",
    "산업대", "산업대학", "병원", "전화국", "프라자", "(주)", "백화점", "경찰서", "대학", "대학교",
    "시청", "캠퍼스", "도청", "은행", "본점", "아파트", "층", "빌라", "빌딩",
    " ", "  ", "\r\n", "\t", "\u3000", "123-45",
]

# Words of today's road-name addresses, for the official style.
OFFICIAL_WORDS = [
    "특별자치시", "특별자치도", "통합특별시", "세종", "전북특별자치도", "강원특별자치도", "전남광주",
    "로", "길", "대로", "번길", "가길", "12번길", "7길", "3로", "지하", "지하1층", "산", "산12",
    "호", "101동", "1004호", "3층", "(", ")", ", ", "(06236)", "06236", "12-1", "152,",
]

# Official-style texts: the first byte is the target's flags (bit 0: UTF-8,
# bit 1: a country of the caller's).
OFFICIAL = [
    "인천광역시 옹진군 백령면 백령로 1",
    "(06236) 서울특별시 강남구 테헤란로 152, 3층",
    "세종특별자치시 도움6로 42, 705동 1104호",
    "경기도 성남시 분당구 수내로46번길 4",
    "서울 강남구 테헤란로 지하 152",
    "경기도 화성시 봉담읍 수기리 산 12",
    "서울특별시 강남구 테헤란로 152 (역삼동, 현대아파트)",
    "서울 특별시 강남구 테헤란로 7길 22",
    "경기도 성남시 분당구 판교역로 235 (삼평동) 7층",
    "서울 강남구 역삼동 현대아파트 101동 1004호",
    "서울, 강남구",
    "경기도 " + " ".join("백령%s" % u for u in "시군구읍면동리가" * 4) + " 옹진로 12 (새동) 솔문 (한동) 미초",
    "서울 " + "뷁뷁뷁 " * 80,
    "서울 " + "★" * 500 + " 뷁뷁",
    "합니다 옛날 꽃말 감로 묵호 입학",
]



def write_dictionary(path, words):
    with open(path, "w") as f:
        for word in words:
            data = word if isinstance(word, bytes) else cp(word)
            f.write('"%s"\n' % "".join("\\x%02X" % b for b in data))


# CSV seeds: a byte seeding the sizes of the reads, a byte for the record limit
# (0: the real 1 MiB), then the UTF-8 text.
CSV = {
    "plain": (0, 0, "zipcode,address\n135-080,서울 강남구 역삼동\n"),
    "one-byte-reads": (1, 0, "a,b\r\nc,d\r\n"),
    "quoted": (7, 0, '"a,b","say ""hi""",""\n'),
    "line-breaks-in-quotes": (3, 0, '"서울\r\n강남구",x\r\n"a\nb"\n'),
    "mixed-line-ends": (5, 0, "a\r\nb\nc"),
    "bom": (2, 0, "\ufeffname,주소\n홍길동,\"서울, 종로구\"\n"),
    "bom-only": (1, 0, "\ufeff"),
    "blank-lines": (4, 0, "a\n\n\r\nb,\n,\n"),
    "lone-cr": (6, 0, "a\rb,\r\"x\"\r"),
    "unclosed-quote": (9, 0, 'a\n"b,c\nd\n'),
    "stray-quote": (8, 0, 'a,b"c\n'),
    "text-after-quote": (10, 0, '"a"b\n'),
    "cr-after-quote": (11, 0, '"a"\rb'),
    "over-limit": (12, 16, "short\n" + "x" * 40 + "\n"),
    "over-limit-in-quotes": (13, 10, '"ab\ncdefgh\nij"\n'),
    "at-limit": (14, 8, '"abcdef"\n12345678'),
}

CSV_DICTIONARY = [b'"', b'""', b",", b"\r\n", b"\n", b"\r", b'","', b'"\r\n', b"\xef\xbb\xbf"]


def csv_seed(seed, limit, text):
    return bytes([seed, limit]) + text.encode("utf-8")


HEADER_BYTES = 225
RECORD_BYTES = 90
TABLE_BYTES = HEADER_BYTES + 44338 * RECORD_BYTES

# Queries for the search target: names of its own table, near misses, bytes.
ZIP_QUERIES = {
    "yeoksam": cp("역삼동"),
    "trailing-space": cp("역삼동 "),
    "ga": cp("종로1가"),
    "eup": cp("가야읍"),
    "empty": b"",
    "two-words": cp("대학로 캠퍼스"),
    "nul-cut": cp("삼성동"),
    "damaged": b"\x80\xb0",
    "line": cp("135-080 서울 강남구        역삼동                  "),
    "short-line": b"1234567",
}


def verbatim(data):
    """A zipload input that is the file itself."""
    return b"\x00" + data


def tiled(size, pattern):
    """A zipload input for a file of size bytes filled with pattern."""
    return (b"\x03" if size > 65536 else b"\x01") + struct.pack("<I", size)[:3] + pattern


def zip_seeds(table_path):
    if os.path.exists(table_path):
        with open(table_path, "rb") as f:
            table = f.read()
        record = table[HEADER_BYTES:HEADER_BYTES + RECORD_BYTES]
        write("zipload", "sample-table", verbatim(table))
        write("zipload", "header-only", verbatim(table[:HEADER_BYTES]))
        write("zipload", "cut-mid-record", verbatim(table[:HEADER_BYTES + 3 * RECORD_BYTES + 45]))
        write("zipload", "full-table", tiled(TABLE_BYTES, record))
        write("zipload", "one-byte-short", tiled(TABLE_BYTES - 1, record))
        write("zipload", "overlong", tiled(TABLE_BYTES + 2 * RECORD_BYTES + 1, record))
    else:
        print("no sample table at %s: zipload seeds from it skipped" % table_path)
    write("zipload", "empty", verbatim(b""))
    write("zipload", "one-record", verbatim(b"\x03" + b" " * 224 + b" 135-080" + cp("서울강남구") +
                                            b" " * 7 + cp("역삼동") + b" " * 37 + b" " * 22))
    write("zipload", "zeros-6mb", tiled(6 << 20, b""))
    write("zipload", "spaces", tiled(TABLE_BYTES // 3, b" "))


# Personal names, UTF-8: the rule's examples, a space deciding, a two-syllable
# family name, invalid bytes and a NUL, and a text that is no name.
NAMES = {
    "rule": "한복남".encode(),
    "space": "  황보 영 ".encode(),
    "two": "남궁민".encode(),
    "bytes": "김".encode() + b"\xff" + "연".encode() + b"\x00" + "아".encode(),
    "text": "대한민국만세다 a".encode(),
}


# What one client connection sends to the HTTP service.
HTTP = {
    "get-convert": b"GET /v1/convert?text=%EC%84%9C%EC%9A%B8+%EA%B0%95%EB%82%A8%EA%B5%AC&style=official HTTP/1.1\r\n"
                   b"Host: x\r\n\r\n",
    "pipelined": b"GET /v1/zip?prefix=%EC%97%AD HTTP/1.1\r\nHost: x\r\n\r\nGET /healthz HTTP/1.1\r\nHost: x\r\n\r\n",
    "head-page": b"HEAD / HTTP/1.0\r\n\r\n",
    "post-convert": b"POST /v1/convert HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
                    b"Content-Length: 35\r\n\r\n{\"texts\": [\"a\", \"b\"], \"style\": \"x\"}",
    "post-chunked": b"POST /v1/romanize?name=1&hyphen=1 HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
                    b"Transfer-Encoding: chunked\r\n\r\n5\r\n{\"tex\r\n9\r\nts\": [\"a\"]\r\n1\r\n}\r\n0\r\n\r\n",
    "options": b"OPTIONS /v1/convert HTTP/1.1\r\nHost: x\r\nOrigin: https://a\r\n\r\n",
    "expect": b"POST /v1/convert HTTP/1.1\r\nHost: x\r\nContent-Type: text/plain\r\nExpect: 100-continue\r\n"
              b"Content-Length: 99999\r\n\r\n",
    "two-lengths": b"POST /v1/convert HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\nContent-Length: 16\r\n"
                   b"Content-Length: 4\r\n\r\n{\"texts\": [\"a\"]}",
    "chunked-and-length": b"POST /v1/convert HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
                          b"Content-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n2\r\n{}\r\n0\r\n\r\n",
    "identity": b"POST /v1/convert HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
                b"Transfer-Encoding: identity\r\n\r\n{}",
    "chunked-over-limit": b"POST /v1/convert HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
                          b"Transfer-Encoding: chunked\r\n\r\n" + b"800\r\n" + b" " * 2048 + b"\r\n" * 3 + b"0\r\n\r\n",
    "many-parameters": b"GET /v1/convert?" + b"&".join(b"a=%d" % i for i in range(300)) + b" HTTP/1.1\r\n\r\n",
}

HTTP_DICTIONARY = [b"GET ", b"POST ", b"HEAD ", b"OPTIONS ", b"PUT ", b" HTTP/1.1\r\n", b"\r\n", b"\r\n\r\n",
                   b"Host: x", b"Content-Length: ", b"Content-Type: application/json", b"Transfer-Encoding: chunked",
                   b"Expect: 100-continue", b"Connection: close", b"/v1/convert", b"/v1/romanize", b"/v1/zip",
                   b"/v1/lookup", b"/healthz", b"?text=", b"&style=official", b"name=1", b"%EC%84%9C", b"%00",
                   b'{"texts": ["a"]}', b"Content-Length: 4\r\nContent-Length: 5\r\n", b"Transfer-Encoding: identity",
                   b"Transfer-Encoding: gzip, chunked", b"1000\r\n", b"\r\n0\r\n\r\n", b"&a=1&a=2&a=3"]


def write(area, name, data):
    folder = os.path.join(HERE, "corpus", area)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def main():
    for i, text in enumerate(ADDRESSES):
        write("convert", "address-%02d" % i, cp(text))
    for i, text in enumerate(WORDS):
        write("convert", "words-%02d" % i, cp(text))
    for name, data in CONVERT.items():
        write("convert", name, data)
    for name, data in CODEC.items():
        write("codec", name, data)
    write("codec", "words", cp("\n".join(WORDS)))
    for i, text in enumerate(OFFICIAL):
        write("official", "cp949-%02d" % i, bytes([i & 2]) + cp(text))
        write("official", "utf8-%02d" % i, bytes([1 | (i & 2)]) + text.encode("utf-8"))
    write("official", "utf8-beyond-cp949", b"\x01" + "서울 강남구 테헤란로 152 😀 é".encode("utf-8"))
    write("official", "utf8-invalid", b"\x03" + cp("서울") + b" \xff\xc0\x80 " + "강남구".encode("utf-8"))
    write_dictionary(os.path.join(HERE, "official.dict"),
                     [cp(w) for w in DICTIONARY + OFFICIAL_WORDS] +
                     [w.encode("utf-8") for w in DICTIONARY + OFFICIAL_WORDS if not w.isascii()])
    write_dictionary(os.path.join(HERE, "convert.dict"), DICTIONARY)
    for name, (seed, limit, text) in CSV.items():
        write("csv", name, csv_seed(seed, limit, text))
    write_dictionary(os.path.join(HERE, "csv.dict"), CSV_DICTIONARY)
    for name, data in NAMES.items():
        write("name", name, data)
    for name, data in HTTP.items():
        write("http", name, data)
    write_dictionary(os.path.join(HERE, "http.dict"), HTTP_DICTIONARY)
    for name, data in ZIP_QUERIES.items():
        write("zipsearch", name, data)
    default_table = os.path.join(HERE, "..", "build", "cli", "zipcode030101t6.dbf")
    zip_seeds(sys.argv[1] if len(sys.argv) > 1 else default_table)


if __name__ == "__main__":
    main()
