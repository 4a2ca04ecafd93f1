// jasokit zip and jasokit zipdb build, in memory and as the real program.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "address/conversion.h"
#include "cli/cli.h"
#include "fake-io.h"
#include "romanize/cp949.h"
#include "test-util.h"
#include "zipcode/zip_database.h"

using namespace jasokit::detail;  // the steps under test

namespace jasokit::cli {
namespace {

namespace fs = std::filesystem;
using test::Cp;
using test::FakeIo;
using test::ReadBytes;
using test::TempDir;
using test::Utf8;
using test::WriteBytes;

struct Outcome {
  int rc = -1;
  std::string out;
  std::string err;
};

Outcome RunInMemory(const Args& args, const std::string& in = "", const std::string& exeDir = "") {
  FakeIo io(in);
  io.exeDir = exeDir;
  Outcome o;
  o.rc = RunCli(args, io);
  o.out = io.out;
  o.err = io.err;
  return o;
}

#ifdef _WIN32
// cmd.exe's quoting; the tests' arguments hold no quote, % or ^.
std::string ShellQuote(const std::string& s) { return "\"" + s + "\""; }

// The whole line quoted once more: cmd /c takes off the outer quotes. Wide,
// so that the Korean arguments pass whole.
int RunShell(const std::string& command) { return _wsystem(fs::u8path("\"" + command + "\"").wstring().c_str()); }
#else
int RunShell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ShellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'') {
      q += "'\\''";
    } else {
      q += c;
    }
  }
  return q + "'";
}
#endif

// Runs the built jasokit program itself.
Outcome RunProgram(const std::vector<std::string>& args, const TempDir& dir) {
  std::string command = ShellQuote(JASOKIT_CLI_PATH);
  for (const std::string& a : args) command += " " + ShellQuote(a);
  command += " >" + ShellQuote(dir.File("stdout")) + " 2>" + ShellQuote(dir.File("stderr"));
  Outcome o;
  o.rc = RunShell(command);
  o.out = ReadBytes(dir.File("stdout"));
  o.err = ReadBytes(dir.File("stderr"));
  return o;
}

constexpr const char* kHeaderRow = "zipcode,province,district,locality,detail\n";

// Builds a table from CSV text; the build must succeed.
std::string BuildTable(const TempDir& dir, const std::string& csv, const std::string& name = "t.dbf") {
  WriteBytes(dir.File("in.csv"), csv);
  const Outcome o = RunInMemory({"zipdb", "build", dir.File("in.csv"), "-o", dir.File(name)});
  EXPECT_EQ(o.rc, kExitOk) << o.err;
  EXPECT_EQ(o.err, "");
  return dir.File(name);
}

class ZipCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_table = BuildTable(m_dir, std::string(kHeaderRow) +
                                    "642-020,경남,창원시 성산구,중앙동,중앙빌딩\n"
                                    "600-011,부산,중구,중앙동,\n"
                                    "135-080,서울,강남구,역삼동,1~200\n"
                                    "560-010,전북,전주시 완산구,중앙동,\n"
                                    "600-011,부산,중구,중앙동,\n");
  }
  TempDir m_dir;
  std::string m_table;
};

const std::string kBusanLine = "600-011 부산 중구" + std::string(9, ' ') + " 중앙동 " + std::string(17, ' ');
const std::string kJeonjuLine = "560-010 전북 전주시 완산구 중앙동 " + std::string(17, ' ');
const std::string kChangwonLine = "642-020 경남 창원시 성산구 중앙동 중앙빌딩" + std::string(9, ' ');

TEST_F(ZipCommandTest, WritesSortedLinesWithDuplicates) {
  const Outcome o = RunInMemory({"zip", "--db", m_table, "중앙동"});
  EXPECT_EQ(o.rc, kExitOk);
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.out, kJeonjuLine + "\n" + kBusanLine + "\n" + kBusanLine + "\n" + kChangwonLine + "\n");
}

TEST_F(ZipCommandTest, Cp949InAndOut) {
  const Outcome o = RunInMemory({"zip", "--cp949", "--db", m_table, Cp("역삼동")});
  EXPECT_EQ(o.rc, kExitOk);
  EXPECT_EQ(o.out, Cp("135-080 서울 강남구        역삼동 1~200") + std::string(12, ' ') + "\n");

  const Outcome miss = RunInMemory({"zip", "--cp949", "--db", m_table, Cp("역삼")});
  EXPECT_EQ(miss.rc, kExitNotFound);
  // The suggestions are in the output's encoding too.
  EXPECT_EQ(miss.err, Cp("찾지 못했습니다.") + "\n" + "did you mean: " + Cp("역삼동") + "\n");
}

TEST_F(ZipCommandTest, ReportsNamesWithoutHits) {
  const struct {
    Args args;
    std::string out;
    std::string err;
  } kCases[] = {
      {{"zip", "--db", m_table, "역삼동 "}, "", "찾지 못했습니다.\n"},
      {{"zip", "--db", m_table, ""}, "", "찾지 못했습니다.\n"},
      {{"zip", "--db", m_table, "없는동", "역삼동"},
       "135-080 서울 강남구        역삼동 1~200            \n",
       "'없는동': 찾지 못했습니다.\n"},
      {{"zip", "--db", m_table, "\xff"},
       "",
       "jasokit zip: argument 1: invalid UTF-8 or a character with no CP949 form\n"
       "찾지 못했습니다.\n"},
  };
  for (const auto& c : kCases) {
    const Outcome o = RunInMemory(c.args);
    EXPECT_EQ(o.rc, kExitNotFound) << c.args.back();
    EXPECT_EQ(o.out, c.out);
    EXPECT_EQ(o.err, c.err);
  }
}

TEST_F(ZipCommandTest, ConvertWritesTheChosenLinesConversion) {
  const Outcome o = RunInMemory({"zip", "--convert", "--db", m_table, "역삼동"});
  EXPECT_EQ(o.rc, kExitOk);
  const std::string line = Cp("135-080 서울 강남구        역삼동 1~200") + std::string(12, ' ');
  const std::string address = ListLineToAddress(line);
  EXPECT_EQ(address, Cp("서울 강남구 역삼동 1~200 "));
  EXPECT_EQ(o.out, Utf8(line) + "\n\t" + Utf8(ConvertInput(address).output) + "\n");
}

