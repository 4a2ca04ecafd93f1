// jasokit romanize --name: personal names, one per argument, line or CSV
// record.
#include "cli/name_command.h"

#include <iterator>
#include <optional>
#include <string>

#include "cli/cli.h"
#include "cli/options.h"
#include "frontend/csv.h"
#include "frontend/input.h"
#include "frontend/json.h"
#include "jasokit/cp949.h"
#include "jasokit/name.h"

namespace jasokit::cli {

namespace {

constexpr const char* kNameHelp =
    "usage: jasokit romanize --name [--surname common|rr] [--hyphen] [--given-first]\n"
    "                        [--upper] [--json] [NAME...]\n"
    "       jasokit romanize --name --csv [--column N|NAME] [--header]\n"
    "                        [--in-place | --output-column NAME] [--surname S]\n"
    "                        [--hyphen] [--given-first] [--upper]\n"
    "\n"
    "Romanizes each NAME, or each line of standard input when no NAME is given,\n"
    "as passports write names: the family name, a space, then the given name as\n"
    "one word. Each syllable keeps its own letters, with no sound change between\n"
    "syllables: 한복남 is Han Boknam, 이주은 Lee Jueun, 한라 Hanra.\n"
    "Characters that are not Hangul syllables pass through unchanged.\n"
    "\n"
    "The family name: a space decides where it ends (황보 영, 김 연아).\n"
    "Without a space it is the first syllable, or the first two when they are\n"
    "a two-syllable family name (남궁, 황보, 제갈, 선우, 독고, 사공, 서문,\n"
    "동방, ...) and the name has three syllables or more: 남궁민 is Namgung\n"
    "Min; write 남 궁민 for Nam Gungmin.\n"
    "\n"
    "options:\n"
    "  --surname S     common (the default): the spelling most passports use\n"
    "                  (Kim, Lee, Park, Choi, Jung, Kang, Yoon, Yoo, Shin, Lim),\n"
    "                  from published passport figures; other family names as rr.\n"
    "                  rr: the Revised Romanization's letters (Gim, I, Bak)\n"
    "  --hyphen        a hyphen between the given name's syllables: Gil-dong\n"
    "  --given-first   the given name first: Gildong Hong\n"
    "  --upper         upper case, as in passports: HONG GILDONG\n"
    "  --json          write one JSON object per name, on one line:\n"
    "                  {\"name\", \"family\", \"given\", \"output\", \"surname_table\"};\n"
    "                  \"surname_table\" is the table the spelling came from (a\n"
    "                  family name the common table lacks is \"rr\")\n"
    "  --help          show this help\n"
    "\n"
    "CSV (RFC 4180) from standard input to standard output, as convert --csv:\n"
    "  --csv, --column N|NAME, --header, --output-column NAME (default:\n"
    "  romanized) and --in-place romanize one field of each record and write\n"
    "  every other byte as read.\n"
    "\n"
    "A blank line, or one with more than five syllables before any space, is no\n"
    "name: it is romanized as text in the official style, with a warning naming\n"
    "its line. A name of more than 4096 bytes, or such a text of more than 1024\n"
    "characters, is refused: its output is empty, and the refusal is reported.\n"
    "A NUL byte ends the name; invalid UTF-8 becomes U+FFFD, with a warning.\n"
    "\n"
    "exit status: 0 all romanized, 2 usage error or badly formed CSV,\n"
    "3 input/output error, 6 some name refused as too long\n";

enum NameOption : std::size_t {
  kOptName,
  kOptSurname,
  kOptHyphen,
  kOptGivenFirst,
  kOptUpper,
  kOptJson,
  kOptCsv,
  kOptColumn,
  kOptHeader,
  kOptInPlace,
  kOptOutputColumn,
};
constexpr OptionRule kNameOptions[] = {
    {kOptName, "--name", nullptr, nullptr},
    {kOptSurname, "--surname", nullptr, "a TABLE (common or rr)"},
    {kOptHyphen, "--hyphen", nullptr, nullptr},
    {kOptGivenFirst, "--given-first", nullptr, nullptr},
    {kOptUpper, "--upper", nullptr, nullptr},
    {kOptJson, "--json", nullptr, nullptr},
    {kOptCsv, "--csv", nullptr, nullptr},
    {kOptColumn, "--column", nullptr, "a column number or NAME"},
    {kOptHeader, "--header", nullptr, nullptr},
    {kOptInPlace, "--in-place", nullptr, nullptr},
    {kOptOutputColumn, "--output-column", nullptr, "a NAME"},
};
static_assert(InIdOrder(kNameOptions));

constexpr const char* kCommand = "romanize";
// Usage errors point at the help of names.
constexpr const char* kUsageCommand = "romanize --name";

struct CsvSettings : CsvColumnChoice {
  CsvSettings() { outputColumn = "romanized"; }
};

// Romanizes names and tells the user about the odd ones.
class NameWriter {
 public:
  NameWriter(CliIo& io, const NameOptions& options) : m_io(io), m_options(options) {}

