#!/usr/bin/env python3
"""Writes lib/tables/address_tables.h: the place-name and building-word tables of
the address converter as CP949 byte strings.

Run by hand when a table changes; the output is committed:
    python3 lib/tables/gen_address_tables.py > lib/tables/address_tables.h
    python3 lib/tables/gen_address_tables.py --official > lib/tables/official_tables.h
Rows are emitted in the order listed here; the converter searches them from
the first row and the first match wins, so the order is part of the data.
"""

PROVINCES = [
    ("경기", "Gyeonggi-do"),
    ("경기도", "Gyeonggi-do"),
    ("충북", "Chungcheongbuk-do"),
    ("충청북도", "Chungcheongbuk-do"),
    ("경북", "Gyeongsangbuk-do"),
    ("경상북도", "Gyeongsangbuk-do"),
    ("전남", "Jeollanam-do"),
    ("전라남도", "Jeollanam-do"),
    ("강원", "Gangwon-do"),
    ("강원도", "Gangwon-do"),
    ("제주", "Jeju-do"),
    ("제주도", "Jeju-do"),
    ("충남", "Chungcheongnam-do"),
    ("충청남도", "Chungcheongnam-do"),
    ("전북", "Jeollabuk-do"),
    ("전라북도", "Jeollabuk-do"),
    ("경남", "Gyeongsangnam-do"),
    ("경상남도", "Gyeongsangnam-do"),
]

METRO_CITIES = [
    ("서울", "Seoul"),
    ("서울특별시", "Seoul"),
    ("서울시", "Seoul"),
    ("부산", "Busan-si"),
    ("부산광역시", "Busan-si"),
    ("부산시", "Busan-si"),
    ("광주", "Gwangju-si"),
    ("광주광역시", "Gwangju-si"),
    ("광주시", "Gwangju-si"),
    ("인천", "Incheon-si"),
    ("인천광역시", "Incheon-si"),
    ("인천시", "Incheon-si"),
    ("울산", "Ulsan-si"),
    ("울산광역시", "Ulsan-si"),
    ("울산시", "Ulsan-si"),
    ("대전", "Daejeon-si"),
    ("대전광역시", "Daejeon-si"),
    ("대전시", "Daejeon-si"),
    ("대구", "Daegu-si"),
    ("대구광역시", "Daegu-si"),
    ("대구시", "Daegu-si"),
]

# Written as two words; matched against the first two tokens together.
METRO_CITY_TWO_WORD_FORMS = [
    ("서울 특별시", "Seoul"),
    ("부산 광역시", "Busan-si"),
    ("광주 광역시", "Gwangju-si"),
    ("인천 광역시", "Incheon-si"),
    ("울산 광역시", "Ulsan-si"),
    ("대전 광역시", "Daejeon-si"),
    ("대구 광역시", "Daegu-si"),
]

UNIT_SYLLABLES = [
    ("시", "-si", "Si"),
    ("구", "-gu", "Gu"),
    ("군", "-gun", "Gun"),
    ("읍", "-eup", "Eup"),
    ("면", "-myeon", "Myeon"),
    ("동", "-dong", "Dong"),
    ("가", "-ga", "Ga"),
    ("리", "-ri", "Ri"),
]

POST_OFFICE_BOX = ("사서함", " Post-Office Box.")

BUILDING_WORDS = [
    ("산업대", "Industry College."),
    ("산업대학", "Industry College."),
    ("병원", "Hospital."),
    ("전화국", "Tele-Office."),
    ("사서함", "Post-Office Box."),
    ("프라자", "Plaza"),
    ("(주)", "Inc."),
    ("백화점", "Dept."),
    ("경찰서", "Police-Station"),
    ("대학", "University"),
    ("대학교", "University"),
    ("시청", "City-Hall"),
    ("캠퍼스", "Campus"),
    ("도청", "Provincial Office"),
    ("은행", "Bank"),
    ("본점", "Head-Quarters"),
    ("아파트", "APT."),
    ("층", "Floor"),
    ("빌라", "Villa"),
    ("빌딩", "Building"),
]


