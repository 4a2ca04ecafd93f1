// The zip code table: record cutting, loading, the index and the list lines.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "romanize/cp949.h"
#include "test-util.h"
#include "zipcode/zip_database.h"

using namespace jasokit::detail;  // the steps under test

namespace jasokit {
namespace {

namespace fs = std::filesystem;
using test::Cp;
using test::TempDir;

// The write is checked: a missing file would make later failures misleading.
void WriteBytes(const fs::path& path, const std::string& bytes) {
  test::WriteBytes(path, bytes);
  ASSERT_TRUE(fs::exists(path)) << path;
}

std::string Pad(std::string text, std::size_t width) {
  text.resize(width, ' ');
  return text;
}

// One raw 90-byte record; the field texts are placed as given and space-filled.
std::string RawRecord(const std::string& zip, const std::string& province, const std::string& district,
                      const std::string& locality, const std::string& detail, char flag = ' ') {
  std::string r(1, flag);
  r += Pad(zip, 7);
  r += Pad(province, 4);
  r += Pad(district, 13);
  r += Pad(locality, 43);
  r += Pad(detail, 17);
  r += Pad("1", 5);
  EXPECT_EQ(r.size(), kZipRecordBytes);
  return r;
}

// A table file: an arbitrary header (the loader never reads it), the records,
// then whatever trailer is given.
std::string TableBytes(const std::vector<std::string>& records, const std::string& trailer = "\x1A") {
  std::string bytes(kZipHeaderBytes, 'H');
  for (const std::string& r : records) bytes += r;
  return bytes + trailer;
}

std::vector<ZipRecord> Hits(const ZipDatabase& db, const std::string& text) {
  std::vector<ZipRecord> out;
  const auto range = db.FindAll(text);
  for (const ZipRecordView& r : range) out.push_back(r.ToRecord());
  return out;
}

TEST(ZipKeyHashTest, MatchesLookup2WithInitialValue103) {
  const struct {
    std::string key;
    std::uint32_t hash;
  } kCases[] = {
      {"abc", 0x8DAC475Fu},
      {"", 0xA74805BCu},
      {"a", 0x38B6DD13u},
      {"abcdefghijk", 0xD38929DAu},   // 11: the tail reaches c
      {"abcdefghijkl", 0x1C4732BEu},  // exactly one block
      {"abcdefghijklm", 0x3B57DF06u},
      {"\x80\x81\x82\x83\x84\x85\x86\x87\x88\x89\x8a\x8b\x8c\x8d\x8e\x8f\x90\x91\x92\x93\x94\x95\x96",
       0x503A1599u},  // high bytes must not sign-extend
      {std::string(24, '\xff'), 0x2C7E4920u},
      {"\xbf\xaa\xbb\xef\xb5\xbf", 0xC989A303u},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(ZipKeyHash(c.key), c.hash) << "key of " << c.key.size() << " bytes";
  }
}

TEST(ZipRecordTest, LocalityCutRule) {
  const std::string name = Cp("역삼동");
  const std::string text42 = Cp("가나다라마바사아자차카타파하가나다라마바사");  // 42 bytes
  const std::string text43 = Cp("가나다라마바사아자차") + " " + Cp("카타파하가나다라마바사");
  ASSERT_EQ(text42.size(), 42u);
  ASSERT_EQ(text43.size(), 43u);
  const struct {
    std::string field;
    std::string locality;
  } kCases[] = {
      {Pad(name, 43), name},
      {Pad(name + " " + Cp("연세대학교"), 43), name + " " + Cp("연세대학교")},  // words kept
      {text42 + " ", text42},                                                   // trailing space lost
      {text43, Cp("가나다라마바사아자차")},                                     // cut at the last space
      {std::string(43, 'x'), std::string(43, 'x')},                             // no space: whole
      {Pad("a b c", 43), "a b c"},
      {std::string(43, ' '), ""},
      {Pad("  " + name, 43), ""},
      {Pad(" " + name, 43), " " + name},  // a single leading space stays
      {Pad(name + "  x", 43), name},      // first run of two wins over later text
  };
  for (const auto& c : kCases) {
    ASSERT_EQ(c.field.size(), 43u);
    EXPECT_EQ(CutLocality(c.field), c.locality) << c.field;
    const ZipRecord r = CutZipRecord(RawRecord("1", "2", "3", c.field, "4").c_str()).ToRecord();
    EXPECT_EQ(r.locality, c.locality);
  }
}

// The index's one-pass cut agrees with the cut of the field's text.
TEST(ZipRecordTest, KeyLengthAgreesWithTheCut) {
  std::mt19937 rng(43);
  const char kBytes[] = {' ', ' ', ' ', '\0', 'a', '\xb0', '\xa1'};
  for (int n = 0; n < 20000; ++n) {
    std::string field(kZipLocalityBytes, ' ');
    for (char& c : field) c = kBytes[rng() % sizeof kBytes];
    EXPECT_EQ(LocalityKeyLength(field.data()), CutLocality(FieldText(field.data(), field.size())).size()) << field;
  }
}

TEST(ZipRecordTest, OtherFieldsKeepTheirPaddingAndStopAtNul) {
  const ZipRecord r =
      CutZipRecord(RawRecord("135-080", Cp("서울"), Cp("강남구"), Cp("역삼동"), "1~200", '*').c_str()).ToRecord();
  EXPECT_EQ(r.zipCode, "135-080");
  EXPECT_EQ(r.province, Cp("서울"));
  EXPECT_EQ(r.district, Cp("강남구") + std::string(7, ' '));
  EXPECT_EQ(r.district.size(), 13u);
  EXPECT_EQ(r.locality, Cp("역삼동"));
  EXPECT_EQ(r.detail, Pad("1~200", 17));

  std::string raw = RawRecord("1234567", "ab", "c", std::string("d\0  e f", 7), "x");
  raw[1 + 2] = '\0';
  const ZipRecord n = CutZipRecord(raw.c_str()).ToRecord();
  EXPECT_EQ(n.zipCode, "12");
  EXPECT_EQ(n.province, "ab  ");
  EXPECT_EQ(n.locality, "d");
}

class ZipLoadTest : public ::testing::Test {
 protected:
  ZipDatabase LoadRecords(const std::vector<std::string>& records, const std::string& trailer = "\x1A") {
    WriteBytes(m_dir.File("t.dbf"), TableBytes(records, trailer));
    ZipDatabase db;
    db.Load(m_dir.File("t.dbf"));
    return db;
  }
  TempDir m_dir;
};

TEST_F(ZipLoadTest, FindsEveryRecordOfAName) {
  const std::string jung = Cp("중앙동");
  const ZipDatabase db = LoadRecords({
      RawRecord("600-011", Cp("부산"), Cp("중구"), jung, ""),
      RawRecord("135-080", Cp("서울"), Cp("강남구"), Cp("역삼동"), ""),
      RawRecord("560-010", Cp("전북"), Cp("전주시 완산구"), jung, ""),
      RawRecord("550-010", Cp("전남"), Cp("여수시"), jung, "", '*'),  // deleted: still loaded
  });
  EXPECT_EQ(db.size(), 4u);
  std::set<std::string> provinces;
  for (const ZipRecord& r : Hits(db, jung)) provinces.insert(r.province);
  EXPECT_EQ(provinces, (std::set<std::string>{Cp("부산"), Cp("전북"), Cp("전남")}));
  EXPECT_EQ(Hits(db, Cp("역삼동")).size(), 1u);

  // Exact match only: no trimming, no prefix, no suffix.
  for (const std::string& miss : {jung + " ", " " + jung, Cp("중앙"), Cp("중앙동1"), std::string()}) {
    EXPECT_TRUE(db.FindAll(miss).empty()) << miss;
  }
}

TEST_F(ZipLoadTest, EmptyLocalityIsFoundByTheEmptyText) {
  const ZipDatabase db = LoadRecords({
      RawRecord("100-001", Cp("서울"), Cp("중구"), "", ""),
      RawRecord("100-002", Cp("서울"), Cp("중구"), "  " + Cp("명동"), ""),
      RawRecord("100-003", Cp("서울"), Cp("중구"), Cp("명동"), ""),
  });
  const auto hits = Hits(db, "");
  ASSERT_EQ(hits.size(), 2u);
  EXPECT_TRUE(hits[0].locality.empty());
  EXPECT_TRUE(hits[1].locality.empty());
}

TEST_F(ZipLoadTest, ShortFileLoadsOnlyItsCompleteRecords) {
  std::vector<std::string> records;
  for (int i = 0; i < 3; ++i) records.push_back(RawRecord("1", "p", "d", "n" + std::to_string(i), ""));
  const std::string partial = RawRecord("1", "p", "d", "partial", "").substr(0, 60);
  EXPECT_EQ(LoadRecords(records, partial).size(), 3u);
  EXPECT_TRUE(Hits(LoadRecords(records, partial), "partial").empty());
  EXPECT_EQ(LoadRecords(records, "").size(), 3u);
  EXPECT_EQ(LoadRecords({}, "").size(), 0u);  // header only

  for (std::size_t bytes : {0u, 1u, 224u}) {
    WriteBytes(m_dir.File("tiny.dbf"), std::string(bytes, ' '));
    ZipDatabase db;
    db.Load(m_dir.File("tiny.dbf"));
    EXPECT_EQ(db.size(), 0u) << bytes;
    EXPECT_EQ(detail::ZipDatabaseSeam::ImageBytes(db), bytes);
  }
}

TEST_F(ZipLoadTest, BytesAfterTheLastRecordAreIgnored) {
  std::string bytes(kZipHeaderBytes, '\0');
  bytes.reserve(kZipTableBytes + 3 * kZipRecordBytes);
  for (std::size_t i = 0; i < kZipRecordCount + 2; ++i) {
    bytes += RawRecord("1", "p", "d", "n" + std::to_string(i), "");
  }
  bytes += '\x1A';
  WriteBytes(m_dir.File("long.dbf"), bytes);
  ZipDatabase db;
  db.Load(m_dir.File("long.dbf"));
  EXPECT_EQ(db.size(), kZipRecordCount);
  EXPECT_EQ(detail::ZipDatabaseSeam::ImageBytes(db), kZipTableBytes);  // nothing after the last record is needed
  EXPECT_EQ(Hits(db, "n0").size(), 1u);
  EXPECT_EQ(Hits(db, "n" + std::to_string(kZipRecordCount - 1)).size(), 1u);
  EXPECT_TRUE(Hits(db, "n" + std::to_string(kZipRecordCount)).empty());
}

TEST_F(ZipLoadTest, LoadingAgainReplacesTheTable) {
  WriteBytes(m_dir.File("a.dbf"), TableBytes({RawRecord("1", "p", "d", "a", ""), RawRecord("2", "p", "d", "a", "")}));
  WriteBytes(m_dir.File("b.dbf"), TableBytes({RawRecord("3", "p", "d", "b", "")}));
  ZipDatabase db;
  db.Load(m_dir.File("a.dbf"));
  db.Load(m_dir.File("b.dbf"));
  EXPECT_EQ(db.size(), 1u);
  EXPECT_TRUE(Hits(db, "a").empty());
  EXPECT_EQ(Hits(db, "b").size(), 1u);
}

TEST_F(ZipLoadTest, PathIsUtf8) {
  // A folder with Korean letters, as users and unpacked zips have them.
  const std::filesystem::path folder = m_dir.path() / std::filesystem::u8path("우편 번호");
  std::filesystem::create_directory(folder);
  WriteBytes(folder / "t.dbf", TableBytes({RawRecord("1", "p", "d", "a", "")}));
  ZipDatabase db;
  EXPECT_EQ(db.Load((folder / "t.dbf").u8string()), ZipLoadStatus::Ok);
  EXPECT_EQ(db.size(), 1u);
}

TEST_F(ZipLoadTest, DuplicateRowsAreAllFound) {
  const std::string row = RawRecord("100-001", "a", "b", "c", "d");
  const ZipDatabase db = LoadRecords({row, row, RawRecord("100-002", "a", "b", "x", "d")});
  EXPECT_EQ(db.size(), 3u);
  EXPECT_EQ(Hits(db, "c").size(), 2u);
  EXPECT_EQ(Hits(db, "x").size(), 1u);
}

TEST_F(ZipLoadTest, SearchLinesAreSortedAndKeepDuplicates) {
  const std::string jung = Cp("중앙동");
  const std::string row = RawRecord("550-010", Cp("전남"), Cp("여수시"), jung, "");
  const ZipDatabase db = LoadRecords({
      RawRecord("642-020", Cp("경남"), Cp("창원시 성산구"), jung, Cp("중앙빌딩")),
      row,
      RawRecord("135-080", Cp("서울"), Cp("강남구"), Cp("역삼동"), ""),
      row,
      RawRecord("100-010", Cp("서울"), Cp("중구"), jung + " " + Cp("상가"), ""),
  });
  const std::string yeosu =
      "550-010 " + Cp("전남") + " " + Cp("여수시") + std::string(7, ' ') + " " + jung + " " + std::string(17, ' ');
  const std::string changwon =
      "642-020 " + Cp("경남") + " " + Cp("창원시 성산구") + " " + jung + " " + Pad(Cp("중앙빌딩"), 17);
  EXPECT_EQ(FormatSearchLines(db, jung), (std::vector<std::string>{yeosu, yeosu, changwon}));
  // A 6-byte district: 7 bytes of padding and the separator.
  EXPECT_EQ(yeosu.substr(19, 9), std::string(8, ' ') + jung.substr(0, 1));
  EXPECT_TRUE(FormatSearchLines(db, jung + " ").empty());
  EXPECT_EQ(FormatSearchLines(db, jung + " " + Cp("상가")).size(), 1u);
}

TEST(ListLineToAddressTest, DropsTheZipCodeAndCollapsesSpaces) {
  const struct {
    std::string line;
    std::string address;
  } kCases[] = {
      {"", ""},
      {"135-080", ""},
      {"135-080 ", ""},
      {"135-080 x", "x"},
      {"135-080 a  b   c    d", "a b c d"},
      {"135-080 a" + std::string(16, ' ') + "b", "a b"},
      {"135-080 a" + std::string(17, ' ') + "b", "a  b"},  // four passes: ceil(17/16)
      {"135-080 a" + std::string(33, ' ') + "b", "a   b"},
      {"135-080  lead", " lead"},
      {"135-080 " + Cp("서울 강남구") + std::string(8, ' ') + Cp("역삼동") + std::string(16, ' '),
       Cp("서울 강남구 역삼동 ")},
  };
  for (const auto& c : kCases) EXPECT_EQ(ListLineToAddress(c.line), c.address) << c.line;
}

// Every failure is a status with its exact message; the table is left empty.
TEST(ZipLoadMessageTest, EveryStatusHasItsMessage) {
  const struct {
    ZipLoadStatus status;
    const char* message;
  } kCases[] = {
      {ZipLoadStatus::Ok, ""},
      {ZipLoadStatus::NoFileName, "stat function failed"},
      {ZipLoadStatus::StatFailed, "stat function failed"},
      {ZipLoadStatus::IsDirectory, "db file open failed"},
      {ZipLoadStatus::NotRegularFile, "db file open failed"},
      {ZipLoadStatus::OpenFailed, "db file open failed"},
      {ZipLoadStatus::OutOfMemory, "Not enough memory"},
  };
  for (const auto& c : kCases) EXPECT_STREQ(ZipLoadMessage(c.status), c.message);
}

TEST_F(ZipLoadTest, MissingFileFailsTheStatusQuery) {
  ZipDatabase db;
  EXPECT_EQ(db.Load(m_dir.File("none.dbf")), ZipLoadStatus::StatFailed);
  EXPECT_EQ(db.Load(""), ZipLoadStatus::NoFileName);
}

TEST_F(ZipLoadTest, StatusPassesButOpenFails) {
  fs::create_directory(m_dir.File("dir.dbf"));
  ZipDatabase db;
  EXPECT_EQ(db.Load(m_dir.File("dir.dbf")), ZipLoadStatus::IsDirectory);
#ifdef _WIN32
  GTEST_SKIP() << "sockets and FIFOs in the file system are POSIX";
#else
  // Neither a socket nor a FIFO is read: a FIFO with no writer would block.
  const std::string path = m_dir.File("socket.dbf");
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof addr.sun_path);
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0);
  EXPECT_EQ(db.Load(path), ZipLoadStatus::NotRegularFile);
  close(fd);
  ASSERT_EQ(mkfifo(m_dir.File("fifo.dbf").c_str(), 0600), 0);
  EXPECT_EQ(db.Load(m_dir.File("fifo.dbf")), ZipLoadStatus::NotRegularFile);
#endif
}