TEST_F(ZipCommandTest, NamesFromStandardInput) {
  const Outcome o = RunInMemory({"zip", "--db", m_table}, "역삼동\r\n없는동\n역삼동");
  EXPECT_EQ(o.rc, kExitNotFound);
  const std::string line = "135-080 서울 강남구        역삼동 1~200            \n";
  EXPECT_EQ(o.out, line + line);
  EXPECT_EQ(o.err, "'없는동': 찾지 못했습니다.\n");
}

TEST_F(ZipCommandTest, OverLongNamesAreMissesWithTheirPlace) {
  const std::string line = "135-080 서울 강남구        역삼동 1~200            \n";
  const std::string atLimit(1024, 'x');
  FakeIo io("역삼동\n" + std::string(5000000, 'x') + "\n" + atLimit + "\r\n" + std::string(1025, 'x') + "\r\n역삼동");
  EXPECT_EQ(RunCli({"zip", "--db", m_table}, io), kExitNotFound);
  EXPECT_EQ(io.out, line + line);
  EXPECT_EQ(io.err,
            "jasokit zip: line 2: more than 1024 bytes, longer than any place name\n"
            "찾지 못했습니다.\n"
            "'" +
                atLimit +
                "': 찾지 못했습니다.\n"
                "jasokit zip: line 4: more than 1024 bytes, longer than any place name\n"
                "찾지 못했습니다.\n");

  const Outcome arg = RunInMemory({"zip", "--db", m_table, std::string(1025, 'x')});
  EXPECT_EQ(arg.rc, kExitNotFound);
  EXPECT_EQ(arg.err,
            "jasokit zip: argument 1: more than 1024 bytes, longer than any place name\n"
            "찾지 못했습니다.\n");
}

TEST_F(ZipCommandTest, DefaultTableIsBesideTheExecutable) {
  fs::copy_file(m_table, m_dir.File(kZipFileName));
  const Outcome o = RunInMemory({"zip", "역삼동"}, "", m_dir.Dir());
  EXPECT_EQ(o.rc, kExitOk) << o.err;
  EXPECT_EQ(o.out, "135-080 서울 강남구        역삼동 1~200            \n");
}

TEST_F(ZipCommandTest, UsageErrors) {
  const struct {
    Args args;
    int rc;
    std::string err;
  } kCases[] = {
      {{"zip", "--bogus", "x"}, kExitUsage, "jasokit zip: unknown option '--bogus'; run 'jasokit zip --help'\n"},
      {{"zip", "x", "--db"}, kExitUsage, "jasokit zip: --db needs a FILE; run 'jasokit zip --help'\n"},
      {{"zip", "--help"}, kExitOk, ""},
  };
  for (const auto& c : kCases) {
    const Outcome o = RunInMemory(c.args);
    EXPECT_EQ(o.rc, c.rc) << c.args[1];
    EXPECT_EQ(o.err, c.err);
  }
  EXPECT_EQ(RunInMemory({"zip", "--help"}).out.rfind("usage: jasokit zip ", 0), 0u);
  // After "--" a leading dash is a name.
  EXPECT_EQ(RunInMemory({"zip", "--db", m_table, "--", "-x"}).err, "찾지 못했습니다.\n");
}

TEST_F(ZipCommandTest, LoadFailuresEndTheProgramWithStatus1) {
  fs::create_directory(m_dir.File("folder"));
  WriteBytes(m_dir.File("README.md"), "# A text, not a table\n" + std::string(300, 'x'));
  const struct {
    std::string db;
    std::string err;
  } kCases[] = {
      {m_dir.File("missing.dbf"), "stat function failed\n"},
      {m_dir.File("folder"),
       "db file open failed\njasokit zip: " + m_dir.File("folder") + ": a folder, not a zip code table\n"},
      {m_dir.File("README.md"), "jasokit zip: " + m_dir.File("README.md") +
                                    ": not a zip code table (a dBASE III table with a 225-byte header and 90-byte "
                                    "records of 7, 4, 13, 43, 17 and 5 bytes)\n"},
  };
  for (const auto& c : kCases) {
    const Outcome o = RunProgram({"zip", "--db", c.db, "역삼동"}, m_dir);
    EXPECT_EQ(o.rc, 1) << c.db;
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, c.err);
  }
}

TEST_F(ZipCommandTest, SampleTableShipsBesideTheProgram) {
  const fs::path table = fs::path(JASOKIT_CLI_PATH).parent_path() / kZipFileName;
  ASSERT_TRUE(fs::exists(table)) << "the build puts the sample table at " << table;
  const Outcome o = RunProgram({"zip", "중앙동", "광화문우체국사서함"}, m_dir);
  EXPECT_EQ(o.rc, kExitOk) << o.err;
  std::istringstream lines(o.out);
  std::string line;
  std::vector<std::string> all;
  while (std::getline(lines, line)) all.push_back(line);
  EXPECT_GE(all.size(), 4u);
  EXPECT_TRUE(std::is_sorted(all.begin(), all.end() - 1));  // the box comes after the 중앙동 lines
  EXPECT_NE(o.out.find("광화문우체국사서함"), std::string::npos);
  // Its codes are made up: said once, on standard error and in JSON.
  EXPECT_EQ(o.err, "jasokit zip: note: the zip code table is the sample: its zip codes are made up\n");
  const Outcome json = RunProgram({"zip", "--json", "없는동", "광화문우체국사서함"}, m_dir);
  EXPECT_EQ(json.out.substr(0, json.out.find('\n')), "{\"name\":\"없는동\",\"records\":[],\"sample\":true}");
}

// Lookups by prefix and by zip code, suggestions, JSON.
class ZipLookupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_table = BuildTable(m_dir, std::string(kHeaderRow) +
                                    "135-082,서울,강남구,역삼2동,\n"
                                    "135-081,서울,강남구,역삼1동,\n"
                                    "135-513,서울,강남구,역삼1동,700~704\n"
                                    "135-081,서울,강남구,역삼1동,\"a,\"\"b\"\"\"\n"
                                    "100-011,서울,중구,역전동,\n");
  }
  Outcome Zip(Args args, const std::string& in = "") {
    args.insert(args.begin(), {"zip", "--db", m_table});
    return RunInMemory(args, in);
  }
  TempDir m_dir;
  std::string m_table;
};