# Today's regions, for the official style. Every written form, whole-token.
# Jeonnam-Gwangju, formed on 2026-07-01, had no official English name when
# this was written: its row is the one place to change.
OFFICIAL_REGIONS = [
    ("Seoul", ["서울", "서울시", "서울특별시"]),
    ("Busan", ["부산", "부산시", "부산광역시"]),
    ("Daegu", ["대구", "대구시", "대구광역시"]),
    ("Incheon", ["인천", "인천시", "인천광역시"]),
    ("Gwangju", ["광주", "광주시", "광주광역시"]),
    ("Daejeon", ["대전", "대전시", "대전광역시"]),
    ("Ulsan", ["울산", "울산시", "울산광역시"]),
    ("Sejong-si", ["세종", "세종시", "세종특별자치시"]),
    ("Gyeonggi-do", ["경기", "경기도"]),
    ("Gangwon-do", ["강원", "강원도", "강원특별자치도"]),
    ("Chungcheongbuk-do", ["충북", "충청북도"]),
    ("Chungcheongnam-do", ["충남", "충청남도"]),
    ("Jeonbuk-do", ["전북", "전라북도", "전북특별자치도"]),
    ("Jeollanam-do", ["전남", "전라남도"]),
    ("Gyeongsangbuk-do", ["경북", "경상북도"]),
    ("Gyeongsangnam-do", ["경남", "경상남도"]),
    ("Jeju-do", ["제주", "제주도", "제주특별자치도"]),
    ("Jeonnam-Gwangju", ["전남광주", "전남광주통합특별시"]),
]

# A region written as two words: a form above, a space, and the rest of a
# longer form, one of these designations ("서울 특별시").
OFFICIAL_DESIGNATIONS = ["특별시", "광역시", "특별자치시", "특별자치도", "통합특별시"]

# Road name types, longest first so that 대로 wins over 로.
ROAD_TYPES = [("대로", "-daero"), ("로", "-ro"), ("길", "-gil")]
# A syllable between a branch's number and its 길: 52안길 is "52an-gil",
# 7가길 "7ga-gil" (the 가나다 series), 14남길 "14nam-gil". The four
# directions also stand between a road's type and a branch: 산격로서9길 is
# "Sangyeok-ro seo 9-gil".
ROAD_DIRECTIONS = [("동", "dong"), ("서", "seo"), ("남", "nam"), ("북", "buk")]
ROAD_LETTERS = [("안", "an")] + [(k, r) for k, r in zip("가나다라마바사아자차카타파하", [
    "ga", "na", "da", "ra", "ma", "ba", "sa", "a", "ja", "cha", "ka", "ta", "pa", "ha"])]

# Words of the details and numbers of an official-style address.
OFFICIAL_WORDS = [
    ("kOfficialDong", "동"),
    ("kOfficialHo", "호"),
    ("kOfficialFloor", "층"),
    ("kOfficialBasement", "지하"),
    ("kOfficialMountain", "산"),
    ("kOfficialGil", "길"),
    ("kOfficialBeon", "번"),  # 46번길: a branch numbered by distance
    ("kOfficialInner", "안"),  # 2로안길: the inner road of 2-ro
    ("kOfficialExpressway", "고속도로"),
    ("kOfficialStreet", "거리"),  # 가구거리: a street, not a village (리)
    ("kOfficialPass", "고개"),  # 계변고개 1: a road where a number follows
    ("kOfficialMiddleDot", "·"),  # 2·28길 is "2.28-gil"
    ("kOfficialAraeaDot", "ㆍ"),  # the same dot as many type it
]


def cp949(text):
    """Every byte escaped, so no literal depends on the source encoding."""
    data = text.encode("cp949")
    assert data.decode("cp949") == text
    return '"' + "".join("\\x%02X" % b for b in data) + '"'


def rows(name, row_type, table):
    out = ["inline constexpr %s %s[%d] = {" % (row_type, name, len(table))]
    for korean, roman in table:
        out.append("    {%s, \"%s\"},  // %s" % (cp949(korean), roman, korean))
    out.append("};")
    return "\n".join(out)