TEST_F(ZipLoadTest, UnreadableFileCannotBeOpened) {
  const std::string path = m_dir.File("locked.dbf");
  WriteBytes(path, TableBytes({}));
  fs::permissions(path, fs::perms::none);
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    std::fclose(f);
    GTEST_SKIP() << "file permissions do not stop this user (root); covered by the directory case";
  }
  ZipDatabase db;
  EXPECT_EQ(db.Load(path), ZipLoadStatus::OpenFailed);
}

TEST_F(ZipLoadTest, FailureLeavesTheTableEmpty) {
  ZipDatabase db = LoadRecords({RawRecord("1", "p", "d", "n", "")});
  ASSERT_EQ(db.size(), 1u);
  EXPECT_EQ(db.Load(m_dir.File("none.dbf")), ZipLoadStatus::StatFailed);
  EXPECT_EQ(db.size(), 0u);
  EXPECT_TRUE(db.FindAll("n").empty());
}

// In a child whose address space leaves no room for the image.
TEST_F(ZipLoadTest, ImageThatCannotBeAllocated) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer reserves the address space itself";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  GTEST_SKIP() << "the address sanitizer reserves the address space itself";
#endif
#endif
#ifdef _WIN32
  GTEST_SKIP() << "an address-space limit (setrlimit) is POSIX";