const std::string k1 = "135-081 서울 강남구        역삼1동 " + std::string(17, ' ') + "\n";
const std::string k1b = "135-081 서울 강남구        역삼1동 a,\"b\"" + std::string(12, ' ') + "\n";
const std::string k1c = "135-513 서울 강남구        역삼1동 700~704" + std::string(10, ' ') + "\n";
const std::string k2 = "135-082 서울 강남구        역삼2동 " + std::string(17, ' ') + "\n";

TEST_F(ZipLookupTest, ByPrefixAndByCode) {
  const struct {
    Args args;
    std::string in;
    int rc;
    std::string out;
    std::string err;
  } kCases[] = {
      {{"--prefix", "역삼"}, "", kExitOk, k1 + k1b + k2 + k1c, ""},
      {{"--prefix", "역삼1"}, "", kExitOk, k1 + k1b + k1c, ""},
      {{"--prefix", "역"},
       "",
       kExitOk,
       "100-011 서울 중구          역전동 " + std::string(17, ' ') + "\n" + k1 + k1b + k2 + k1c,
       ""},
      {{"--prefix", "역삼3", "역삼2"}, "", kExitNotFound, k2, "'역삼3': 찾지 못했습니다.\n"},
      {{"--prefix", ""},
       "",
       kExitNotFound,
       "",
       "jasokit zip: argument 1: an empty prefix would list every row\n찾지 못했습니다.\n"},
      {{"--prefix"},
       "역삼2\r\n\n없는\n",
       kExitNotFound,
       k2,
       "jasokit zip: line 2: an empty prefix would list every row\n'': 찾지 못했습니다.\n'없는': 찾지 못했습니다.\n"},
      {{"--code", "135-081"}, "", kExitOk, k1 + k1b, ""},
      {{"--code", "135081"}, "", kExitOk, k1 + k1b, ""},
      {{"--code"}, "135513\n999-999\n", kExitNotFound, k1c, "'999-999': 찾지 못했습니다.\n"},
      {{"--code", "--convert", "135-082"},
       "",
       kExitOk,
       k2 + "\t" + Utf8(ConvertInput(Cp("서울 강남구 역삼2동 ")).output) + "\n",
       ""},
      {{"--cp949", "--prefix", Cp("역삼2")}, "", kExitOk, Cp(k2), ""},
      // An exact miss names the near places; the other lookups do not.
      {{"역삼동"}, "", kExitNotFound, "", "찾지 못했습니다.\ndid you mean: 역삼1동, 역삼2동\n"},
      {{"역삼", "없는동"},
       "",
       kExitNotFound,
       "",
       "'역삼': 찾지 못했습니다.\ndid you mean: 역삼1동, 역삼2동\n'없는동': 찾지 못했습니다.\n"},
      {{"--cp949", Cp("역삼동")},
       "",
       kExitNotFound,
       "",
       Cp("찾지 못했습니다.") + "\ndid you mean: " + Cp("역삼1동, 역삼2동") + "\n"},
      {{"--prefix", "역삼동"}, "", kExitNotFound, "", "찾지 못했습니다.\n"},
      {{"--prefix", "--code", "x"},
       "",
       kExitUsage,
       "",
       "jasokit zip: --prefix and --code exclude each other; run 'jasokit zip --help'\n"},
  };
  for (const auto& c : kCases) {
    const Outcome o = Zip(c.args, c.in);
    const std::string what = testing::PrintToString(c.args);
    EXPECT_EQ(o.rc, c.rc) << what;
    EXPECT_EQ(o.out, c.out) << what;
    EXPECT_EQ(o.err, c.err) << what;
  }
}

TEST_F(ZipLookupTest, JsonObjectPerName) {
  const std::string r1 =
      "{\"zip_code\":\"135-081\",\"province\":\"서울\",\"district\":\"강남구       \",\"locality\":\"역삼1동\","
      "\"detail\":\"" +
      std::string(17, ' ') + "\"}";
  const std::string r1b =
      "{\"zip_code\":\"135-081\",\"province\":\"서울\",\"district\":\"강남구       \",\"locality\":\"역삼1동\","
      "\"detail\":\"a,\\\"b\\\"" +
      std::string(12, ' ') + "\"}";
  const std::string r1c =
      "{\"zip_code\":\"135-513\",\"province\":\"서울\",\"district\":\"강남구       \",\"locality\":\"역삼1동\","
      "\"detail\":\"700~704" +
      std::string(10, ' ') + "\"}";
  const std::string r2 =
      "{\"zip_code\":\"135-082\",\"province\":\"서울\",\"district\":\"강남구       \",\"locality\":\"역삼2동\","
      "\"detail\":\"" +
      std::string(17, ' ') + "\"}";
  const std::string converted = Utf8(ConvertInput(Cp("서울 강남구 역삼2동 ")).output);
  const struct {
    Args args;
    std::string in;
    int rc;
    std::string out;
  } kCases[] = {
      {{"역삼1동", "없는동"},
       "",
       kExitNotFound,
       "{\"name\":\"역삼1동\",\"records\":[" + r1 + "," + r1b + "," + r1c +
           "],\"sample\":false}\n{\"name\":\"없는동\",\"records\":[],\"sample\":false}\n"},
      {{"--prefix", "역삼"},
       "",
       kExitOk,
       "{\"prefix\":\"역삼\",\"records\":[" + r1 + "," + r1b + "," + r2 + "," + r1c + "],\"sample\":false}\n"},
      {{"--code"}, "135082\n", kExitOk, "{\"code\":\"135082\",\"records\":[" + r2 + "],\"sample\":false}\n"},
      {{"--code", "--convert", "135-082"},
       "",
       kExitOk,
       "{\"code\":\"135-082\",\"records\":[" + r2.substr(0, r2.size() - 1) + ",\"conversion\":\"" + converted +
           "\"}],\"sample\":false}\n"},
      // JSON is UTF-8 whatever the input.
      {{"--cp949", Cp("역삼2동")}, "", kExitOk, "{\"name\":\"역삼2동\",\"records\":[" + r2 + "],\"sample\":false}\n"},
      {{},
       "\xff\n" + std::string(2000, 'x') + "\n",
       kExitNotFound,
       "{\"name\":\"\\ufffd\",\"records\":[],\"sample\":false}\n{\"name\":null,\"records\":[],\"sample\":false}\n"},
  };
  for (const auto& c : kCases) {
    Args args = c.args;
    args.insert(args.begin(), "--json");
    const Outcome o = Zip(args, c.in);
    const std::string what = testing::PrintToString(c.args);
    EXPECT_EQ(o.rc, c.rc) << what;
    EXPECT_EQ(o.out, c.out) << what;
  }
}

