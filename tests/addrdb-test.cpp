// The address database: import of both layouts (texts and zips), the
// opener's refusals, lookups of every kind, and conversion with the data.
#include <gtest/gtest.h>

#include <algorithm>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif
#ifndef JASOKIT_NO_LIBZIP
#include <zip.h>
#endif
#ifndef _WIN32
#include <signal.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "addrdb/address_db_reader.h"
#include "addrdb/address_db_writer.h"
#include "cli/addrdb_source.h"
#include "cli/cli.h"
#include "fake-io.h"
#include "jasokit/address_db.h"
#include "jasokit/address_db_builder.h"
#include "jasokit/convert.h"
#include "test-util.h"

namespace jasokit {
namespace {

using test::FakeIo;
using test::TempDir;

constexpr const char* kCurrentHeader =
    "\xEF\xBB\xBF우편번호|시도|시도영문|시군구|시군구영문|읍면|읍면영문|도로명코드|도로명|도로명영문|지하여부|"
    "건물번호본번|건물번호부번|건물관리번호|다량배달처명|시군구용건물명|법정동코드|법정동명|리명|행정동명|산여부|"
    "지번본번|읍면동일련번호|지번부번|구우편번호|우편번호일련번호\n";
constexpr const char* k2013Header =
    "우편번호|우편일련번호|시도|시도영문|시군구|시군구영문|읍면|읍면영문|도로명코드|도로명|도로명영문|지하여부|"
    "건물번호본번|건물번호부번|건물관리번호|다량배달처명|시군구용건물명|법정동코드|법정동명|리|산여부|지번본번|"
    "읍면동일련번호|지번부번\r\n";

// Current layout, one building per line.
const std::string kCurrentRows =
    std::string(kCurrentHeader) +
    "06236|서울특별시|Seoul|강남구|Gangnam-gu|||1|테헤란로|Teheran-ro|0|152|0|1||강남파이낸스센터|1|역삼동||역삼1동|0|"
    "737|"
    "01|0|135-984|\n"
    "06236|서울특별시|Seoul|강남구|Gangnam-gu|||1|테헤란로|Teheran-ro|1|12|2|2|||1|역삼동||역삼1동|0|736|01|1|135-984|"
    "\n"
    "16499|경기도|Gyeonggi-do|수원시 영통구|Suwon-si Yeongtong-gu|||2|월드컵로|World cup-ro|0|206|0|3|아주대학교|"
    "아주대학교|2|원천동||원천동|0|5|01|0|443-749|\n"
    "03932|서울특별시|Seoul|마포구|Mapo-gu|||3|월드컵로|World cup-ro|0|206|0|4||월드컵경기장|3|성산동||성산2동|"
    "0|515|01|0|121-849|\n";

std::string Cp949(std::string_view utf8) { return test::Cp(utf8); }

// 2013 layout, CP949, CR LF.
const std::string k2013Rows =
    Cp949(std::string(k2013Header) +
          "339831|081|세종특별자치시|Sejong-si|||금남면|Geumnam-myeon|5|감성길|Gamseong-gil|0|"
          "32|0|5|||6||감성리|0|44|01|0\r\n"
          "339831|081|세종특별자치시|Sejong-si|||금남면|Geumnam-myeon|5|감성길|Gamseong-gil|0|"
          "19|6|5|||6||감성리|1|42|01|0\r\n");

// A zip holding files under their CP949 names, without the UTF-8 flag.
#ifdef JASOKIT_NO_LIBZIP
// No zip writer in this build (nor reader in the program): the 2013 text
// goes in unzipped, under its Korean name.
constexpr const char* kSejongSource = "20130604_세종특별자치시.txt";
#else
constexpr const char* kSejongSource = "sejong.zip: 20130604_세종특별자치시.txt";

void WriteZip(const std::string& path, const std::vector<std::pair<std::string, std::string> >& files) {
  int error = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(z, nullptr);
  for (const auto& [name, bytes] : files) {
    zip_source_t* s = zip_source_buffer(z, bytes.data(), bytes.size(), 0);
    ASSERT_GE(zip_file_add(z, Cp949(name).c_str(), s, ZIP_FL_ENC_CP437), 0);
  }
  ASSERT_EQ(zip_close(z), 0);
}
#endif

int Jasokit(FakeIo& io, std::vector<std::string> args) { return cli::RunCli(args, io); }

class AddrDbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteBytes(m_dir.File("seoul.txt"), kCurrentRows);
#ifdef JASOKIT_NO_LIBZIP
    const std::string sejong = m_dir.File("20130604_세종특별자치시.txt");
    test::WriteBytes(std::filesystem::u8path(sejong), k2013Rows);
#else
    const std::string sejong = m_dir.File("sejong.zip");
    WriteZip(sejong, {{"20130604_세종특별자치시.txt", k2013Rows}, {"안내.pdf", "%PDF"}});
#endif
    FakeIo io;
    ASSERT_EQ(Jasokit(io, {"addrdb", "build", m_dir.File("seoul.txt"), sejong, "-o", Db()}), 0) << io.err;
    ASSERT_EQ(m_db.Open(Db()), AddressDbStatus::Ok);
  }

  std::string Db() const { return m_dir.File("address.db"); }

  Result Official(std::string_view text, bool keepLot = false) const {
    Options options;
    options.style = Style::Official;
    options.database = &m_db;
    options.keepLot = keepLot;
    return Convert(text, options);
  }

  TempDir m_dir;
  AddressDatabase m_db;
};