#else
  const std::string path = m_dir.File("full.dbf");
  WriteBytes(path, std::string(kZipTableBytes, ' '));
  EXPECT_EXIT(
      {
        ZipDatabase db;
        rlimit lim{};
        getrlimit(RLIMIT_AS, &lim);
        // What the process has mapped now, plus far less than a table.
        std::ifstream statm("/proc/self/statm");
        std::size_t pages = 0;
        statm >> pages;
        const rlim_t limit = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (1u << 20);
        lim.rlim_cur = limit;
        setrlimit(RLIMIT_AS, &lim);
        std::exit(static_cast<int>(db.Load(path)));
      },
      ::testing::ExitedWithCode(static_cast<int>(ZipLoadStatus::OutOfMemory)), "");
#endif
}

TEST_F(ZipLoadTest, ParseReadsBytesInMemory) {
  const std::string bytes = TableBytes({RawRecord("135-080", Cp("서울"), Cp("강남구"), Cp("역삼동"), ""),
                                        RawRecord("100-011", Cp("서울"), Cp("중구"), Cp("명동1가"), "")});
  ZipDatabase db;
  ASSERT_EQ(db.Parse(bytes), ZipLoadStatus::Ok);
  EXPECT_EQ(db.size(), 2u);
  EXPECT_EQ(detail::ZipDatabaseSeam::ImageBytes(db), bytes.size());
  ASSERT_EQ(Hits(db, Cp("명동1가")).size(), 1u);
  EXPECT_EQ(Hits(db, Cp("명동1가"))[0].zipCode, "100-011");
  // A short image gives its complete records only.
  ASSERT_EQ(db.Parse(bytes.substr(0, kZipHeaderBytes + kZipRecordBytes + 40)), ZipLoadStatus::Ok);
  EXPECT_EQ(db.size(), 1u);
  EXPECT_TRUE(db.FindAll(Cp("명동1가")).empty());
  ASSERT_EQ(db.Parse(""), ZipLoadStatus::Ok);
  EXPECT_EQ(db.size(), 0u);
}