def main():
    assert len(PROVINCES) == 18 and len(METRO_CITIES) == 21 and len(BUILDING_WORDS) == 20
    parts = [
        "#pragma once",
        "// Generated by lib/tables/gen_address_tables.py; edit the script, not this file.",
        "// Korean words are CP949 bytes. Every table is searched from its first row",
        "// and the first matching row wins.",
        "// clang-format off",
        "#include <string_view>",
        "",
        "namespace jasokit::detail {",
        "",
        "struct PlaceRow {",
        "  std::string_view korean;",
        "  std::string_view roman;",
        "};",
        "",
        "struct BuildingWordRow {",
        "  std::string_view korean;",
        "  std::string_view english;",
        "};",
        "",
        "struct UnitSyllable {",
        "  std::string_view syllable;  // two bytes",
        "  std::string_view suffix;",
        "};",
        "",
        "// A province matches only as a whole token.",
        rows("kProvinces", "PlaceRow", PROVINCES),
        "",
        "// A metropolitan city matches only as a whole token.",
        rows("kMetroCities", "PlaceRow", METRO_CITIES),
        "",
        "// A city's short form and its designation written as two words.",
        rows("kMetroCityTwoWordForms", "PlaceRow", METRO_CITY_TWO_WORD_FORMS),
        "",
        "enum Unit : int { " + ", ".join("kUnit" + u[2] for u in UNIT_SYLLABLES) + " };",
        "",
        "// Administrative units, recognised by a token's last syllable.",
        "inline constexpr UnitSyllable kUnitSyllables[%d] = {" % len(UNIT_SYLLABLES),
    ]
    for syllable, suffix, _ in UNIT_SYLLABLES:
        parts.append("    {%s, \"%s\"},  // %s" % (cp949(syllable), suffix, syllable))
    parts += [
        "};",
        "",
        "// %s" % POST_OFFICE_BOX[0],
        "inline constexpr std::string_view kPostOfficeBox = %s;" % cp949(POST_OFFICE_BOX[0]),
        "inline constexpr std::string_view kPostOfficeBoxSuffix = \"%s\";" % POST_OFFICE_BOX[1],
        "",
        "// A token ends in a building word when its last bytes equal the word.",
        rows("kBuildingWords", "BuildingWordRow", BUILDING_WORDS),
        "",
        "}  // namespace jasokit::detail",
        "",
    ]
    print("\n".join(parts), end="")


def official():
    forms = [(form, roman) for roman, written in OFFICIAL_REGIONS for form in written]
    parts = [
        "#pragma once",
        "// Generated by lib/tables/gen_address_tables.py --official; edit the script, not",
        "// this file. The official style's words as CP949 bytes, searched from the",
        "// first row.",
        "// clang-format off",
        "#include <string_view>",
        "",
        '#include "tables/address_tables.h"',
        "",
        "namespace jasokit::detail {",
        "",
        "// Every written form of today's regions, whole-token.",
        rows("kOfficialRegions", "PlaceRow", forms),
        "",
        "// The second word of a region written in two (\"서울 특별시\").",
        "inline constexpr std::string_view kRegionDesignations[%d] = {" % len(OFFICIAL_DESIGNATIONS),
    ]
    for d in OFFICIAL_DESIGNATIONS:
        parts.append("    %s,  // %s" % (cp949(d), d))
    parts += [
        "};",
        "",
        "// A road's type, at the end of its name: 대로 before 로.",
        rows("kRoadTypes", "PlaceRow", ROAD_TYPES),
        "",
        "// Directions, after a road's type or a branch's number.",
        rows("kRoadDirections", "PlaceRow", ROAD_DIRECTIONS),
        "",
        "// Letters after a branch's number: 안 and the 가나다 series.",
        rows("kRoadLetters", "PlaceRow", ROAD_LETTERS),
        "",
    ]
    for name, word in OFFICIAL_WORDS:
        parts.append("inline constexpr std::string_view %s = %s;  // %s" % (name, cp949(word), word))
    parts += ["", "}  // namespace jasokit::detail", ""]
    print("\n".join(parts), end="")


if __name__ == "__main__":
    import sys

    official() if sys.argv[1:] == ["--official"] else main()