TEST_F(AddrDbTest, LooksUpEveryKindOfQuery) {
  struct Case {
    const char* query;
    std::vector<std::string> addresses;
  };
  const Case cases[] = {
      // The building asked for, then the rest of its road.
      {"테헤란로 152", {"서울특별시 강남구 테헤란로 152 (강남파이낸스센터)", "서울특별시 강남구 테헤란로 지하 12-2"}},
      {"서울 강남구 테헤란로 지하 12-2",
       {"서울특별시 강남구 테헤란로 지하 12-2", "서울특별시 강남구 테헤란로 152 (강남파이낸스센터)"}},
      {"테헤란로", {"서울특별시 강남구 테헤란로 152 (강남파이낸스센터)", "서울특별시 강남구 테헤란로 지하 12-2"}},
      {"월드컵로 206",
       {"서울특별시 마포구 월드컵로 206 (월드컵경기장)", "경기도 수원시 영통구 월드컵로 206 (아주대학교)"}},
      {"영통구 월드컵로 206", {"경기도 수원시 영통구 월드컵로 206 (아주대학교)"}},
      {"역삼동 737", {"서울특별시 강남구 테헤란로 152 (강남파이낸스센터)"}},
      {"금남면 감성리 산42", {"세종특별자치시 금남면 감성길 19-6"}},
      {"아주", {"경기도 수원시 영통구 월드컵로 206 (아주대학교)"}},
      {"06236", {"서울특별시 강남구 테헤란로 152 (강남파이낸스센터)", "서울특별시 강남구 테헤란로 지하 12-2"}},
      {"135-984", {"서울특별시 강남구 테헤란로 152 (강남파이낸스센터)", "서울특별시 강남구 테헤란로 지하 12-2"}},
      {"339831", {"세종특별자치시 금남면 감성길 19-6", "세종특별자치시 금남면 감성길 32"}},
      {"테헤란로 153", {"서울특별시 강남구 테헤란로 152 (강남파이낸스센터)", "서울특별시 강남구 테헤란로 지하 12-2"}},
      {"없는로 153", {}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> got;
    for (const AddressMatch& m : m_db.Lookup(c.query).matches) got.push_back(m.address);
    EXPECT_EQ(got, c.addresses) << c.query;
  }
  const AddressMatch m = m_db.Lookup("월드컵로 206", 1).matches.at(0);
  EXPECT_EQ(m.postcode, "03932");
  EXPECT_EQ(m.lot, "서울특별시 마포구 성산동 515");
  EXPECT_EQ(m.english, "206 World cup-ro, Mapo-gu, Seoul");
  EXPECT_EQ(m.oldPostcode, "121-849");
  EXPECT_EQ(m_db.Lookup("월드컵로 206", 1).more, 1u);
}

TEST_F(AddrDbTest, ConvertsFromTheDataAndFallsBackToTheRules) {
  struct Case {
    const char* text;
    const char* output;
    const char* source;
  };
  const Case cases[] = {
      {"서울 강남구 테헤란로 152", "152 Teheran-ro, Gangnam-gu, Seoul, 06236, Republic of Korea", "database"},
      {"경기 영통구 월드컵로 206, 101동 202호",
       "101-dong 202-ho, 206 World cup-ro, Yeongtong-gu, Suwon-si, Gyeonggi-do, 16499, Republic of Korea", "database"},
      {"(12345) 서울특별시 강남구 테헤란로 지하12-2", "B12-2 Teheran-ro, Gangnam-gu, Seoul, 06236, Republic of Korea",
       "database"},
      {"서울 강남구 역삼동 737", "152 Teheran-ro, Gangnam-gu, Seoul, 06236, Republic of Korea", "database"},
      {"세종 금남면 감성길 32", "32 Gamseong-gil, Geumnam-myeon, Sejong-si, Republic of Korea", "database"},
      {"서울 강남구 테헤란로 153", "153 Teheran-ro, Gangnam-gu, Seoul, Republic of Korea", "rules"},
      {"부산 월드컵로 206", "206 Woldeukeop-ro, Busan, Republic of Korea", "rules"},
  };
  for (const Case& c : cases) {
    const Result r = Official(c.text);
    EXPECT_EQ(r.output, c.output) << c.text;
    ASSERT_TRUE(r.fields) << c.text;
    EXPECT_EQ(r.fields->source, c.source) << c.text;
  }
  // The 2013 data's six-digit code is an old postcode, never a current one.
  for (const char* text : {"세종 금남면 감성길 32", "서울 강남구 테헤란로 152"}) {
    const Result r = Official(text);
    ASSERT_TRUE(r.fields) << text;
    const bool sejong = r.fields->region == "Sejong-si";
    EXPECT_EQ(r.fields->postcode, sejong ? "" : "06236") << text;
    EXPECT_EQ(r.fields->oldPostcode, sejong ? "339-831" : "") << text;
  }
  const AddressMatch sejong = m_db.Lookup("감성길 32").matches.at(0);
  EXPECT_EQ(sejong.postcode, "");
  EXPECT_EQ(sejong.oldPostcode, "339-831");
  EXPECT_EQ(Official("서울 강남구 역삼동 737", true).output,
            "737 Yeoksam-dong, Gangnam-gu, Seoul, 06236, Republic of Korea");
  Options classic;
  classic.database = &m_db;
  EXPECT_EQ(Convert("서울 강남구 테헤란로 152", classic).output, Convert("서울 강남구 테헤란로 152").output);
}

// Without its region or city, an address is placed by the data where the
// rest fits one place only; otherwise the text is what it is without data.
TEST_F(AddrDbTest, PlacesAnAddressWithoutRegionOrCityWhereUnambiguous) {
  const std::string gangnam = "152 Teheran-ro, Gangnam-gu, Seoul, 06236, Republic of Korea";
  const std::pair<const char*, std::string> placed[] = {
      {"강남구 테헤란로 152", gangnam},
      {"테헤란로 152", gangnam},
      {"서울 테헤란로 152", gangnam},
      {"역삼동 737", gangnam},
      {"테헤란로 지하12-2", "B12-2 Teheran-ro, Gangnam-gu, Seoul, 06236, Republic of Korea"},
      {"테헤란로 지하 12-2", "B12-2 Teheran-ro, Gangnam-gu, Seoul, 06236, Republic of Korea"},
      {"감성리 산42", "19-6 Gamseong-gil, Geumnam-myeon, Sejong-si, Republic of Korea"},
      {"영통구 월드컵로 206", "206 World cup-ro, Yeongtong-gu, Suwon-si, Gyeonggi-do, 16499, Republic of Korea"},
  };
  for (const auto& [text, output] : placed) {
    const Result r = Official(text);
    EXPECT_EQ(r.output, output) << text;
    ASSERT_TRUE(r.fields) << text;
    EXPECT_EQ(r.fields->source, "database") << text;
  }
  Options rulesOnly;
  rulesOnly.style = Style::Official;
  for (const char* text : {"월드컵로 206", "테헤란로 153", "역삼동 738", "테헤란로 지하"}) {
    const Result r = Official(text);
    EXPECT_EQ(r.status, ConversionStatus::PlainText) << text;
    EXPECT_EQ(r.output, Convert(text, rulesOnly).output) << text;
  }
}

TEST_F(AddrDbTest, OpenerRefusesWhatIsNoSoundDatabase) {
  const std::string good = test::ReadBytes(Db());
  std::string otherVersion = good;
  otherVersion[8] = 9;
  std::string formerVersion = good;
  formerVersion[8] = 3;
  std::string damaged = good;
  damaged[39] = '\x7F';  // the first section's offset, far past the end
  const std::pair<std::string, AddressDbStatus> cases[] = {
      {"", AddressDbStatus::NotADatabase},
      {"PK\x03\x04 not a database at all", AddressDbStatus::NotADatabase},
      {good.substr(0, 100), AddressDbStatus::Truncated},
      {good.substr(0, good.size() - 1), AddressDbStatus::Truncated},
      {otherVersion, AddressDbStatus::OtherVersion},
      {formerVersion, AddressDbStatus::OtherVersion},
      {damaged, AddressDbStatus::Damaged},
      {good + "x", AddressDbStatus::Damaged},
  };
  for (const auto& [bytes, status] : cases) {
    AddressDatabase db;
    EXPECT_EQ(db.OpenBytes(bytes), status) << bytes.size();
    EXPECT_FALSE(db.isOpen());
  }
  AddressDatabase db;
  EXPECT_EQ(db.Open(m_dir.File("missing.db")), AddressDbStatus::CannotOpen);
  EXPECT_EQ(db.Open(m_dir.Dir()), AddressDbStatus::CannotOpen);
  FakeIo io;
  EXPECT_EQ(Jasokit(io, {"lookup", "--addrdb", m_dir.File("seoul.txt"), "06236"}), 1);
  EXPECT_EQ(io.err, "jasokit lookup: " + m_dir.File("seoul.txt") +
                        ": not an address database (build one with 'jasokit addrdb build')\n");
}

// One bit flipped at the start, middle and end of every section: an open,
// which reads the header alone, takes it; Verify names the section. In the
// header or the table, the open refuses.
TEST_F(AddrDbTest, ChecksumsCatchAFlippedBitInEverySection) {
  const std::string good = test::ReadBytes(Db());
  using namespace detail::addrdb;
  const char* const names[] = {"strings",        "roads",         "rows",          "road names",
                               "lots",           "postcodes",     "old postcodes", "names",
                               "info",           "row fences",    "buildings",     "name grams",
                               "locality roads", "English roads", "initial roads", "slip roads"};
  ASSERT_EQ(SectionCountOf(good), std::size(names));
  for (std::size_t k = 0; k < SectionCountOf(good); ++k) {
    const TableEntry entry = EntryAt(good, k);
    ASSERT_GT(entry.size, 0u) << names[k];
    // The strings' first byte, always 0, the open checks itself.
    for (const std::uint64_t at : {entry.offset + 1, entry.offset + entry.size / 2, entry.offset + entry.size - 1}) {
      std::string bytes = good;
      bytes[at] = static_cast<char>(bytes[at] ^ 0x10);
      AddressDatabase db;
      ASSERT_EQ(db.OpenBytes(bytes), AddressDbStatus::Ok) << names[k];
      std::string section;
      EXPECT_EQ(db.Verify(&section), AddressDbStatus::Damaged) << names[k] << " " << at;
      EXPECT_EQ(section, names[entry.id]) << at;
    }
  }
  for (const std::size_t at : {std::size_t{16}, std::size_t{29}, HeaderBytes(SectionCountOf(good)) - 1}) {
    std::string bytes = good;
    bytes[at] = static_cast<char>(bytes[at] ^ 0x01);
    AddressDatabase db;
    EXPECT_EQ(db.OpenBytes(bytes), AddressDbStatus::Damaged) << at;
  }
  EXPECT_EQ(m_db.Verify(), AddressDbStatus::Ok);
}

// Damage past the checksums (resealed, as a writer with a fault would make
// it): a lookup reports it and gives no blank row.
TEST_F(AddrDbTest, ReferencesOutsideTheirSectionAreDamage) {
  using namespace detail::addrdb;
  const std::string good = test::ReadBytes(Db());
  const auto section = [&](Section id) {
    for (std::size_t k = 0; k < SectionCountOf(good); ++k) {
      if (EntryAt(good, k).id == id) return EntryAt(good, k);
    }
    return TableEntry{};
  };
  struct Case {
    const char* what;
    Section id;
    std::size_t field;  // byte offset in each record
    std::uint32_t value;
    std::vector<const char*> queries;
  };
  const Case cases[] = {
      {"a row's road", kRows, offsetof(RowRecord, road), 0xFFFFFFF0u, {"06236", "역삼동 737", "아주"}},
      {"a row's building name", kRows, offsetof(RowRecord, building), 0x7FFFFFF0u, {"테헤란로 152", "06236"}},
      {"a road's rows", kRoads, offsetof(RoadRecord, firstRow), 0x7FFFFFF0u, {"테헤란로 152", "테헤란로"}},
      {"an empty region", kRoads, offsetof(RoadRecord, region), 0, {"테헤란로 152", "06236"}},
      {"a postcode's row", kPostcodes, 0, 0xFFFFFF00u, {"06236"}},
      {"a name's row", kNames, offsetof(NameEntry, row), 0xFFFFFF00u, {"아주"}},
  };
  for (const Case& c : cases) {
    const TableEntry entry = section(c.id);
    std::string bytes = good;
    const std::size_t record = kSectionInfo[c.id].recordSize;
    for (std::uint64_t at = entry.offset + c.field; at + 4 <= entry.offset + entry.size; at += record) {
      std::memcpy(&bytes[at], &c.value, 4);
    }
    SealImage(bytes);
    AddressDatabase db;
    ASSERT_EQ(db.OpenBytes(bytes), AddressDbStatus::Ok) << c.what;
    ASSERT_EQ(db.Verify(), AddressDbStatus::Ok) << c.what;
    for (const char* query : c.queries) {
      const AddressLookupResult r = db.Lookup(query);
      EXPECT_TRUE(r.damaged) << c.what << ": " << query;
      for (const AddressMatch& m : r.matches) EXPECT_FALSE(m.address.empty()) << c.what;
    }
  }
  EXPECT_FALSE(m_db.Lookup("테헤란로 152").damaged);
}

TEST_F(AddrDbTest, VerifyAndInfoTellADamagedFile) {
  std::string bytes = test::ReadBytes(Db());
  FakeIo sound;
  EXPECT_EQ(Jasokit(sound, {"addrdb", "verify", Db()}), 0) << sound.err;
  EXPECT_EQ(sound.out, Db() + ": sound\n");
  std::size_t buildings = 0;
  for (std::size_t k = 0; k < detail::addrdb::SectionCountOf(bytes); ++k) {
    const detail::addrdb::TableEntry e = detail::addrdb::EntryAt(bytes, k);
    if (e.id == detail::addrdb::kBuildings) buildings = e.offset + e.size - 100;
  }
  bytes[buildings] = static_cast<char>(bytes[buildings] ^ 0x40);  // among the buildings
  // A copy, as the fixture keeps Db() open and Windows cannot write a mapped file.
  const std::string damaged = Db() + ".damaged";
  test::WriteBytes(damaged, bytes);
  for (const char* sub : {"verify", "info"}) {
    FakeIo io;
    EXPECT_EQ(Jasokit(io, {"addrdb", sub, damaged}), 1) << sub;
    EXPECT_EQ(io.out, "") << sub;
    EXPECT_EQ(io.err, "jasokit addrdb: " + damaged +
                          ": the address database is damaged (its section 'buildings' fails its checksum); build it "
                          "again\n")
        << sub;
  }
}

TEST_F(AddrDbTest, InfoNamesSourcesEditionsAndCounts) {
  FakeIo io;
  ASSERT_EQ(Jasokit(io, {"addrdb", "info", Db()}), 0) << io.err;
  const std::string age = io.out.substr(io.out.find("2013-06-04 (") + 12);
  EXPECT_EQ(io.out, Db() +
                        "\nformat version 4\nsources:\n"
                        "  seoul.txt (edition unknown, current layout): 4 rows, 0 skipped\n"
                        "  " +
                        kSejongSource +
                        " (edition 2013-06-04, 2013 layout): 2 rows, 0 skipped\n"
                        "newest edition 2013-06-04 (" +
                        age.substr(0, age.find('\n')) +
                        "\nrows 6 (4 with a current postcode)\nroads 4\npostcodes 3\nskipped rows 0\n"
                        "duplicate rows merged 0\n");
  EXPECT_NE(age.find(" years old)"), std::string::npos) << age;
}

TEST(AddressDbAgeTest, WarnsPastAYear) {
  struct Case {
    const char* edition;
    long long now;
    long long days;
    const char* warning;
  };
  const Case cases[] = {
      {"2023-12-05", 1733356800, 366, ""},  // 2024-12-05
      {"2023-12-05", 1733529600, 368,       // 2024-12-07
       "the address database's newest edition is 2023-12-05, 1 year old; postcodes and addresses change every "
       "month: build it again from Korea Post's current files"},
      {"2023-12", 1733529600, 372,
       "the address database's newest edition is 2023-12, 1 year old; postcodes and addresses change every month: "
       "build it again from Korea Post's current files"},
      {"2013-06-04", 1796774400, 4936,  // 2026-12-09
       "the address database's newest edition is 2013-06-04, 13 years old; postcodes and addresses change every "
       "month: build it again from Korea Post's current files"},
      {"2024-12-07", 1733356800, 0, ""},  // an edition dated after today
      {"", 1796774400, -1, ""},
  };
  for (const Case& c : cases) {
    AddressDbInfo info;
    info.newestEdition = c.edition;
    EXPECT_EQ(AddressDbAgeDays(info, c.now), c.days) << c.edition;
    EXPECT_EQ(AddressDbAgeWarning(info, c.now), c.warning) << c.edition;
  }
}

TEST(AddrDbSourceTest, EditionComesFromTheNameOnly) {
  const std::pair<const char*, const char*> cases[] = {
      {"20230604_서울특별시.txt", "2023-06-04"},
      {"서울특별시_2023-12-05.txt", "2023-12-05"},
      {"jibun_2023.12.05.txt", "2023-12-05"},
      {"zipcode_DB_202312.zip", "2023-12"},
      {"seoul-gangnam-2023-part1.txt", ""},
      {"20231399_x.txt", ""},
      {"2023-12-055.txt", ""},
      {"123456789.txt", ""},
      {"서울특별시.txt", ""},
  };
  for (const auto& [name, edition] : cases) EXPECT_EQ(cli::Edition(name), edition) << name;
}

TEST_F(AddrDbTest, BadRowsAreSkippedAndNamedBadSourcesRefused) {
  const std::size_t first = kCurrentRows.find('\n') + 1;
  const std::string bad =
      std::string(kCurrentHeader) + kCurrentRows.substr(first, kCurrentRows.find('\n', first) + 1 - first) +
      "06236|too|few\n"
      "0623X|서울특별시|Seoul|강남구|Gangnam-gu|||1|테헤란로|Teheran-ro|0|1|0|1|||1|역삼동||역삼1동|0|"
      "1|01|0||\n" +
      Cp949(
          "06236|서울특별시|Seoul|강남구|Gangnam-gu|||1|테헤란로|Teheran-ro|0|1|0|1|||1|역삼동||역삼1동|"
          "0|1|01|0||\n") +
      "06236|서울특별시|Seoul|강남구|Gangnam-gu|||1|테헤란로|Teheran-ro|0|2|0|1||\x1B]0;pwned\x07|1|역삼동||역삼1동|"
      "0|1|01|0||\n"
      "06236|서울특별시|Seoul|강남구|Gangnam-gu|||1||Teheran-ro|0|3|0|1|||1|역삼동||역삼1동|0|1|01|0||\n";
  test::WriteBytes(m_dir.File("bad.txt"), bad);
  FakeIo io;
  EXPECT_EQ(Jasokit(io, {"addrdb", "build", m_dir.File("bad.txt"), "-o", m_dir.File("bad.db")}), 0);
  const std::string where = "jasokit addrdb: bad.txt:";
  EXPECT_EQ(io.err, where + "3: skipped: a wrong number of columns\n" + where + "4: skipped: a bad number\n" + where +
                        "5: skipped: bytes invalid in the file's encoding\n" + where +
                        "6: skipped: a control character in a field\n" + where +
                        "7: skipped: no region or road name\n" + "jasokit addrdb: " + m_dir.File("bad.db") +
                        ": 1 rows, 5 skipped\n");

  test::WriteBytes(m_dir.File("other.txt"), "zipcode,province\n1,2\n");
  test::WriteBytes(m_dir.File("empty.txt"), kCurrentHeader);
  for (const char* name : {"other.txt", "empty.txt"}) {
    FakeIo refused;
    EXPECT_EQ(Jasokit(refused, {"addrdb", "build", m_dir.File(name), "-o", m_dir.File("x.db")}), 2) << name;
    EXPECT_NE(refused.err.find(name), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("x.db")));
  }
}