TEST_F(ZipLookupTest, TheProgramOnItsSampleTable) {
  const Outcome prefix = RunProgram({"zip", "--prefix", "역삼"}, m_dir);
  EXPECT_EQ(prefix.rc, kExitOk) << prefix.err;
  std::istringstream lines(prefix.out);
  std::vector<std::string> all;
  for (std::string line; std::getline(lines, line);) all.push_back(line);
  ASSERT_FALSE(all.empty());
  EXPECT_TRUE(std::is_sorted(all.begin(), all.end()));
  for (const std::string& line : all) EXPECT_EQ(Cp(line).find(Cp("역삼"), 8), 27u) << line;  // the locality
  const std::string code = all.front().substr(0, 7);
  const Outcome byCode = RunProgram({"zip", "--json", "--code", code}, m_dir);
  EXPECT_EQ(byCode.rc, kExitOk);
  EXPECT_EQ(byCode.out.rfind("{\"code\":\"" + code + "\",\"records\":[{\"zip_code\":\"" + code + "\"", 0), 0u);
}

// The full table, when the data is there.
TEST_F(ZipLookupTest, TheFullTable) {
  const std::string full = std::string(JASOKIT_TEST_DATA_DIR) + "/" + kZipFileName;
  if (!fs::exists(full)) GTEST_SKIP() << "no " << full;
  auto zip = [&](Args args) {
    args.insert(args.begin(), {"zip", "--db", full});
    return RunInMemory(args);
  };
  const Outcome prefix = zip({"--prefix", "역삼"});
  EXPECT_EQ(prefix.rc, kExitOk);
  EXPECT_NE(prefix.out.find(" 역삼1동 "), std::string::npos);
  EXPECT_NE(prefix.out.find(" 역삼2동 "), std::string::npos);
  EXPECT_EQ(prefix.out.find("135-080 서울 강남구        역삼동 "), 0u);
  const Outcome code = zip({"--code", "135080"});
  EXPECT_EQ(code.rc, kExitOk);
  EXPECT_EQ(code.out.rfind("135-080 서울 강남구        역삼동 ", 0), 0u);
  const Outcome miss = zip({"역삼"});
  EXPECT_EQ(miss.rc, kExitNotFound);
  EXPECT_EQ(miss.err.rfind("찾지 못했습니다.\ndid you mean: 역삼1동, 역삼2동", 0), 0u) << miss.err;
  const Outcome json = zip({"--json", "--convert", "--style", "official", "역삼1동"});
  EXPECT_EQ(json.rc, kExitOk);
  EXPECT_NE(json.out.find("\"conversion\":\"Yeoksam 1-dong, Gangnam-gu, Seoul, Republic of Korea\""),
            std::string::npos);
}

// The dBASE layout, byte for byte, with a fixed date of last update.
class ZipDbTest : public ::testing::Test {
 protected:
  void SetUp() override { test::SetEnv("SOURCE_DATE_EPOCH", "1041379200"); }  // 2003-01-01
  void TearDown() override { test::UnsetEnv("SOURCE_DATE_EPOCH"); }
  TempDir m_dir;
};

std::string Field(const std::string& text, std::size_t width) {
  std::string f = text;
  f.resize(width, ' ');
  return f;
}

std::string Descriptor(const std::string& name, char type, int width) {
  std::string d = name;
  d.resize(11, '\0');
  d += type;
  d += std::string(4, '\0');
  d += static_cast<char>(width);
  d += std::string(15, '\0');
  return d;
}

TEST_F(ZipDbTest, WritesTheExactLayout) {
  const std::string table = BuildTable(m_dir,
                                       "\xEF\xBB\xBFZIPCODE,Province,district,locality,detail\r\n"
                                       "135-080,서울,강남구,역삼동,\"1,200\"\r\n"
                                       "\r\n"
                                       "\"999-999\",\"\",\"a \"\"b\"\"\",\" lead\",\"가나다라마바사아 \"\r\n");
  std::string expected;
  expected += std::string("\x03\x67\x01\x01", 4);                     // dBASE III, 2003-01-01
  expected += std::string("\x02\x00\x00\x00", 4);                     // two records
  expected += std::string("\xE1\x00\x5A\x00", 4);                     // 225, 90
  expected += std::string(17, '\0') + '\x79' + std::string(2, '\0');  // code page 949
  expected += Descriptor("ZIPCODE", 'C', 7) + Descriptor("PROVINCE", 'C', 4) + Descriptor("DISTRICT", 'C', 13) +
              Descriptor("LOCALITY", 'C', 43) + Descriptor("DETAIL", 'C', 17) + Descriptor("SEQ", 'N', 5);
  expected += '\x0D';
  ASSERT_EQ(expected.size(), 225u);
  expected +=
      " 135-080" + Cp("서울") + Field(Cp("강남구"), 13) + Field(Cp("역삼동"), 43) + Field("1,200", 17) + "    1";
  expected +=
      " 999-999" + Field("", 4) + Field("a \"b\"", 13) + Field(" lead", 43) + Cp("가나다라마바사아") + " " + "    2";
  expected += '\x1A';
  EXPECT_EQ(ReadBytes(table), expected);

  ZipDatabase db;
  db.Load(table);
  EXPECT_EQ(FormatSearchLines(db, " lead"), std::vector<std::string>{"999-999      a \"b\"" + std::string(8, ' ') +
                                                                     "  lead " + Cp("가나다라마바사아") + " "});
}