// Lookups by prefix, by zip code, and the hints for a name with no hit.
TEST(ZipLookupTest, PrefixCodeAndSuggestions) {
  std::tm date{};
  std::vector<ZipRecord> rows = {
      {"135-081", Cp("서울"), Cp("강남구"), Cp("역삼1동"), ""},
      {"135-080", Cp("서울"), Cp("강남구"), Cp("역삼2동"), ""},
      {"135-080", Cp("서울"), Cp("강남구"), Cp("역삼2동"), "x"},
      {"100-011", Cp("서울"), Cp("중구"), Cp("명동1가"), ""},
      {"135-010", Cp("서울"), Cp("강남구"), Cp("논현동"), ""},
      {"999-999", Cp("전남"), Cp("무안군"), Cp("역삼리"), ""},
      {"135-090", Cp("서울"), Cp("강남구"), Cp("역삼"), ""},
      {"135-091", Cp("서울"), Cp("강남구"), Cp("역삼로동"), ""},
  };
  ZipDatabase db;
  ASSERT_EQ(db.Parse(ZipTableWriter(date).Build(rows)), ZipLoadStatus::Ok);

  auto localities = [](const std::vector<ZipRecordView>& records) {
    std::vector<std::string> out;
    for (const ZipRecordView& r : records) out.push_back(test::Utf8(r.locality));
    return out;
  };
  EXPECT_EQ(localities(db.FindPrefix(Cp("역삼"))),
            (std::vector<std::string>{"역삼", "역삼1동", "역삼2동", "역삼2동", "역삼로동", "역삼리"}));
  EXPECT_EQ(localities(db.FindPrefix(Cp("역삼2"))), (std::vector<std::string>{"역삼2동", "역삼2동"}));
  EXPECT_TRUE(db.FindPrefix(Cp("없는")).empty());
  EXPECT_EQ(db.FindPrefix("").size(), rows.size());

  EXPECT_EQ(localities(db.FindZipCode("135-080")), (std::vector<std::string>{"역삼2동", "역삼2동"}));
  EXPECT_TRUE(db.FindZipCode("135-08").empty());  // whole codes only

  const std::vector<std::string> hints = db.SuggestLocalities(Cp("역삼동"));
  std::vector<std::string> hintsUtf8;
  for (const std::string& h : hints) hintsUtf8.push_back(test::Utf8(h));
  // 역삼로동 differs by more than a number: no hint.
  EXPECT_EQ(hintsUtf8, (std::vector<std::string>{"역삼", "역삼1동", "역삼2동", "역삼리"}));
  EXPECT_EQ(db.SuggestLocalities(Cp("역삼동"), 2).size(), 2u);
  EXPECT_EQ(db.SuggestLocalities(Cp("역삼2동")).size(), 3u);  // never the name itself
  EXPECT_TRUE(db.SuggestLocalities(Cp("동")).empty());

  // A new table is sorted anew.
  rows.push_back({"135-083", Cp("서울"), Cp("강남구"), Cp("역삼3동"), ""});
  ASSERT_EQ(db.Parse(ZipTableWriter(date).Build(rows)), ZipLoadStatus::Ok);
  EXPECT_EQ(db.FindPrefix(Cp("역삼3")).size(), 1u);
  EXPECT_EQ(db.FindZipCode("135-083").size(), 1u);
}