#ifndef _WIN32
// The same source twice, and a building listed twice, are merged and
// counted; a text past 255 bytes is cut before a character; a temporary
// file an ended build left is removed, one a live build holds is not.
TEST_F(AddrDbTest, DuplicatesMergedLongTextsCutStaleTempsRemoved) {
  const std::size_t first = kCurrentRows.find('\n') + 1;
  const std::string row = kCurrentRows.substr(first, kCurrentRows.find('\n', first) + 1 - first);
  std::string longName = "a";
  for (int k = 0; k < 100; ++k) longName += "가";  // 301 bytes
  std::string longRow = row;
  longRow.replace(longRow.find("강남파이낸스센터"), std::string("강남파이낸스센터").size(), longName);
  longRow.replace(longRow.find("|152|"), 5, "|153|");
  test::WriteBytes(m_dir.File("twice.txt"), std::string(kCurrentHeader) + row + row + longRow);
  const std::string stale = m_dir.File(".d.db.Ab3dE9"), held = m_dir.File(".d.db.Zz9yX8");
  test::WriteBytes(stale, "JKADDRDB");
  test::WriteBytes(held, "JKADDRDB");
  for (const std::string& file : {stale, held}) {
    std::filesystem::last_write_time(file, std::filesystem::last_write_time(file) - std::chrono::minutes(5));
  }
  const int holder = ::open(held.c_str(), O_RDONLY);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  FakeIo io;
  ASSERT_EQ(
      Jasokit(io, {"addrdb", "build", m_dir.File("twice.txt"), m_dir.File("twice.txt"), "-o", m_dir.File("d.db")}), 0);
  EXPECT_EQ(io.err,
            "jasokit addrdb: warning: 2 texts longer than 255 bytes cut to fit, before a character\n"
            "jasokit addrdb: " +
                m_dir.File("d.db") + ": 2 rows, 0 skipped, 4 duplicate rows merged\n");
  EXPECT_FALSE(std::filesystem::exists(stale));
  EXPECT_TRUE(std::filesystem::exists(held));
  ::close(holder);
  AddressDatabase db;
  ASSERT_EQ(db.Open(m_dir.File("d.db")), AddressDbStatus::Ok);
  EXPECT_EQ(db.Info().merged, 4u);
  const std::vector<AddressMatch> found = db.Lookup("테헤란로 152").matches;  // 152 first, then its road
  EXPECT_EQ(std::count_if(found.begin(), found.end(),
                          [](const AddressMatch& f) { return f.address.find("테헤란로 152") != std::string::npos; }),
            1);
  const AddressMatch m = db.Lookup("테헤란로 153").matches.at(0);
  EXPECT_EQ(m.building, longName.substr(0, 1 + 84 * 3));
}
#endif