  // The result for one text, after the warnings it calls for.
  const NameResult& Romanize(std::string_view text, bool valid, const char* where, std::size_t number) {
    m_result = RomanizeName(text, m_options);
    if (!valid && !m_invalidWarned) {
      m_invalidWarned = true;
      Warn(where, number, "invalid UTF-8, romanized as U+FFFD");
    }
    if (m_result.isName) return m_result;
    // Romanize gives nothing for a text over its limit.
    if (m_result.output.empty() && !text.empty() && text.front() != '\0') {
      Refuse(where, number);
    } else {
      Warn(where, number, "not a name (blank, or more than five syllables before a space), romanized as text");
    }
    return m_result;
  }

  void Refuse(const char* where, std::size_t number) {
    m_refused = true;
    m_io.Error("jasokit romanize: " + std::string(where) + " " + std::to_string(number) +
               ": too long (a name of more than 4096 bytes, or a text of more than 1024 characters)\n");
  }
  bool refused() const { return m_refused; }

 private:
  void Warn(const char* where, std::size_t number, const char* what) {
    m_io.Error("jasokit romanize: warning: " + std::string(where) + " " + std::to_string(number) + ": " + what + "\n");
  }

  CliIo& m_io;
  const NameOptions& m_options;
  NameResult m_result;
  bool m_invalidWarned = false;
  bool m_refused = false;
};

int RunLines(const ParsedArgs& parsed, NameWriter& writer, CliIo& io) {
  const bool json = parsed.Has(kOptJson);
  HeldLine text(kMaxPersonNameBytes, HeldLine::kStripCr | HeldLine::kCutAtNul | HeldLine::kCheckUtf8);
  std::string out;
  const bool read = ForEachInput(parsed.operands, io, kCommand, text, [&](const char* where, std::size_t number) {
    out.clear();
    if (text.overLong()) {
      writer.Refuse(where, number);
      if (json) AppendNameJson(NameResult(), out);
      out += '\n';
      return io.Write(out);
    }
    const NameResult& r = writer.Romanize(text.text(), text.validUtf8(), where, number);
    if (json) {
      AppendNameJson(r, out);
    } else {
      out += r.output;
    }
    out += '\n';
    return io.Write(out);
  });
  if (!read) return kExitIo;
  return writer.refused() ? kExitRefused : kExitOk;
}

// The header record: the column looked up by name, and the new column named.
bool WriteHeader(const CsvRecord& r, CsvSettings& s, std::string& out, std::string& error) {
  if (s.columnName) {
    s.column = FindCsvField(r, *s.columnName);
    if (s.column == std::string_view::npos) {
      error = "line " + std::to_string(r.line()) + ": no column named '" + *s.columnName + "' in the header";
      return false;
    }
  }
  if (s.inPlace) {
    AppendCsvRecord(r, out);
  } else {
    AppendCsvRecord(r, s.outputColumn, kCsvAppendField, out);
  }
  return true;
}

int RunCsv(CsvSettings& s, NameWriter& writer, CliIo& io) {
  CsvReader reader([&io](char* buffer, std::size_t size) { return io.Read(buffer, size); });
  CsvRecord r;
  bool headerPending = s.header;
  std::string out;
  std::string error;
  while (error.empty() && reader.Next(r)) {
    out.clear();
    if (headerPending && !r.blank()) {
      headerPending = false;
      if (!WriteHeader(r, s, out, error)) break;
    } else if (r.blank()) {
      AppendCsvRecord(r, out);
    } else if (r.size() <= s.column) {
      error = MissingFieldError(r, s.column).message;
      break;
    } else {
      const std::string_view value = r[s.column].value;
      const bool valid = IsValidUtf8(value);
      const NameResult& n = writer.Romanize(value, valid, "line", r.line());
      AppendCsvRecord(r, n.output, s.inPlace ? s.column : kCsvAppendField, out);
    }
    if (!io.Write(out)) break;
  }
  const bool flushed = io.Flush();
  if (!flushed) {
    io.Error("jasokit romanize: error writing standard output\n");
    return kExitIo;
  }
  if (reader.error().kind == CsvErrorKind::kReadFailed) {
    io.Error(InputReadError(io, "romanize"));
    return kExitIo;
  }
  if (error.empty()) error = reader.error().message;
  if (!error.empty()) {
    io.Error("jasokit romanize: " + error + "; the output stops before this record\n");
    return kExitUsage;
  }
  return writer.refused() ? kExitRefused : kExitOk;
}

constexpr CsvOptionIds kCsvOptionIds = {kOptColumn, kOptHeader, kOptInPlace, kOptOutputColumn};

// The CSV options into s: kExitOk, or kExitUsage after reporting the error.
int ReadCsvSettings(const ParsedArgs& parsed, CsvSettings& s, CliIo& io) {
  const bool csv = parsed.Has(kOptCsv);
  if (const int rc = RefuseCsvOnly(parsed, kNameOptions, kCsvOptionIds, csv, kUsageCommand, io)) return rc;
  if (csv && parsed.Has(kOptJson)) return UsageError(io, kUsageCommand, "--csv and --json exclude each other");
  if (csv && !parsed.operands.empty()) {
    return UsageError(io, kUsageCommand, "--csv reads standard input; no NAME may be given");
  }
  return ReadCsvColumnChoice(parsed, kCsvOptionIds, kUsageCommand, io, s);
}

}  // namespace

bool AsksForNames(const Args& args) {
  for (const std::string& a : args) {
    if (a == "--") return false;
    if (a == "--name") return true;
  }
  return false;
}

namespace {

int RunRomanizeName(const ParsedArgs& parsed, CliIo& io) {
  NameOptions options;
  if (const std::string* table = parsed.Value(kOptSurname)) {
    if (!ParseSurnameTable(*table, options.surnames)) {
      return UsageError(io, kUsageCommand, "unknown surname table '" + *table + "' (common or rr)");
    }
  }
  options.hyphen = parsed.Has(kOptHyphen);
  options.givenFirst = parsed.Has(kOptGivenFirst);
  options.upper = parsed.Has(kOptUpper);
  CsvSettings csv;
  if (const int rc = ReadCsvSettings(parsed, csv, io); rc != kExitOk) return rc;
  NameWriter writer(io, options);
  if (parsed.Has(kOptCsv)) return RunCsv(csv, writer, io);
  return RunLines(parsed, writer, io);
}

}  // namespace

// Not a command of its own: romanize with --name, which takes other options.
constexpr Command kRomanizeNameCommand =
    MakeCommand(kUsageCommand, "romanize personal names", kNameHelp, kNameOptions, RunRomanizeName);

}  // namespace jasokit::cli