// The UTF-8 lookups give what the CP949 ones give, in UTF-8 and list order.
TEST(ZipLookupTest, Utf8FormsOfTheLookups) {
  std::tm date{};
  const std::vector<ZipRecord> rows = {
      {"612-020", Cp("부산"), Cp("해운대구"), Cp("역삼동"), ""},
      {"135-080", Cp("서울"), Cp("강남구"), Cp("역삼동"), "1"},
      {"135-081", Cp("서울"), Cp("강남구"), Cp("역삼1동"), ""},
  };
  ZipDatabase db;
  ASSERT_EQ(db.Parse(ZipTableWriter(date).Build(rows)), ZipLoadStatus::Ok);
  const std::vector<ZipRecord> hits = FindAllUtf8(db, "역삼동");
  ASSERT_EQ(hits.size(), 2u);
  EXPECT_EQ(hits[0].zipCode, "135-080");
  EXPECT_EQ(hits[0].province, "서울");
  EXPECT_EQ(hits[0].district, "강남구" + std::string(7, ' '));
  EXPECT_EQ(hits[0].detail, "1" + std::string(16, ' '));
  EXPECT_EQ(hits[1].locality, "역삼동");
  const std::vector<std::string> lines = FormatSearchLinesUtf8(db, "역삼동");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "135-080 서울 강남구" + std::string(7, ' ') + " 역삼동 1" + std::string(16, ' '));
  EXPECT_EQ(ListLineToAddressUtf8(lines[0]), "서울 강남구 역삼동 1 ");
  EXPECT_EQ(FindPrefixUtf8(db, "역삼").size(), 3u);
  EXPECT_EQ(FindZipCodeUtf8(db, "135-081").at(0).locality, "역삼1동");
  EXPECT_EQ(SuggestLocalitiesUtf8(db, "역삼동"), (std::vector<std::string>{"역삼1동"}));
  // Nothing the table cannot hold is looked for, nor its '?' stand-in.
  for (const char* query : {"\xFF", "역삼동😀"}) {
    EXPECT_TRUE(FindAllUtf8(db, query).empty()) << query;
    EXPECT_TRUE(FormatSearchLinesUtf8(db, query).empty()) << query;
  }
  EXPECT_STREQ(ZipFieldName(ZipField::Locality), "locality");
}