#ifndef JASOKIT_NO_LIBZIP
// A zip that gives no row keeps the database it would replace, and says
// what it holds instead.
TEST_F(AddrDbTest, ASourceWithNoRowKeepsTheDatabase) {
  const std::string kept = test::ReadBytes(Db());
  WriteZip(m_dir.File("csvonly.zip"), {{"seoul.csv", "a,b\n"}, {"안내.pdf", "%PDF"}});
  WriteZip(m_dir.File("skipped.zip"), {{"seoul.txt", std::string(kCurrentHeader) + "06236|too|few\n"}});
  WriteZip(m_dir.File("forged.zip"), {{"x\nrows\t999.txt", "a,b\n"}});
  const std::pair<const char*, std::string> cases[] = {
      {"csvonly.zip", "jasokit addrdb: " + m_dir.File("csvonly.zip") + ": no valid row: the zip holds no .txt file\n" +
                          "jasokit addrdb: " + m_dir.File("csvonly.zip") + " holds: seoul.csv, 안내.pdf\n"},
      {"skipped.zip",
       "jasokit addrdb: skipped.zip: seoul.txt:2: skipped: a wrong number of columns\n"
       "jasokit addrdb: skipped.zip: seoul.txt: no valid row\n"
       "jasokit addrdb: " +
           m_dir.File("skipped.zip") + " holds: seoul.txt\n"},
      {"forged.zip",
       "jasokit addrdb: forged.zip: x\\x0Arows\\x09999.txt: not a Korea Post postcode file (its first "
       "line is not the header of the current or the 2013 layout)\n"
       "jasokit addrdb: " +
           m_dir.File("forged.zip") + " holds: x\\x0Arows\\x09999.txt\n"},
  };
  for (const auto& [name, err] : cases) {
    FakeIo io;
    EXPECT_EQ(Jasokit(io, {"addrdb", "build", m_dir.File(name), "-o", Db()}), 2) << name;
    EXPECT_EQ(io.err, err + "jasokit addrdb: " + Db() + " not written\n");
    EXPECT_EQ(test::ReadBytes(Db()), kept) << name;
  }
}
#endif

