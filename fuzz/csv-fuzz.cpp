// The streaming CSV reader on any bytes, read in pieces of random sizes: the
// records written back unchanged give the input (up to the error, if any),
// none passes the record limit, each field's value follows from its raw
// bytes, the result does not depend on the pieces, and records with a field
// replaced or added read back as written; read as zipdb reads (lone CRs end
// lines, over-long records are skipped), the pieces make no difference either.
//
// Input: a byte seeding the piece sizes, a byte for the record limit (0: the
// real one, else that many bytes), then the CSV text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/csv.h"
#include "fuzz-check.h"

namespace {

using namespace jasokit::cli;

struct Outcome {
  std::vector<std::string> records;  // raw bytes and values, one string each
  std::string rebuilt;
  CsvError error;
};

// What a raw field decodes to.
std::string Unquote(std::string_view raw) {
  if (raw.empty() || raw.front() != '"') return std::string(raw);
  std::string value;
  for (std::size_t i = 1; i + 1 < raw.size(); ++i) {
    value += raw[i];
    if (raw[i] == '"') ++i;  // the first of a doubled pair
  }
  return value;
}

std::vector<std::string> Values(const CsvRecord& r) {
  std::vector<std::string> values;
  for (std::size_t i = 0; i < r.size(); ++i) values.emplace_back(r[i].value);
  return values;
}

void CheckRecord(const CsvRecord& r, std::size_t max) {
  FUZZ_CHECK(r.raw().size() <= max);
  FUZZ_CHECK(r.terminator() == "\n" || r.terminator() == "\r\n" || r.terminator().empty());
  std::string joined;
  for (std::size_t i = 0; i < r.size(); ++i) {
    if (i > 0) joined += ',';
    joined += r[i].raw;
    FUZZ_CHECK(r[i].value == Unquote(r[i].raw));
  }
  FUZZ_CHECK(joined == r.raw());
}

CsvReader::Pull From(const std::string& text, std::size_t& pos) {
  return [&text, &pos](char* buffer, std::size_t size) -> long {
    const std::size_t n = std::min(size, text.size() - pos);
    text.copy(buffer, n, pos);
    pos += n;
    return static_cast<long>(n);
  };
}

// in, handed over in pieces whose sizes follow from seed (0: as large as
// the reader asks).
CsvReader::Pull InPieces(std::string_view in, std::uint32_t seed) {
  const std::uint32_t largest = seed == 0 ? 0xFFFFFFFFu : 1 + seed % 64;
  return [in, largest, pos = std::size_t{0}, state = seed * 2654435761u + 1](char* buffer,
                                                                             std::size_t size) mutable -> long {
    state = state * 1103515245u + 12345u;
    std::size_t n = 1 + (state >> 8) % largest;
    n = std::min({n, size, in.size() - pos});
    in.copy(buffer, n, pos);
    pos += n;
    return static_cast<long>(n);
  };
}

// A record as one string: head, the values, the line end and the line.
std::string Described(const CsvRecord& r, std::string head) {
  for (std::size_t i = 0; i < r.size(); ++i) head += "|" + std::string(r[i].value);
  return head + "|" + std::string(r.terminator()) + std::to_string(r.line());
}

// Every record with its first field replaced by its own value, or with an
// awkward field added, reads back with those values.
void CheckWriting(const std::vector<CsvRecord>& records) {
  const std::string added = "x,\"y\r\nz";
  for (const std::size_t at : {std::size_t{0}, kCsvAppendField}) {
    std::string out;
    std::vector<std::vector<std::string>> expected;
    std::vector<const CsvRecord*> written;
    for (const CsvRecord& r : records) {
      const std::string text = at == 0 && !r.blank() ? std::string(r[0].value) : added;
      FUZZ_CHECK(AppendCsvRecord(r, text, at, out));
      std::vector<std::string> values = Values(r);
      if (!r.blank()) {
        if (at == 0)
          values[0] = text;
        else
          values.push_back(text);
      }
      // A lone empty field is written as a blank line, which reads as no
      // field, or, last and without a line end, as nothing at all.
      if (values == std::vector<std::string>{""}) {
        values.clear();
        if (r.prefix().empty() && r.terminator().empty()) continue;
      }
      expected.push_back(values);
      written.push_back(&r);
    }
    std::size_t pos = 0;
    CsvReader back(From(out, pos));
    CsvRecord again;
    for (std::size_t i = 0; i < written.size(); ++i) {
      FUZZ_CHECK(back.Next(again));
      FUZZ_CHECK(Values(again) == expected[i]);
      FUZZ_CHECK(again.prefix() == written[i]->prefix());
      FUZZ_CHECK(again.terminator() == written[i]->terminator());
    }
    FUZZ_CHECK(!back.Next(again) && !back.error());
  }
}

// zipdb's reading, lone CRs ending lines and over-long records skipped: the
// same records whatever the pieces, and the input back when none was skipped.
std::vector<std::string> ReadSkipping(std::string_view in, std::size_t max, std::uint32_t seed, bool& whole,
                                      std::string& error) {
  CsvReader reader(InPieces(in, seed), max, kCsvCrEndsLines | kCsvSkipOverLong);
  std::vector<std::string> described;
  std::string rebuilt;
  bool skipped = false;
  CsvRecord r;
  while (reader.Next(r)) {
    FUZZ_CHECK(r.raw().size() <= max);
    FUZZ_CHECK(!r.overLong() || (r.size() == 0 && r.raw().empty()));
    skipped = skipped || r.overLong();
    AppendCsvRecord(r, rebuilt);
    described.push_back(Described(r, r.overLong() ? "!" : std::string(r.prefix())));
  }
  FUZZ_CHECK(reader.error().kind != CsvErrorKind::kRecordTooLong);
  error = reader.error().message;
  whole = !skipped && !reader.error() && rebuilt == in;
  FUZZ_CHECK(skipped || reader.error() || whole);
  return described;
}

Outcome ReadAll(std::string_view in, std::size_t max, std::uint32_t seed) {
  Outcome o;
  CsvReader reader(InPieces(in, seed), max);
  CsvRecord r;
  std::vector<CsvRecord> all;
  std::size_t line = 1;  // of the next record
  while (reader.Next(r)) {
    CheckRecord(r, max);
    FUZZ_CHECK(r.line() == line);
    const std::size_t start = o.rebuilt.size();
    AppendCsvRecord(r, o.rebuilt);
    line += static_cast<std::size_t>(std::count(o.rebuilt.begin() + static_cast<long>(start), o.rebuilt.end(), '\n'));
    FUZZ_CHECK(reader.consumed() == o.rebuilt.size());
    FUZZ_CHECK(in.substr(0, o.rebuilt.size()) == o.rebuilt);
    o.records.push_back(Described(r, std::string(r.prefix())));
    all.push_back(r);
  }
  o.error = reader.error();
  CheckWriting(all);
  return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::uint32_t seed = data[0];
  const std::size_t max = data[1] == 0 ? kCsvMaxRecordBytes : data[1];
  const std::string_view in(reinterpret_cast<const char*>(data) + 2, size - 2);

  const Outcome pieces = ReadAll(in, max, seed);
  if (!pieces.error) {
    FUZZ_CHECK(pieces.rebuilt == in);
  } else {
    const CsvError& e = pieces.error;
    FUZZ_CHECK(e.kind != CsvErrorKind::kReadFailed && e.kind != CsvErrorKind::kMissingField);
    FUZZ_CHECK(e.line == 1 + static_cast<std::size_t>(std::count(pieces.rebuilt.begin(), pieces.rebuilt.end(), '\n')));
    FUZZ_CHECK(e.foundLine >= e.line);
    FUZZ_CHECK(e.message.rfind("line " + std::to_string(e.line) + ": ", 0) == 0);
  }
  // The pieces make no difference.
  const Outcome whole = ReadAll(in, max, 0);
  FUZZ_CHECK(whole.records == pieces.records);
  FUZZ_CHECK(whole.error.message == pieces.error.message);

  bool backPieces = false, backWhole = false;
  std::string errorPieces, errorWhole;
  FUZZ_CHECK(ReadSkipping(in, max, seed, backPieces, errorPieces) == ReadSkipping(in, max, 0, backWhole, errorWhole));
  FUZZ_CHECK(backPieces == backWhole && errorPieces == errorWhole);
  return 0;
}
