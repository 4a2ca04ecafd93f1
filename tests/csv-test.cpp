// The streaming CSV reader and the writing of converted records.
#include "frontend/csv.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace jasokit {
namespace {

using cli::CsvError;
using cli::CsvErrorKind;
using cli::CsvReader;
using cli::CsvRecord;

constexpr std::size_t kWhole = std::string::npos;

// A pull function handing out input in pieces: first bytes at the first call,
// then chunk bytes at a time.
CsvReader::Pull FromString(std::string input, std::size_t chunk, std::size_t first = kWhole) {
  struct Source {
    std::string data;
    std::size_t pos = 0;
    bool firstDone = false;
  };
  auto source = std::make_shared<Source>();
  source->data = std::move(input);
  return [source, chunk, first](char* buffer, std::size_t size) -> long {
    std::size_t n = source->firstDone ? chunk : first;
    source->firstDone = true;
    n = std::min({n, size, source->data.size() - source->pos});
    source->data.copy(buffer, n, source->pos);
    source->pos += n;
    return static_cast<long>(n);
  };
}

// A record as "LINE:[value][value]$END", with "bom" before the fields when it
// carries one.
std::string Describe(const CsvRecord& r) {
  std::string s = std::to_string(r.line()) + ":";
  if (!r.prefix().empty()) s += "bom";
  for (std::size_t i = 0; i < r.size(); ++i) {
    s += "[";
    s += r[i].value;
    s += "]";
  }
  if (r.overLong()) s += "overlong";
  s += r.terminator() == "\n" ? "$lf" : r.terminator() == "\r\n" ? "$crlf" : r.terminator() == "\r" ? "$cr" : "$eof";
  return s;
}

struct ReadResult {
  std::vector<std::string> records;
  std::string rebuilt;  // every record written back unchanged
  CsvError error;
};

ReadResult ReadAll(CsvReader::Pull pull, std::size_t max = cli::kCsvMaxRecordBytes, unsigned flags = 0) {
  ReadResult result;
  CsvReader reader(std::move(pull), max, flags);
  CsvRecord record;
  std::uint64_t dropped = 0;  // bytes of records skipped as too long
  while (reader.Next(record)) {
    result.records.push_back(Describe(record));
    cli::AppendCsvRecord(record, result.rebuilt);
    if (record.overLong()) dropped = reader.consumed() - result.rebuilt.size();
    EXPECT_EQ(reader.consumed(), result.rebuilt.size() + dropped);
  }
  result.error = reader.error();
  EXPECT_FALSE(reader.Next(record)) << "the reader goes on after its end";
  return result;
}

struct ValidCase {
  const char* name;
  std::string input;
  std::vector<std::string> records;
};

const ValidCase kValidCases[] = {
    {"empty file", "", {}},
    {"LF records", "a,b\nc,d\n", {"1:[a][b]$lf", "2:[c][d]$lf"}},
    {"CRLF records", "a,b\r\nc\r\n", {"1:[a][b]$crlf", "2:[c]$crlf"}},
    {"line ends per record", "a\r\nb\nc", {"1:[a]$crlf", "2:[b]$lf", "3:[c]$eof"}},
    {"last record without line end", "a,b", {"1:[a][b]$eof"}},
    {"quoted comma", "\"a,b\",c\n", {"1:[a,b][c]$lf"}},
    {"doubled quotes", "\"say \"\"hi\"\"\",\"\"\"\"\n", {"1:[say \"hi\"][\"]$lf"}},
    {"LF inside quotes", "\"a\nb\",c\nd\n", {"1:[a\nb][c]$lf", "3:[d]$lf"}},
    {"CRLF inside quotes", "\"a\r\nb\"\r\nd\r\n", {"1:[a\r\nb]$crlf", "3:[d]$crlf"}},
    {"lone CR inside quotes", "\"a\rb\"\nc", {"1:[a\rb]$lf", "2:[c]$eof"}},
    {"empty fields", ",,\na,\n,b\n\"\"\n", {"1:[][][]$lf", "2:[a][]$lf", "3:[][b]$lf", "4:[]$lf"}},
    {"trailing comma at end of file", "a,", {"1:[a][]$eof"}},
    {"blank lines have no fields", "a\n\n\r\nb\n", {"1:[a]$lf", "2:$lf", "3:$crlf", "4:[b]$lf"}},
    {"spaces are data", " a , b \n", {"1:[ a ][ b ]$lf"}},
    {"quoted field at end of file", "\"a\"", {"1:[a]$eof"}},
    {"quoted field before CRLF", "\"a\",\"b\"\r\n", {"1:[a][b]$crlf"}},
    {"BOM", "\xEF\xBB\xBFname,x\nb\n", {"1:bom[name][x]$lf", "2:[b]$lf"}},
    {"BOM only", "\xEF\xBB\xBF", {"1:bom$eof"}},
    {"BOM before a blank line", "\xEF\xBB\xBF\n", {"1:bom$lf"}},
    {"BOM before a quote", "\xEF\xBB\xBF\"a\"\n", {"1:bom[a]$lf"}},
    {"cut BOM is data", "\xEF\xBBx\n", {"1:[\xEF\xBBx]$lf"}},
    {"BOM later is data",
     "a\n\xEF\xBB\xBF"
     "b\n",
     {"1:[a]$lf",
      "2:[\xEF\xBB\xBF"
      "b]$lf"}},
    {"lone CR is data", "a\rb,c\n", {"1:[a\rb][c]$lf"}},
    {"CR at end of file is data", "a\r", {"1:[a\r]$eof"}},
    {"CR alone", "\r", {"1:[\r]$eof"}},
    {"CR starts a field", "\ra,\r\n", {"1:[\ra][]$crlf"}},
    {"CR before CRLF", "a\r\r\n", {"1:[a\r]$crlf"}},
    {"UTF-8 text", "서울,\"강남구, 역삼동\"\n", {"1:[서울][강남구, 역삼동]$lf"}},
    {"NUL bytes", std::string("a\0b,\"\0\"\n", 8), {std::string("1:[a\0b][\0]$lf", 13)}},
};

TEST(CsvReaderTest, ReadsRecords) {
  for (const ValidCase& c : kValidCases) {
    const ReadResult r = ReadAll(FromString(c.input, kWhole));
    EXPECT_EQ(r.records, c.records) << c.name;
    EXPECT_FALSE(r.error) << c.name << ": " << r.error.message;
    EXPECT_EQ(r.rebuilt, c.input) << c.name;
  }
}

// Records, values and errors do not depend on where the reads cut the input.
TEST(CsvReaderTest, ReadsTheSameWhateverTheChunks) {
  std::string all;
  for (const ValidCase& c : kValidCases) {
    if (c.input.rfind("\xEF\xBB\xBF", 0) != 0 && !c.input.empty() && c.input.back() == '\n') {
      all += c.input;
    }
  }
  const std::vector<std::string> inputs = {all, "\xEF\xBB\xBF\"a\r\n\"\"b\"\r\n", "a,\"b\"\"c\nd\",e\r",
                                           "a\n\"x\ny\"z\n", "\"open\r\n,"};
  for (const std::string& input : inputs) {
    const ReadResult whole = ReadAll(FromString(input, kWhole));
    for (std::size_t at = 1; at <= input.size(); ++at) {  // a read of 0 bytes is the end
      const ReadResult split = ReadAll(FromString(input, kWhole, at));
      ASSERT_EQ(split.records, whole.records) << "split at " << at;
      ASSERT_EQ(split.error.message, whole.error.message) << "split at " << at;
    }
    for (std::size_t chunk = 1; chunk <= 9; ++chunk) {
      const ReadResult pieces = ReadAll(FromString(input, chunk));
      ASSERT_EQ(pieces.records, whole.records) << "chunks of " << chunk;
      ASSERT_EQ(pieces.error.message, whole.error.message) << "chunks of " << chunk;
      ASSERT_EQ(pieces.rebuilt, whole.rebuilt) << "chunks of " << chunk;
    }
  }
}

struct ErrorCase {
  std::string input;
  std::size_t goodRecords;  // read before the error
  CsvErrorKind kind;
  std::size_t line, foundLine, field;
  const char* message;
};

const ErrorCase kErrorCases[] = {
    {"a\n\"bc\n", 1, CsvErrorKind::kUnclosedQuote, 2, 2, 1, "line 2: the quoted field opened here is never closed"},
    {"\"a\nb\",\"c\nd\n", 0, CsvErrorKind::kUnclosedQuote, 1, 2, 2,
     "line 1: the quoted field opened on line 2 is never closed"},
    {"\"", 0, CsvErrorKind::kUnclosedQuote, 1, 1, 1, "line 1: the quoted field opened here is never closed"},
    {"a,b\"c\n", 0, CsvErrorKind::kStrayQuote, 1, 1, 2,
     "line 1: a quote inside unquoted field 2 (quote the whole field and double its quotes)"},
    {" \"a\"\n", 0, CsvErrorKind::kStrayQuote, 1, 1, 1,
     "line 1: a quote inside unquoted field 1 (quote the whole field and double its quotes)"},
    {"x\n\"a\nb\",c\"\n", 1, CsvErrorKind::kStrayQuote, 2, 3, 2,
     "line 2: a quote on line 3 inside unquoted field 2 (quote the whole field and double its "
     "quotes)"},
    {"a\rb\"\n", 0, CsvErrorKind::kStrayQuote, 1, 1, 1,
     "line 1: a quote inside unquoted field 1 (quote the whole field and double its quotes)"},
    {"a\nb\nc,\"d\"e\n", 2, CsvErrorKind::kTextAfterQuote, 3, 3, 2, "line 3: text after the closing quote of field 2"},
    {"x\r\n\"a\nb\"c", 1, CsvErrorKind::kTextAfterQuote, 2, 3, 1,
     "line 2: text on line 3 after the closing quote of field 1"},
    {"\"a\" \n", 0, CsvErrorKind::kTextAfterQuote, 1, 1, 1, "line 1: text after the closing quote of field 1"},
    {"\"a\"\rb\n", 0, CsvErrorKind::kTextAfterQuote, 1, 1, 1, "line 1: text after the closing quote of field 1"},
    {"a,\"b\"\r", 0, CsvErrorKind::kTextAfterQuote, 1, 1, 2, "line 1: text after the closing quote of field 2"},
};

TEST(CsvReaderTest, KeepsEachFieldsBytes) {
  CsvReader reader(FromString("\"a\"\"b\", c ,\"\",\"x\ny\"\r\n", 2));
  CsvRecord r;
  ASSERT_TRUE(reader.Next(r));
  ASSERT_EQ(r.size(), 4u);
  const char* kRaw[] = {"\"a\"\"b\"", " c ", "\"\"", "\"x\ny\""};
  const char* kValue[] = {"a\"b", " c ", "", "x\ny"};
  for (std::size_t i = 0; i < r.size(); ++i) {
    EXPECT_EQ(r[i].raw, kRaw[i]) << i;
    EXPECT_EQ(r[i].value, kValue[i]) << i;
  }
  EXPECT_EQ(r.raw(), "\"a\"\"b\", c ,\"\",\"x\ny\"");
  EXPECT_EQ(r.terminator(), "\r\n");
}

TEST(CsvReaderTest, ReportsErrorsWithTheirLines) {
  for (const ErrorCase& c : kErrorCases) {
    for (std::size_t chunk : {std::size_t{1}, kWhole}) {
      const ReadResult r = ReadAll(FromString(c.input, chunk));
      EXPECT_EQ(r.records.size(), c.goodRecords) << c.message;
      EXPECT_EQ(r.error.kind, c.kind) << c.message;
      EXPECT_EQ(r.error.line, c.line) << c.message;
      EXPECT_EQ(r.error.foundLine, c.foundLine) << c.message;
      EXPECT_EQ(r.error.field, c.field) << c.message;
      EXPECT_EQ(r.error.message, c.message);
    }
  }
}

TEST(CsvReaderTest, ReportsReadFailures) {
  auto source = FromString("a\nb", kWhole);
  bool failed = false;
  const ReadResult r = ReadAll([&](char* buffer, std::size_t size) -> long {
    const long n = source(buffer, size);
    if (n > 0) return n;
    failed = true;
    return -1;
  });
  EXPECT_TRUE(failed);
  EXPECT_EQ(r.records, std::vector<std::string>{"1:[a]$lf"});
  EXPECT_EQ(r.error.kind, CsvErrorKind::kReadFailed);
  EXPECT_EQ(r.error.message, "line 2: the input could not be read");
}

TEST(CsvReaderTest, RecordsUpToTheLimitAreRead) {
  const std::string longest(cli::kCsvMaxRecordBytes, 'a');
  const ReadResult fits = ReadAll(FromString("x\n" + longest + "\ny", 4096));
  EXPECT_FALSE(fits.error) << fits.error.message;
  EXPECT_EQ(fits.records.size(), 3u);

  const std::string quoted = "\"" + std::string(cli::kCsvMaxRecordBytes - 2, 'a') + "\"";
  EXPECT_FALSE(ReadAll(FromString(quoted + "\r\n", 4096)).error);

  const ReadResult over = ReadAll(FromString("x\n" + longest + "a\n", 4096));
  EXPECT_EQ(over.records, std::vector<std::string>{"1:[x]$lf"});
  EXPECT_EQ(over.error.kind, CsvErrorKind::kRecordTooLong);
  EXPECT_EQ(over.error.message, "line 2: the record is longer than 1048576 bytes");
  EXPECT_EQ(ReadAll(FromString(quoted + ",", 4096)).error.kind, CsvErrorKind::kRecordTooLong);
}

TEST(CsvReaderTest, TheLimitIsPassedOnTheLineOfTheByteThatPassesIt) {
  // With a limit of 10 the eleventh byte, the second LF, passes it; it ends line 2.
  const ReadResult r = ReadAll(FromString("\"ab\ncdefgh\nij\"\n", 3), 10);
  EXPECT_EQ(r.error.kind, CsvErrorKind::kRecordTooLong);
  EXPECT_EQ(r.error.foundLine, 2u);
  EXPECT_EQ(r.error.message, "line 1: the record is longer than 10 bytes (passed on line 2)");
  EXPECT_FALSE(ReadAll(FromString("\"ab\ncdefg\"\n", 3), 10).error);
}

// An endless record is refused after about the limit, never read whole.
TEST(CsvReaderTest, AnEndlessRecordIsNotHeldWhole) {
  std::size_t pulled = 0;
  const ReadResult r = ReadAll([&](char* buffer, std::size_t size) -> long {
    std::fill(buffer, buffer + size, 'a');
    if (pulled == 0) buffer[0] = '"';
    pulled += size;
    return static_cast<long>(size);
  });
  EXPECT_EQ(r.error.kind, CsvErrorKind::kRecordTooLong);
  EXPECT_LT(pulled, cli::kCsvMaxRecordBytes + (std::size_t{1} << 17));
}

// A reader paused before its reads, whenever it is, gives the same records.
TEST(CsvReaderTest, PausesAnywhereAndGoesOn) {
  for (const ValidCase& c : kValidCases) {
    for (std::size_t chunk : {std::size_t{1}, std::size_t{3}}) {
      CsvReader reader(FromString(c.input, chunk, chunk));
      bool pause = false;
      int pauses = 0;
      reader.SetPause([&] { return pause = !pause; });
      std::vector<std::string> records;
      CsvRecord record;
      for (;;) {
        if (reader.Next(record)) {
          records.push_back(Describe(record));
        } else if (reader.paused()) {
          ++pauses;
        } else {
          break;
        }
      }
      EXPECT_FALSE(reader.error()) << c.name;
      EXPECT_EQ(records, c.records) << c.name << " in chunks of " << chunk;
      EXPECT_GE(pauses, static_cast<int>(c.input.size() / chunk / 2)) << c.name;
    }
  }
}

// zipdb's reading: a lone CR ends a line like LF and CR LF, and counts as one.
TEST(CsvReaderTest, CrEndsLinesWhenAsked) {
  const ValidCase kCases[] = {
      {"CR records", "a,b\rc\r", {"1:[a][b]$cr", "2:[c]$cr"}},
      {"every kind", "a\rb\r\nc\nd", {"1:[a]$cr", "2:[b]$crlf", "3:[c]$lf", "4:[d]$eof"}},
      {"blank CR lines", "\r\r\n\r", {"1:$cr", "2:$crlf", "3:$cr"}},
      {"CR after a quote", "\"a\"\r\"b\"", {"1:[a]$cr", "2:[b]$eof"}},
      {"CR after a quote at the end", "\"a\"\r", {"1:[a]$cr"}},
      {"line breaks inside quotes count", "\"a\rb\r\nc\nd\",x\ry", {"1:[a\rb\r\nc\nd][x]$cr", "5:[y]$eof"}},
      {"BOM then CR", "\xEF\xBB\xBF\ra", {"1:bom$cr", "2:[a]$eof"}},
  };
  for (const ValidCase& c : kCases) {
    for (std::size_t chunk = 1; chunk <= c.input.size(); ++chunk) {
      const ReadResult r = ReadAll(FromString(c.input, chunk), cli::kCsvMaxRecordBytes, cli::kCsvCrEndsLines);
      EXPECT_FALSE(r.error) << c.name << ": " << r.error.message;
      EXPECT_EQ(r.records, c.records) << c.name << " in chunks of " << chunk;
      EXPECT_EQ(r.rebuilt, c.input) << c.name;
    }
  }
  const ReadResult r = ReadAll(FromString("a\r\"b\rc", kWhole), cli::kCsvMaxRecordBytes, cli::kCsvCrEndsLines);
  EXPECT_EQ(r.error.message, "line 2: the quoted field opened here is never closed");
}

// zipdb's reading: a record past the limit is read past, in the memory of
// the limit, and the next one read as usual, on its own line.
TEST(CsvReaderTest, OverLongRecordsAreSkippedWhenAsked) {
  const unsigned flags = cli::kCsvSkipOverLong | cli::kCsvCrEndsLines;
  const ReadResult r =
      ReadAll(FromString("a\n123456789,b\r\"x\ry\r\n\"\"z\",\"\"\"\"\"\"\nc,d\n\"12\n34\"\ne", 3), 8, flags);
  EXPECT_FALSE(r.error) << r.error.message;
  EXPECT_EQ(r.records, (std::vector<std::string>{"1:[a]$lf", "2:overlong$cr", "3:overlong$lf", "6:[c][d]$lf",
                                                 "7:[12\n34]$lf", "9:[e]$eof"}));
  // Endless: one field after another, or doubled quotes, and nothing kept.
  for (const std::string fill : {",", "\"\""}) {
    std::size_t pulled = 0;
    CsvReader reader(
        [&](char* buffer, std::size_t size) -> long {
          if (pulled > (std::size_t{64} << 20)) return 0;
          for (std::size_t i = 0; i < size; ++i) buffer[i] = fill[(pulled + i) % fill.size()];
          if (pulled == 0 && fill.size() == 2) buffer[0] = '"';
          pulled += size;
          return static_cast<long>(size);
        },
        1024, flags);
    CsvRecord record;
    reader.Next(record);
    EXPECT_TRUE(record.overLong());
    EXPECT_EQ(record.size(), 0u);
    EXPECT_LE(record.raw().size(), 1024u);
  }
}

TEST(CsvWriterTest, QuotesFieldsOnlyWhenNeeded) {
  const struct {
    std::string value, written;
  } kCases[] = {
      {"abc", "abc"},
      {"", ""},
      {" a b ", " a b "},
      {"a;b\tc", "a;b\tc"},
      {"서울 강남구", "서울 강남구"},
      {"a,b", "\"a,b\""},
      {"a\"b", "\"a\"\"b\""},
      {"\"", "\"\"\"\""},
      {"a\nb", "\"a\nb\""},
      {"a\rb", "\"a\rb\""},
      {"a\r\n", "\"a\r\n\""},
  };
  for (const auto& c : kCases) {
    std::string out = "x";
    cli::AppendCsvField(c.value, out);
    EXPECT_EQ(out, "x" + c.written) << c.value;
    // And it reads back as the value (alone on its line an empty field would
    // be a blank line).
    const ReadResult back = ReadAll(FromString(c.written + ",z\n", kWhole));
    EXPECT_EQ(back.records, std::vector<std::string>{"1:[" + c.value + "][z]$lf"}) << c.value;
  }
}

TEST(CsvWriterTest, PlacesTheTextAndKeepsEveryOtherByte) {
  const auto kAppend = cli::kCsvAppendField;
  const struct {
    std::string input;
    std::string text;
    std::size_t at;
    std::string output;
  } kCases[] = {
      {"a,\"b\",c\n", "X", kAppend, "a,\"b\",c,X\n"},
      {"a,\"b\",c\n", "X", 0, "X,\"b\",c\n"},
      {"a,\"b\",c\n", "X", 1, "a,X,c\n"},
      {"a,\"b\",c\n", "X", 2, "a,\"b\",X\n"},
      {"a,b\r\n", "x,y", kAppend, "a,b,\"x,y\"\r\n"},
      {"a,b", "X", kAppend, "a,b,X"},
      {"a,b", "X", 1, "a,X"},
      {"\xEF\xBB\xBFname,x\n", "out", kAppend, "\xEF\xBB\xBFname,x,out\n"},
      {"\xEF\xBB\xBFname,x\n", "out", 0, "\xEF\xBB\xBFout,x\n"},
      {"\"q\"\"\",  b  ,\n", "X", kAppend, "\"q\"\"\",  b  ,,X\n"},
      {"\"q\"\"\",  b  ,\n", "X", 2, "\"q\"\"\",  b  ,X\n"},
      {"\"a\r\nb\",c\r\n", "line\nbreak", 1, "\"a\r\nb\",\"line\nbreak\"\r\n"},
      {"a\rb,c\n", "say \"hi\"", 0, "\"say \"\"hi\"\"\",c\n"},
      {"\n", "X", kAppend, "\n"},
      {"\r\n", "X", 0, "\r\n"},
      // The value of a BOM at the start of the file would be read as one.
      {"\"\xEF\xBB\xBF\",b\n", "\xEF\xBB\xBF", 0, "\"\xEF\xBB\xBF\",b\n"},
      {"\xEF\xBB\xBF"
       "a,b\n",
       "\xEF\xBB\xBF", 0, "\xEF\xBB\xBF\xEF\xBB\xBF,b\n"},
      {"a,b\n", "\xEF\xBB\xBF", 1, "a,\xEF\xBB\xBF\n"},
  };
  for (const auto& c : kCases) {
    CsvReader reader(FromString(c.input, kWhole));
    CsvRecord record;
    ASSERT_TRUE(reader.Next(record)) << c.input;
    std::string out = "<";
    EXPECT_TRUE(cli::AppendCsvRecord(record, c.text, c.at, out)) << c.input;
    EXPECT_EQ(out, "<" + c.output) << c.input;
  }
}

TEST(CsvWriterTest, QuotesBomBytesOnlyAtTheStartOfTheFile) {
  CsvReader reader(FromString("a\nb\n", kWhole));
  CsvRecord record;
  std::string out;
  while (reader.Next(record)) cli::AppendCsvRecord(record, "\xEF\xBB\xBFx", 0, out);
  EXPECT_EQ(out, "\"\xEF\xBB\xBFx\"\n\xEF\xBB\xBFx\n");
}

TEST(CsvWriterTest, RefusesAFieldTheRecordLacks) {
  CsvReader reader(FromString("x\n\"a\nb\",c\n", kWhole));
  CsvRecord record;
  ASSERT_TRUE(reader.Next(record));
  ASSERT_TRUE(reader.Next(record));
  std::string out = "<";
  EXPECT_FALSE(cli::AppendCsvRecord(record, "X", 2, out));
  EXPECT_EQ(out, "<");
  const CsvError e = cli::MissingFieldError(record, 2);
  EXPECT_EQ(e.kind, CsvErrorKind::kMissingField);
  EXPECT_EQ(e.line, 2u);
  EXPECT_EQ(e.field, 3u);
  EXPECT_EQ(e.message, "line 2: no field 3 (the record has 2)");
}

TEST(CsvWriterTest, FindsHeaderNamesByValue) {
  CsvReader reader(FromString("\xEF\xBB\xBFname,\"my col\",name,주소\n", kWhole));
  CsvRecord header;
  ASSERT_TRUE(reader.Next(header));
  EXPECT_EQ(cli::FindCsvField(header, "name"), 0u);
  EXPECT_EQ(cli::FindCsvField(header, "my col"), 1u);
  EXPECT_EQ(cli::FindCsvField(header, "주소"), 3u);
  EXPECT_EQ(cli::FindCsvField(header, "\"my col\""), std::string::npos);
  EXPECT_EQ(cli::FindCsvField(header, "\xEF\xBB\xBFname"), std::string::npos);
}

}  // namespace
}  // namespace jasokit