TEST_F(ZipDbTest, EveryAcceptedLocalityComesBackFromTheLoader) {
  const std::vector<std::string> localities = {"명동",
                                               "",
                                               std::string(43, 'x'),
                                               "신촌동 연세대학교",
                                               std::string(42, 'y'),
                                               std::string(20, 'y') + " " + std::string(21, 'y'),
                                               " 앞공백"};
  std::string csv;
  for (std::size_t i = 0; i < localities.size(); ++i) {
    csv += "100-10" + std::to_string(i) + ",서울,중구," + localities[i] + ",\n";
  }
  const std::string table = BuildTable(m_dir, csv);
  ZipDatabase db;
  db.Load(table);
  ASSERT_EQ(db.size(), localities.size());
  for (std::size_t i = 0; i < localities.size(); ++i) {
    const auto hits = db.FindAll(Cp(localities[i]));
    ASSERT_EQ(hits.size(), 1u) << localities[i];
    EXPECT_EQ((*hits.begin()).zipCode, "100-10" + std::to_string(i));
    EXPECT_EQ((*hits.begin()).district, Field(Cp("중구"), 13));
  }
}

TEST_F(ZipDbTest, RefusesRowsTheTableCannotHold) {
  const struct {
    std::string row;
    std::string message;
  } kCases[] = {
      {"1234-5678,서울,중구,명동,", "column 1 (zipcode): 9 bytes in CP949, more than the field's 7"},
      {"100-100,서울시,중구,명동,", "column 2 (province): 6 bytes in CP949, more than the field's 4"},
      {"100-100,경기,고양시 일산동구,명동,", "column 3 (district): 15 bytes in CP949, more than the field's 13"},
      {"100-100,서울,중구," + std::string(44, 'x') + ",",
       "column 4 (locality): 44 bytes in CP949, more than the field's 43"},
      {"100-100,서울,중구,명동,가나다라마바사아자", "column 5 (detail): 18 bytes in CP949, more than the field's 17"},
      {"100-100,서울,중구,명동  상가,", "column 4 (locality): two spaces in a row; the table would cut the name there"},
      {"100-100,서울,중구,명동 ,", "column 4 (locality): a trailing space; the table would drop it"},
      {"100-100,서울,중구," + std::string(21, 'x') + " " + std::string(21, 'x') + ",",
       "column 4 (locality): fills all 43 bytes and holds a space; the table would cut it at its "
       "last space"},
      {"100-100,서울,중구,명동,\xff", "column 5 (detail): invalid UTF-8 or a character with no CP949 form"},
      {"100-100,서울,중구,명동,\xF0\x9F\x98\x80",  // an emoji
       "column 5 (detail): invalid UTF-8 or a character with no CP949 form"},
      {"100-100,서울,중구,\"명\n동\",", "column 4 (locality): a control character (line breaks and tabs included)"},
      {"100-100,서울,중구,명\t동,", "column 4 (locality): a control character (line breaks and tabs included)"},
      {"100-100,서울,중구,명동", "4 fields, expected 5 (zipcode, province, district, locality, detail)"},
      {"100-100,서울,중구,명동,,", "6 fields, expected 5 (zipcode, province, district, locality, detail)"},
  };
  const std::string out = m_dir.File("out.dbf");
  WriteBytes(out, "previous");
  for (const auto& c : kCases) {
    WriteBytes(m_dir.File("in.csv"), std::string(kHeaderRow) + "100-100,서울,중구,명동,\n" + c.row + "\n");
    const Outcome o = RunInMemory({"zipdb", "build", m_dir.File("in.csv"), "-o", out});
    EXPECT_EQ(o.rc, kExitDataError) << c.row;
    EXPECT_EQ(o.err, "jasokit zipdb: " + m_dir.File("in.csv") + ":3: " + c.message + "\n" + "jasokit zipdb: " + out +
                         " not written\n");
    EXPECT_EQ(ReadBytes(out), "previous");  // nothing is replaced on error
  }
  EXPECT_FALSE(fs::exists(out + ".tmp"));
}

TEST_F(ZipDbTest, RefusesMalformedCsv) {
  const struct {
    std::string csv;
    std::string message;
  } kCases[] = {
      {"1,2,3,4,5\n1,2,\"3,4,5\n", "2: column 3: the quoted field is never closed"},
      {"1,2,3,4,5\r\n\r\n1,\"2\"x,3,4,5\n", "3: column 2: text after the closing quote"},
      {"1,2,3,4,5\n\n1,2,3\"x\",4,5\n",
       "3: column 3: a quote inside an unquoted field (quote the whole field and double the "
       "quote)"},
  };
  for (const auto& c : kCases) {
    WriteBytes(m_dir.File("in.csv"), c.csv);
    const Outcome o = RunInMemory({"zipdb", "build", m_dir.File("in.csv"), "-o", m_dir.File("out.dbf")});
    EXPECT_EQ(o.rc, kExitDataError) << c.csv;
    EXPECT_EQ(o.err, "jasokit zipdb: " + m_dir.File("in.csv") + ":" + c.message + "\n" +
                         "jasokit zipdb: " + m_dir.File("out.dbf") + " not written\n");
    EXPECT_FALSE(fs::exists(m_dir.File("out.dbf")));
  }
}

TEST_F(ZipDbTest, MoreRowsThanTheProgramReadsAreWrittenWithAWarning) {
  std::string csv;
  const std::size_t rows = kZipRecordCount + 1;
  for (std::size_t i = 1; i <= rows; ++i) csv += "1,2,3,n" + std::to_string(i) + ",\n";
  WriteBytes(m_dir.File("in.csv"), csv);
  const Outcome o = RunInMemory({"zipdb", "build", m_dir.File("in.csv"), "-o", m_dir.File("out.dbf")});
  EXPECT_EQ(o.rc, kExitOk);
  EXPECT_EQ(o.err, "jasokit zipdb: warning: 44339 rows written; the programs read only the first 44,338\n");
  const std::string bytes = ReadBytes(m_dir.File("out.dbf"));
  ASSERT_EQ(bytes.size(), 225 + 90 * rows + 1);
  EXPECT_EQ(bytes.substr(4, 4), std::string("\x33\xAD\x00\x00", 4));
  EXPECT_EQ(bytes.substr(bytes.size() - 6), "44339\x1A");

  ZipDatabase db;
  db.Load(m_dir.File("out.dbf"));
  EXPECT_EQ(db.size(), kZipRecordCount);
  EXPECT_TRUE(db.FindAll("n44339").empty());
}