// A 2013 text is warned of; a name with a line break stays one line of the
// database's info.
TEST_F(AddrDbTest, OldLayoutWarnsAndNamesCannotForgeTheInfo) {
  test::WriteBytes(m_dir.File("sejong.txt"), k2013Rows);
  FakeIo io;
  ASSERT_EQ(Jasokit(io, {"addrdb", "build", m_dir.File("sejong.txt"), "-o", m_dir.File("s.db")}), 0);
  EXPECT_EQ(io.err,
            "jasokit addrdb: warning: sejong.txt: the 2013 layout: its postcodes are the six-digit ones abolished in "
            "2015, kept as old postcodes; current postcodes need a current file\n"
            "jasokit addrdb: " +
                m_dir.File("s.db") + ": 2 rows, 0 skipped\n");
  AddressDbBuilder builder;
  ASSERT_TRUE(builder.BeginText(Cp949(k2013Header)));
  ASSERT_EQ(builder.AddLine(Cp949("339831|081|세종특별자치시|Sejong-si|||금남면|Geumnam-myeon|5|감성길|Gamseong-gil|0|"
                                  "32|0|5|||6||감성리|0|44|01|0\r\n"),
                            2),
            "");
  const AddressTextCounts counts = builder.EndText("x\nrows\t999999999\nedition\t2099-01-01", "2013-06-04");
  EXPECT_TRUE(counts.oldLayout);
  EXPECT_EQ(counts.currentPostcodes, 0u);
  std::string image;
  ASSERT_TRUE(builder.Write([&](std::string_view bytes) {
    image += bytes;
    return true;
  }));
  AddressDatabase db;
  ASSERT_EQ(db.OpenBytes(image), AddressDbStatus::Ok);
  const AddressDbInfo info = db.Info();
  EXPECT_EQ(info.rows, 1u);
  EXPECT_EQ(info.currentPostcodeRows, 0u);
  EXPECT_EQ(info.newestEdition, "2013-06-04");
  EXPECT_EQ(info.sources, std::vector<std::string>{"x\\x0Arows\\x09999999999\\x0Aedition\\x092099-01-01 (edition "
                                                   "2013-06-04, 2013 layout): 1 rows, 0 skipped"});
}