// What the writer makes, the loader gives back unchanged.
TEST(ZipTableWriterTest, RoundTripInMemory) {
  std::tm date{};
  date.tm_year = 103;
  date.tm_mon = 0;
  date.tm_mday = 1;
  const std::vector<ZipRecord> rows = {
      {"135-080", Cp("서울"), Cp("강남구"), Cp("역삼동"), "123-45"},
      {"612-020", Cp("부산"), Cp("해운대구"), Cp("우동"), ""},
      {"100-011", Cp("서울"), Cp("중구"), Cp("명동1가 x"), Cp("아파트")},
      {"135-080", Cp("서울"), Cp("강남구"), Cp("역삼동"), "123-45"},  // twice: two hits
  };
  const std::string table = ZipTableWriter(date).Build(rows);
  ASSERT_EQ(table.size(), kZipHeaderBytes + rows.size() * kZipRecordBytes + 1);
  EXPECT_EQ(table.back(), '\x1A');
  EXPECT_EQ(table.substr(0, 4), std::string("\x03\x67\x01\x01", 4));  // dBASE III, 2003-01-01
  EXPECT_EQ(table.substr(4, 4), std::string("\x04\x00\x00\x00", 4));
  EXPECT_EQ(table[kZipHeaderBytes - 1], '\x0D');
  ZipDatabase db;
  ASSERT_EQ(db.Parse(table), ZipLoadStatus::Ok);
  ASSERT_EQ(db.size(), rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const ZipRecord back = db.record(i).ToRecord();
    EXPECT_EQ(back.zipCode, rows[i].zipCode);
    EXPECT_EQ(back.province, Pad(rows[i].province, kZipProvinceBytes));
    EXPECT_EQ(back.district, Pad(rows[i].district, kZipDistrictBytes));
    EXPECT_EQ(back.locality, rows[i].locality);
    EXPECT_EQ(back.detail, Pad(rows[i].detail, kZipDetailBytes));
  }
  EXPECT_EQ(Hits(db, Cp("역삼동")).size(), 2u);
  EXPECT_EQ(Hits(db, Cp("명동1가 x")).size(), 1u);
}