TEST_F(ZipDbTest, CsvFromStandardInputAndEmptyTables) {
  const Args args = {"zipdb", "build", "-", "-o", m_dir.File("out.dbf")};
  Outcome o = RunInMemory(args, "1,2,3,4,5");  // no header, no final line break
  EXPECT_EQ(o.rc, kExitOk);
  EXPECT_EQ(ReadBytes(m_dir.File("out.dbf")).size(), 225u + 90u + 1u);

  // A header and no rows: something else was meant; the table stays.
  o = RunInMemory(args, std::string(kHeaderRow) + "\n\n");
  EXPECT_EQ(o.rc, kExitUsage);
  EXPECT_EQ(o.err,
            "jasokit zipdb: <stdin>:1: a header row and no rows after it; " + m_dir.File("out.dbf") + " not written\n");
  EXPECT_EQ(ReadBytes(m_dir.File("out.dbf")).size(), 225u + 90u + 1u);

  for (const char* empty : {"", "\n\r\n\r", "\xEF\xBB\xBF"}) {
    o = RunInMemory(args, empty);
    EXPECT_EQ(o.rc, kExitOk);
    EXPECT_EQ(o.err, "jasokit zipdb: warning: the CSV holds no rows; the table written is empty\n");
    EXPECT_EQ(ReadBytes(m_dir.File("out.dbf")).size(), 226u);
  }
}

TEST_F(ZipDbTest, UsageAndFileErrors) {
  const std::string csv = m_dir.File("in.csv");
  WriteBytes(csv, "1,2,3,4,5\n");
  fs::create_directory(m_dir.File("folder"));
  const struct {
    Args args;
    int rc;
    std::string err;
  } kCases[] = {
      {{"zipdb"}, kExitUsage, "jasokit zipdb: missing subcommand; run 'jasokit zipdb --help'\n"},
      {{"zipdb", "build", csv}, kExitUsage, "jasokit zipdb: build needs -o FILE; run 'jasokit zipdb --help'\n"},
      {{"zipdb", "build", csv, csv, "-o", "x"},
       kExitUsage,
       "jasokit zipdb: more than one CSV given; run 'jasokit zipdb --help'\n"},
      {{"zipdb", "build", csv, "--fast", "-o", "x"},
       kExitUsage,
       "jasokit zipdb: unknown option '--fast'; run 'jasokit zipdb --help'\n"},
      {{"zipdb", "build", m_dir.File("none.csv"), "-o", m_dir.File("x")},
       kExitDataError,
       "jasokit zipdb: cannot open " + m_dir.File("none.csv") + ": No such file or directory\n"},
      {{"zipdb", "build", m_dir.File("folder"), "-o", m_dir.File("x")},
       kExitDataError,
       "jasokit zipdb: cannot read " + m_dir.File("folder") + ": it is a directory\n"},
      {{"zipdb", "build", csv, "-o", m_dir.File("none/x.dbf")},
       kExitDataError,
       "jasokit zipdb: cannot create " + m_dir.File("none/x.dbf") + ": No such file or directory\n"},
      {{"zipdb", "build", csv, "-o", m_dir.File("folder")},
       kExitIo,
       "jasokit zipdb: " + m_dir.File("folder") + " is a folder, not a regular file; nothing was replaced\n"},
      {{"zipdb", "--help"}, kExitOk, ""},
  };
  for (const auto& c : kCases) {
    const Outcome o = RunInMemory(c.args);
    EXPECT_EQ(o.rc, c.rc) << c.args.size();
    EXPECT_EQ(o.err, c.err);
  }
  EXPECT_EQ(RunInMemory({"zipdb", "--help"}).out.rfind("usage: jasokit zipdb build CSV -o FILE [--sample]\n", 0), 0u);
  // A folder where the table should go is not replaced.
  EXPECT_EQ(RunInMemory({"zipdb", "build", csv, "--output", m_dir.File("folder")}).rc, kExitIo);
  EXPECT_TRUE(fs::is_directory(m_dir.File("folder")));
  EXPECT_FALSE(fs::exists(m_dir.File("folder.tmp")));
}

// The names in a folder, to see that nothing was left behind.
std::vector<std::string> Names(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.path())) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> Localities(const std::string& table) {
  ZipDatabase db;
  EXPECT_EQ(db.Load(table), ZipLoadStatus::Ok);
  std::vector<std::string> names;
  for (std::size_t i = 0; i < db.size(); ++i) names.emplace_back(db.record(i).locality);
  return names;
}

TEST_F(ZipDbTest, LineEndsOfEveryKind) {
  const struct {
    std::string csv;
    std::vector<std::string> localities;
  } kCases[] = {
      {"zipcode,x\r1,2,3,4,5\r", {"4"}},  // an old Mac file: the header must not swallow it
      {"1,2,3,a,5\r\n1,2,3,b,5\r1,2,3,c,5\n1,2,3,d,5", {"a", "b", "c", "d"}},
      {"\r\r\n\n1,2,3,a,5\r\r\r1,2,3,\"b\",\"\"\r", {"a", "b"}},
  };
  const std::string out = m_dir.File("out.dbf");
  for (const auto& c : kCases) {
    // Cut at every point, a CR LF straddling two reads included.
    for (std::size_t chunk = 1; chunk <= c.csv.size(); ++chunk) {
      FakeIo io(c.csv);
      io.SetChunk(chunk);
      EXPECT_EQ(RunCli({"zipdb", "build", "-", "-o", out}, io), kExitOk) << io.err;
      EXPECT_EQ(io.err, "");
      EXPECT_EQ(Localities(out), c.localities) << testing::PrintToString(c.csv) << " in chunks of " << chunk;
    }
  }
  // Line numbers count every kind of line end, inside quotes too.
  const Outcome o = RunInMemory({"zipdb", "build", "-", "-o", out}, "1,2,3,a,5\r1,2\r\r1,2,3,\"x\ry\",5\r1,2,3,b\r");
  EXPECT_EQ(o.rc, kExitDataError);
  EXPECT_EQ(o.err,
            "jasokit zipdb: <stdin>:2: 2 fields, expected 5 (zipcode, province, district, locality, detail)\n"
            "jasokit zipdb: <stdin>:4: column 4 (locality): a control character (line breaks and tabs included)\n"
            "jasokit zipdb: <stdin>:6: 4 fields, expected 5 (zipcode, province, district, locality, detail)\n"
            "jasokit zipdb: " +
                out + " not written\n");
}