TEST(AddressDbBuilderTest, BuildsInMemoryAndCountsWhatItSkips) {
  AddressDbBuilder builder;
  EXPECT_FALSE(builder.BeginText("zipcode,province\n"));
  ASSERT_TRUE(builder.BeginText(kCurrentHeader));
  std::size_t line = 1;
  for (std::size_t at = kCurrentRows.find('\n') + 1; at < kCurrentRows.size(); at = kCurrentRows.find('\n', at) + 1) {
    EXPECT_EQ(builder.AddLine(kCurrentRows.substr(at, kCurrentRows.find('\n', at) + 1 - at), ++line), "");
  }
  EXPECT_EQ(builder.AddLine("06236|too|few\r\n", 6), "a wrong number of columns");
  EXPECT_EQ(builder.SkipOverLong(7), "a wrong number of columns");
  const AddressTextCounts counts = builder.EndText("seoul.txt", "2023-01-01");
  EXPECT_EQ(counts.rows, 4u);
  EXPECT_EQ(counts.skipped, 2u);
  ASSERT_EQ(counts.firstSkipped.size(), 2u);
  EXPECT_EQ(counts.firstSkipped[1].line, 7u);
  const std::string bytes = test::BuiltBytes(builder);
  AddressDatabase db;
  ASSERT_EQ(db.OpenBytes(bytes), AddressDbStatus::Ok);
  EXPECT_EQ(db.Lookup("06236").matches.size(), 2u);
  EXPECT_EQ(db.Info().sources,
            std::vector<std::string>{"seoul.txt (edition 2023-01-01, current layout): 4 rows, 2 skipped"});
}