// A table the user names is asked whether it is one; the sample says so.
TEST(ZipTableWriterTest, LayoutAndSampleMarkAreReadFromTheHeader) {
  const ZipTableWriter writer(std::tm{});
  const std::string table = writer.Build({{"135-080", Cp("서울"), Cp("강남구"), Cp("역삼동"), ""}});
  std::string sample = table;
  MarkZipTableSample(sample);
  EXPECT_EQ(sample.substr(16, 6), "SAMPLE");
  std::string otherRecords = table;
  otherRecords[10] = 91;
  std::string otherField = table;
  otherField[32 + 2 * 32 + 16] = 12;  // the third field, 13 bytes in the layout
  const struct {
    const char* what;
    std::string bytes;
    bool layout;
    bool sample;
  } cases[] = {
      {"written", table, true, false},
      {"marked", sample, true, true},
      {"header only", table.substr(0, kZipHeaderBytes), true, false},
      {"empty", "", false, false},
      {"text", "# README\n" + std::string(400, 'x'), false, false},
      {"other record size", otherRecords, false, false},
      {"other field width", otherField, false, false},
  };
  for (const auto& c : cases) {
    ZipDatabase db;
    ASSERT_EQ(db.Parse(c.bytes), ZipLoadStatus::Ok) << c.what;
    EXPECT_EQ(db.hasTableLayout(), c.layout) << c.what;
    EXPECT_EQ(db.isSample(), c.sample) << c.what;
  }
}