TEST_F(ZipDbTest, OverLongRowsAreRefusedWithTheirLine) {
  const std::string tooLong = "more than 1024 bytes in the row; no valid row comes near that";
  const std::string csv =
      "1,2,3,a,5\n"
      "1,2,3," +
      std::string(5000000, 'x') + ",5\n" + "1,2,3,\"" + test::Repeat("ab\r\n", 400) + "\",5\n" + "1,2,3,4," +
      std::string(1016, 'x') + "\n" +  // 1024 bytes: read, then refused
      "1,2,3,4," + std::string(1017, 'x') + "\n" + "1,2,3,b,5,6\n";
  const Outcome o = RunInMemory({"zipdb", "build", "-", "-o", m_dir.File("out.dbf")}, csv);
  EXPECT_EQ(o.rc, kExitDataError);
  EXPECT_EQ(o.err,
            "jasokit zipdb: <stdin>:2: " + tooLong + "\n" + "jasokit zipdb: <stdin>:3: " + tooLong + "\n" +
                "jasokit zipdb: <stdin>:404: column 5 (detail): 1016 bytes in CP949, more than the field's 17\n" +
                "jasokit zipdb: <stdin>:405: " + tooLong + "\n" +
                "jasokit zipdb: <stdin>:406: 6 fields, expected 5 (zipcode, province, district, locality, "
                "detail)\n"
                "jasokit zipdb: " +
                m_dir.File("out.dbf") + " not written\n");
  EXPECT_EQ(Names(m_dir), std::vector<std::string>{});
}

TEST_F(ZipDbTest, WritesOnlyIntoARegularFileOrANewName) {
  const std::string csv = m_dir.File("in.csv");
  WriteBytes(csv, "1,2,3,4,5\n");
  const std::string table = ReadBytes(BuildTable(m_dir, "1,2,3,4,5\n", "reference.dbf"));
  auto build = [&](const std::string& out) { return RunInMemory({"zipdb", "build", csv, "-o", out}); };

  // A name beside the target that another program may use is not touched.
  WriteBytes(m_dir.File("t.dbf.tmp"), "mine");
  EXPECT_EQ(build(m_dir.File("t.dbf")).rc, kExitOk);
  EXPECT_EQ(ReadBytes(m_dir.File("t.dbf")), table);
  EXPECT_EQ(ReadBytes(m_dir.File("t.dbf.tmp")), "mine");
  fs::create_directory(m_dir.File("folder.dbf"));
  EXPECT_EQ(build(m_dir.File("folder.dbf")).err,
            "jasokit zipdb: " + m_dir.File("folder.dbf") + " is a folder, not a regular file; nothing was replaced\n");
  fs::remove(m_dir.File("folder.dbf"));
#ifdef _WIN32
  EXPECT_EQ(Names(m_dir), (std::vector<std::string>{"in.csv", "reference.dbf", "t.dbf", "t.dbf.tmp"}));
  GTEST_SKIP() << "symbolic links (which need a privilege), FIFOs and device nodes are POSIX";
#else
  fs::create_symlink("victim", m_dir.File("u.dbf.tmp"));  // nor is a link there followed
  WriteBytes(m_dir.File("victim"), "mine");
  EXPECT_EQ(build(m_dir.File("u.dbf")).rc, kExitOk);
  EXPECT_EQ(ReadBytes(m_dir.File("victim")), "mine");
  EXPECT_EQ(ReadBytes(m_dir.File("u.dbf")), table);

  // A link is followed: the file it names is replaced, the link stays.
  WriteBytes(m_dir.File("real.dbf"), "old");
  fs::create_symlink("real.dbf", m_dir.File("link.dbf"));
  EXPECT_EQ(build(m_dir.File("link.dbf")).rc, kExitOk);
  EXPECT_TRUE(fs::is_symlink(m_dir.File("link.dbf")));
  EXPECT_EQ(ReadBytes(m_dir.File("real.dbf")), table);

  // Whatever is no regular file stays as it is.
  fs::create_symlink("missing.dbf", m_dir.File("dangling.dbf"));
  ASSERT_EQ(mkfifo(m_dir.File("fifo.dbf").c_str(), 0600), 0);
  std::string device = "/dev/full";
  if (geteuid() == 0) {  // root could replace the real one: use a copy
    device = m_dir.File("full");
    ASSERT_EQ(mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 7)), 0);
  }
  struct stat deviceBefore {};
  ASSERT_EQ(stat(device.c_str(), &deviceBefore), 0);
  const struct {
    std::string out;
    std::string err;
  } kRefused[] = {
      {m_dir.File("dangling.dbf"), m_dir.File("dangling.dbf") +
                                       " is a symbolic link to nothing usable (No such file or directory); nothing "
                                       "was replaced"},
      {m_dir.File("fifo.dbf"), m_dir.File("fifo.dbf") + " is a pipe, not a regular file; nothing was replaced"},
      {device, device + " is a device, not a regular file; nothing was replaced"},
  };
  for (const auto& c : kRefused) {
    const Outcome o = build(c.out);
    EXPECT_EQ(o.rc, kExitIo) << c.out;
    EXPECT_EQ(o.err, "jasokit zipdb: " + c.err + "\n");
  }
  EXPECT_TRUE(fs::is_symlink(m_dir.File("dangling.dbf")));
  EXPECT_TRUE(fs::is_fifo(m_dir.File("fifo.dbf")));
  struct stat deviceAfter {};
  ASSERT_EQ(stat(device.c_str(), &deviceAfter), 0);
  EXPECT_TRUE(S_ISCHR(deviceAfter.st_mode));
  EXPECT_EQ(deviceAfter.st_rdev, deviceBefore.st_rdev);
  EXPECT_EQ(deviceAfter.st_ino, deviceBefore.st_ino);

  std::vector<std::string> expected = {"dangling.dbf", "fifo.dbf",  "in.csv", "link.dbf",  "real.dbf", "reference.dbf",
                                       "t.dbf",        "t.dbf.tmp", "u.dbf",  "u.dbf.tmp", "victim"};
  if (geteuid() == 0) expected.insert(expected.begin() + 2, "full");
  EXPECT_EQ(Names(m_dir), expected);  // no temporary file left behind