// Thirty roads of one name, each with a building 1: all hash to one bucket
// and spill over the next ones, and each address still finds its own.
TEST(AddressDbBuilderTest, BuildingsOfOneRoadNameAndNumberEachFoundInTheirCity) {
  const char* const syllables[] = {"가", "나", "다", "라", "마", "바"};
  std::vector<std::string> cities;
  for (const char* a : syllables) {
    for (const char* b : {"천", "산", "주", "원", "포"}) cities.push_back(std::string(a) + b + "시");
  }
  AddressDbBuilder builder;
  ASSERT_TRUE(builder.BeginText(kCurrentHeader));
  for (std::size_t k = 0; k < cities.size(); ++k) {
    const std::string postcode = std::to_string(10100 + k);
    const std::string line = postcode + "|경기도|Gyeonggi-do|" + cities[k] + "|City" + std::to_string(k) +
                             "-si|||1|중앙로|Jungang-ro|0|1|0|" + std::to_string(k) + "|||1|중앙동||중앙동|0|" +
                             std::to_string(k + 1) + "|01|0||\n";
    ASSERT_EQ(builder.AddLine(line, k + 2), "") << line;
  }
  builder.EndText("gyeonggi.txt", "2026-01-01");
  const std::string bytes = test::BuiltBytes(builder);
  AddressDatabase db;
  ASSERT_EQ(db.OpenBytes(bytes), AddressDbStatus::Ok);
  Options options;
  options.style = Style::Official;
  options.database = &db;
  for (std::size_t k = 0; k < cities.size(); ++k) {
    const Result r = Convert("경기도 " + cities[k] + " 중앙로 1", options);
    ASSERT_TRUE(r.fields) << cities[k];
    EXPECT_EQ(r.fields->source, "database") << cities[k];
    EXPECT_EQ(r.fields->district, "City" + std::to_string(k) + "-si") << cities[k];
    EXPECT_EQ(r.fields->postcode, std::to_string(10100 + k)) << cities[k];
  }
}

TEST_F(AddrDbTest, LookupCommandWritesJsonAndTellsMisses) {
  FakeIo io("아주\n없는로 1\n테헤란로\n");
  EXPECT_EQ(Jasokit(io, {"lookup", "--addrdb", Db(), "--json", "--limit", "1"}), 4);
  EXPECT_EQ(
      io.out,
      "{\"query\":\"아주\",\"matches\":[{\"postcode\":\"16499\",\"address\":\"경기도 수원시 영통구 월드컵로 206 "
      "(아주대학교)\",\"lot\":\"경기도 수원시 영통구 원천동 5\",\"english\":\"206 World cup-ro, Yeongtong-gu, "
      "Suwon-si, Gyeonggi-do\",\"building\":\"아주대학교\",\"old_postcode\":\"443-749\",\"score\":85,"
      "\"matched\":\"building\"}],\"more\":0}\n"
      "{\"query\":\"없는로 1\",\"matches\":[],\"more\":0}\n"
      "{\"query\":\"테헤란로\",\"matches\":[{\"postcode\":\"06236\",\"address\":\"서울특별시 강남구 테헤란로 152 "
      "(강남파이낸스센터)\",\"lot\":\"서울특별시 강남구 역삼동 737\",\"english\":\"152 Teheran-ro, Gangnam-gu, Seoul\","
      "\"building\":\"강남파이낸스센터\",\"old_postcode\":\"135-984\",\"score\":80,\"matched\":\"road\"}],"
      "\"more\":1}\n");
  // The fixture's newest edition is of 2013: one warning, then the miss.
  const std::string warning =
      "jasokit lookup: warning: " + Db() + ": the address database's newest edition is 2013-06-04, ";
  EXPECT_EQ(io.err.substr(0, warning.size()), warning);
  EXPECT_EQ(io.err.substr(io.err.find('\n') + 1), "'없는로 1': 찾지 못했습니다.\n");

  // Bad input: a clear status, and no control byte echoed.
  struct Bad {
    std::vector<std::string> args;
    int status;
    std::string err;
  };
  const Bad bad[] = {
      {{"  "}, 2, "jasokit lookup: an empty query\n"},
      {{std::string(1025, 'a')}, 2, "jasokit lookup: a query of 1025 bytes is too long (at most 1024)\n"},
      {{"없는\x1b[31m로 1"}, 4, "'없는\\x1B[31m로 1': 찾지 못했습니다.\n"},
      {{"--limit", "0", "테헤란로"}, 2, "jasokit lookup: --limit needs a number of matches from 1 on, not '0'\n"},
      {{"135-984"}, 0, ""},
  };
  for (const Bad& b : bad) {
    FakeIo one;
    std::vector<std::string> args = {"lookup", "--addrdb", Db()};
    args.insert(args.end(), b.args.begin(), b.args.end());
    EXPECT_EQ(Jasokit(one, args), b.status) << b.args.back();
    const bool aged = one.err.rfind("jasokit lookup: warning: ", 0) == 0;
    EXPECT_EQ(aged ? one.err.substr(one.err.find('\n') + 1) : one.err, b.err) << b.args.back();
  }

  test::SetEnv("JASOKIT_ADDRDB", m_dir.File("none.db"));
  FakeIo none;
  EXPECT_EQ(Jasokit(none, {"lookup", "06236"}), 1);
  EXPECT_EQ(none.err,
            "jasokit lookup: no address database; download Korea Post's postcode files (\"우편번호 DB\") and build "
            "one with\n  jasokit addrdb build SOURCE... --install\n");
  FakeIo rules;
  EXPECT_EQ(Jasokit(rules, {"convert", "--style", "official", "--json", "서울 강남구 테헤란로 152"}), 0);
  EXPECT_NE(rules.out.find("\"source\":\"rules\""), std::string::npos) << rules.out;
  test::UnsetEnv("JASOKIT_ADDRDB");
}