TEST(ZipTableWriterTest, CheckZipValueRefusesWhatTheLoaderWouldChange) {
  struct {
    ZipField field;
    std::string value;
    std::string why;
  } const kCases[] = {
      {ZipField::ZipCode, "135-080", ""},
      {ZipField::ZipCode, "135-0801", "8 bytes in CP949, more than the field's 7"},
      {ZipField::Province, Cp("서울특"), "6 bytes in CP949, more than the field's 4"},
      {ZipField::Detail, "a\tb", "a control character (line breaks and tabs included)"},
      {ZipField::Locality, Cp("명동1가 x"), ""},
      {ZipField::Locality, Cp("명동  x"), "two spaces in a row; the table would cut the name there"},
      {ZipField::Locality, Cp("명동 "), "a trailing space; the table would drop it"},
      {ZipField::Locality, std::string(42, 'x') + " ", "a trailing space; the table would drop it"},
      {ZipField::Locality, std::string(21, 'x') + " " + std::string(21, 'y'),
       "fills all 43 bytes and holds a space; the table would cut it at its last space"},
      {ZipField::Locality, std::string(43, 'x'), ""},
      {ZipField::District, Pad(Cp("강남구"), 13), ""},  // padding is the loader's own
  };
  for (const auto& c : kCases) EXPECT_EQ(CheckZipValue(c.field, c.value), c.why) << c.value;
}

// The full table, when this machine has it.
class RealZipTableTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::string path = std::string(JASOKIT_TEST_DATA_DIR) + "/" + kZipFileName;
    if (!fs::exists(path)) return;
    s_db = new ZipDatabase;
    s_db->Load(path);
  }
  static void TearDownTestSuite() {
    delete s_db;
    s_db = nullptr;
  }
  void SetUp() override {
    if (!s_db) GTEST_SKIP() << "no " << JASOKIT_TEST_DATA_DIR << "/" << kZipFileName;
  }
  static ZipDatabase* s_db;
};
ZipDatabase* RealZipTableTest::s_db = nullptr;

TEST_F(RealZipTableTest, HoldsEveryRecord) { EXPECT_EQ(s_db->size(), kZipRecordCount); }

TEST_F(RealZipTableTest, NamesWithAndWithoutHits) {
  const std::string name = Cp("중앙동");
  const std::vector<std::string> lines = FormatSearchLines(*s_db, name);
  ASSERT_GT(lines.size(), 1u);
  EXPECT_TRUE(std::is_sorted(lines.begin(), lines.end()));
  std::set<std::string> provinces;
  for (const ZipRecord& r : Hits(*s_db, name)) {
    EXPECT_EQ(r.locality, name);
    EXPECT_EQ(r.zipCode.size(), 7u);
    EXPECT_EQ(r.district.size(), 13u);
    provinces.insert(r.province);
  }
  EXPECT_GE(provinces.size(), 3u);
  for (const std::string& line : lines) EXPECT_EQ(line[7], ' ');

  EXPECT_FALSE(FormatSearchLines(*s_db, Cp("역삼동")).empty());
  for (const char* name : {"역삼동 ", " 역삼동", "역삼", "없는이름동"}) {
    EXPECT_TRUE(FormatSearchLines(*s_db, Cp(name)).empty()) << name;
  }
}

}  // namespace
}  // namespace jasokit