#endif
}

TEST_F(ZipDbTest, NeverWritesOverTheCsv) {
  const std::string csv = m_dir.File("in.csv");
  WriteBytes(csv, "1,2,3,4,5\n");
  fs::create_hard_link(csv, m_dir.File("hard.csv"));
#ifdef _WIN32
  // Symbolic links need a privilege there.
  std::vector<std::string> names = {"in.csv", "hard.csv"};
#else
  fs::create_symlink("in.csv", m_dir.File("soft.csv"));
  std::vector<std::string> names = {"in.csv", "soft.csv", "hard.csv"};
#endif
  for (const std::string& name : names) {
    const Outcome o = RunInMemory({"zipdb", "build", csv, "-o", m_dir.File(name)});
    EXPECT_EQ(o.rc, kExitUsage);
    EXPECT_EQ(o.err, "jasokit zipdb: " + m_dir.File(name) + " is the CSV itself; write the table to another file\n");
  }
  EXPECT_EQ(ReadBytes(csv), "1,2,3,4,5\n");
  std::sort(names.begin(), names.end());
  EXPECT_EQ(Names(m_dir), names);
}

TEST_F(ZipDbTest, ReplacedTableKeepsItsModeAndOwner) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX modes and owners; a Windows table takes its folder's permissions";
#else
  const std::string out = m_dir.File("t.dbf");
  WriteBytes(out, "old");
  fs::permissions(out, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(chown(out.c_str(), 65534, 65534), 0);
  }
  BuildTable(m_dir, "1,2,3,4,5\n", "t.dbf");
  struct stat st {};
  ASSERT_EQ(stat(out.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  if (root) {
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
  }
  // A new table gets what the umask leaves, as any new file.
  const mode_t mask = umask(027);
  BuildTable(m_dir, "1,2,3,4,5\n", "new.dbf");
  umask(mask);
  ASSERT_EQ(stat(m_dir.File("new.dbf").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
#endif
}

TEST_F(ZipDbTest, UnreadableStandardInputWritesNothing) {
  FakeIo io("1,2,3,4,5\n");
  io.FailReads();
  EXPECT_EQ(RunCli({"zipdb", "build", "-", "-o", m_dir.File("out.dbf")}, io), kExitDataError);
  EXPECT_EQ(io.err, "jasokit zipdb: error reading standard input\n");
  EXPECT_EQ(Names(m_dir), std::vector<std::string>{});
}

TEST_F(ZipDbTest, OnlyARegularFileIsACsv) {
#ifdef _WIN32
  const std::string device = "NUL";
#else
  const std::string device = "/dev/null";
#endif
  const Outcome o = RunInMemory({"zipdb", "build", device, "-o", m_dir.File("out.dbf")});
  EXPECT_EQ(o.rc, kExitDataError);
  EXPECT_EQ(o.err, "jasokit zipdb: cannot read " + device + ": not a regular file (give '-' to read standard input)\n");
  EXPECT_FALSE(fs::exists(m_dir.File("out.dbf")));
}

// An independent reader: Debian's python3-dbfread.
std::string FindDbfreadPython() {
  for (const char* python : {"/usr/bin/python3", "python3"}) {
    const std::string probe = std::string(python) + " -c 'import dbfread' >/dev/null 2>&1";
    if (std::system(probe.c_str()) == 0) return python;
  }
  return std::string();
}

TEST_F(ZipDbTest, DbfreadReadsEveryField) {
  const std::string python = FindDbfreadPython();
  if (python.empty()) GTEST_SKIP() << "python3 with dbfread is not installed (python3-dbfread)";
  const std::vector<std::vector<std::string>> rows = {
      {"135-080", "서울", "강남구", "역삼동", "1~200"},
      {"100-011", "서울", "중구", "광화문우체국사서함", "1~300"},
      {"476-800", "경기", "양평군", "양평읍", "양근리 100~200"},
      {"463-010", "경기", "성남시 분당구", "정자동", "파크뷰아파트"},
      {"999-999", "", "a,b \"c\"", " lead", ""},
      {"1", "x", "y", std::string(43, 'z'), "가나다라마바사아 "},
  };
  std::string csv = kHeaderRow;
  for (const auto& r : rows) {
    for (std::size_t i = 0; i < r.size(); ++i) {
      std::string quoted = "\"";
      for (char c : r[i]) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
      csv += (i ? "," : "") + quoted + "\"";
    }
    csv += "\r\n";
  }
  const std::string table = BuildTable(m_dir, csv);

  const std::string script = m_dir.File("read.py");
  WriteBytes(script,
             "import sys, dbfread\n"
             "t = dbfread.DBF(sys.argv[1])\n"
             "h = t.header\n"
             "print(h.dbversion, h.numrecords, h.headerlen, h.recordlen, h.language_driver, t.encoding,"
             " t.date)\n"
             "print(' '.join('%s:%s:%d' % (f.name, f.type, f.length) for f in t.fields))\n"
             "print(len(t.deleted))\n"
             "for r in t:\n"
             "    print('|'.join(str(v) for v in r.values()))\n");
  const std::string command =
      "PYTHONIOENCODING=utf-8 " + python + " " + script + " " + table + " >" + m_dir.File("py.out") + " 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << ReadBytes(m_dir.File("py.out"));

  std::string expected =
      "3 6 225 90 121 cp949 2003-01-01\n"
      "ZIPCODE:C:7 PROVINCE:C:4 DISTRICT:C:13 LOCALITY:C:43 DETAIL:C:17 SEQ:N:5\n"
      "0\n";
  for (std::size_t n = 0; n < rows.size(); ++n) {
    for (const std::string& value : rows[n]) {
      std::string v = value;
      while (!v.empty() && v.back() == ' ') v.pop_back();  // the reader trims the padding
      expected += v + "|";
    }
    expected += std::to_string(n + 1) + "\n";
  }
  EXPECT_EQ(ReadBytes(m_dir.File("py.out")), expected);
}

}  // namespace
}  // namespace jasokit::cli