#ifndef _WIN32  // a mapped file cannot be cut short there
// Whatever happens to the file under an open database, no read crashes; a
// file cut short or written over in place gives no answers from the data
// (Changed, the rules with a warning), one replaced by rename stays sound.
TEST_F(AddrDbTest, SurvivesItsFileCutShortOrWrittenOver) {
  const AddressDbFaultGuard guard;
  const std::string good = test::ReadBytes(Db());
  FakeIo io;
  ASSERT_EQ(Jasokit(io, {"addrdb", "build", m_dir.File("seoul.txt"), "-o", m_dir.File("seoul.db")}), 0) << io.err;
  const std::string seoulOnly = test::ReadBytes(m_dir.File("seoul.db"));
  const std::string path = Db();
  struct Case {
    const char* what;
    std::function<void()> change;
    AddressDbStatus status;
  };
  const Case cases[] = {
      {"cut to nothing", [&] { ASSERT_EQ(::truncate(path.c_str(), 0), 0); }, AddressDbStatus::Changed},
      {"cut after its header", [&] { ASSERT_EQ(::truncate(path.c_str(), 300), 0); }, AddressDbStatus::Changed},
      {"written over", [&] { test::WriteBytes(path, seoulOnly); }, AddressDbStatus::Changed},
      {"replaced by rename", [&] { ASSERT_EQ(std::rename(m_dir.File("seoul.db").c_str(), path.c_str()), 0); },
       AddressDbStatus::Ok},
  };
  for (const Case& c : cases) {
    test::WriteBytes(path, good);
    AddressDatabase db;
    ASSERT_EQ(db.Open(path), AddressDbStatus::Ok);
    c.change();
    const bool changed = c.status == AddressDbStatus::Changed;
    const AddressLookupResult found = db.Lookup("테헤란로 152");
    EXPECT_EQ(found.status, c.status) << c.what;
    EXPECT_EQ(found.matches.empty(), changed) << c.what;
    Options options;
    options.style = Style::Official;
    options.database = &db;
    const Result r = Convert("서울 강남구 테헤란로 152", options);
    EXPECT_EQ(r.output, changed ? "152 Teheran-ro, Gangnam-gu, Seoul, Republic of Korea"
                                : "152 Teheran-ro, Gangnam-gu, Seoul, 06236, Republic of Korea")
        << c.what;
    ASSERT_EQ(r.warnings.size(), changed ? 1u : 0u) << c.what;
    if (changed) EXPECT_EQ(r.warnings[0].code, "database-changed");
    EXPECT_EQ(db.Check(), c.status) << c.what;
  }
  // The file now in place opens as it is.
  AddressDatabase db;
  ASSERT_EQ(db.Open(path), AddressDbStatus::Ok);
  EXPECT_FALSE(db.Lookup("테헤란로 152").matches.empty());
}

volatile sig_atomic_t g_faultsPassedOn = 0;

void CountFault(int, siginfo_t*, void*) { g_faultsPassedOn = g_faultsPassedOn + 1; }

// A fault that is no database's goes where it went before the guard, and
// the guard's end puts the old handler back.
TEST(AddressDbFaultGuardTest, PassesOtherFaultsOnAndPutsTheHandlerBack) {
  struct sigaction counting {
  }, before{}, after{};
  counting.sa_sigaction = CountFault;
  counting.sa_flags = SA_SIGINFO;
  sigemptyset(&counting.sa_mask);
  ASSERT_EQ(sigaction(SIGBUS, &counting, &before), 0);
  {
    const AddressDbFaultGuard outer;
    const AddressDbFaultGuard inner;
    raise(SIGBUS);
  }
  EXPECT_EQ(g_faultsPassedOn, 1);
  sigaction(SIGBUS, &before, &after);
  EXPECT_EQ(after.sa_sigaction, &CountFault);
}
#endif

}  // namespace
}  // namespace jasokit
