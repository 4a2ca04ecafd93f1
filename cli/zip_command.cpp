#include <algorithm>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "cli/cli.h"
#include "cli/options.h"
#include "frontend/codec.h"
#include "frontend/input.h"
#include "frontend/json.h"
#include "frontend/zip_query.h"
#include "jasokit/convert.h"
#include "jasokit/cp949.h"
#include "jasokit/zip.h"
#include "platform/program_folder.h"

namespace jasokit::cli {

namespace {

constexpr const char* kZipHelp =
    "usage: jasokit zip [--db FILE] [--prefix | --code] [--cp949] [--json]\n"
    "                   [--convert [--style S]] [NAME...]\n"
    "\n"
    "Looks up each NAME (a dong, eup or myeon name, matched exactly: spaces\n"
    "count) in the zip code table and writes one line per matching row:\n"
    "zip code, province, district, place name and detail, joined by spaces and\n"
    "padded as in the table, in ascending byte order. Without NAME, names are\n"
    "read from standard input, one per line.\n"
    "\n"
    "options:\n"
    "  --db FILE   read the table from FILE instead of zipcode030101t6.dbf\n"
    "              beside the jasokit executable\n"
    "  --prefix    each NAME is the start of place names: 역삼 lists the rows of\n"
    "              역삼1동 and 역삼2동 (an empty prefix is refused)\n"
    "  --code      each NAME is a zip code (135-080, or 135080): lists its rows\n"
    "  --cp949     read and write CP949 bytes instead of UTF-8 (JSON output is\n"
    "              UTF-8 all the same, as JSON must be)\n"
    "  --json      write one JSON object per NAME, on one line:\n"
    "              {\"name\": NAME, \"records\": [...]} (\"prefix\" or \"code\" instead\n"
    "              of \"name\" with those options; null for a NAME too long to\n"
    "              hold); each record has \"zip_code\", \"province\", \"district\",\n"
    "              \"locality\" and \"detail\", padded as in the table, in the order\n"
    "              of the lines, and \"conversion\" with --convert\n"
    "  --convert   under each line, write a TAB and the conversion of the line's\n"
    "              address (the line without its zip code, runs of spaces\n"
    "              collapsed), as the desktop program does when a row is chosen\n"
    "  --style S   the style of --convert: classic (the default) or official\n"
    "  --help      show this help\n"
    "\n"
    "A name with no match is reported on standard error as \"찾지 못했습니다.\"\n"
    "(prefixed with the quoted name when several names are looked up). After a\n"
    "name looked up exactly, up to five place names that start with it or\n"
    "differ from it only by a number or a unit syllable at the end follow on\n"
    "the next line: \"did you mean: 역삼1동, 역삼2동\". A name of more than 1024\n"
    "bytes is a miss, reported with its place (\"line 3\") instead of the name;\n"
    "no place name comes near that length.\n"
    "\n"
    "exit status: 0 every name found, 1 the table could not be loaded (its\n"
    "message is on standard error), 2 usage error, 3 input/output error,\n"
    "4 some name matched nothing\n";

// What each lookup writes beside its rows.
struct ZipWriting {
  bool convert = false;       // --convert: each row's address converted
  bool json = false;          // --json: one object per name
  bool nameEachMiss = false;  // more than one name: a miss says which
  bool utf8 = true;           // the output is UTF-8, not CP949 (--cp949)
};

class ZipLookup {
 public:
  ZipLookup(CliIo& io, const ZipDatabase& db, const Options& options, LookupMode mode, const TextCodec& codec,
            const ZipWriting& writing)
      : m_io(io),
        m_db(db),
        m_options(options),
        m_mode(mode),
        m_codec(codec),
        m_convert(writing.convert),
        m_json(writing.json),
        m_nameEachMiss(writing.nameEachMiss),
        m_utf8(writing.utf8) {}

  // Looks up one name as given on the command line or standard input; false
  // once standard output has failed.
  bool Lookup(const HeldLine& input, const char* where, std::size_t number) {
    if (input.overLong()) {
      // Not held, and not worth a search: no place name comes near the limit.
      m_io.Error("jasokit zip: " + std::string(where) + " " + std::to_string(number) + ": more than " +
                 std::to_string(kMaxZipNameBytes) + " bytes, longer than any place name\n");
      ReportMiss(std::string_view(), false, nullptr);
      return WriteJson(nullptr, {});
    }
    const std::string_view name = input.text();
    std::string query;
    if (!m_codec.AppendCp949(name, query)) {
      // A table of CP949 text cannot hold it; searching for the '?' stand-ins
      // could only give false hits.
      m_io.Error("jasokit zip: " + std::string(where) + " " + std::to_string(number) +
                 ": invalid UTF-8 or a character with no CP949 form\n");
      ReportMiss(name, m_nameEachMiss, nullptr);
      return WriteJson(&name, {});
    }
    if (m_mode == LookupMode::kPrefix && query.empty()) {
      m_io.Error("jasokit zip: " + std::string(where) + " " + std::to_string(number) +
                 ": an empty prefix would list every row\n");
      ReportMiss(name, m_nameEachMiss, nullptr);
      return WriteJson(&name, {});
    }
    const ZipLines lines = FindZipLines(m_db, m_mode, query);
    if (!lines.empty() && m_db.isSample() && !m_sampleTold) {
      m_io.Error(std::string("jasokit zip: note: ") + kSampleTableNote + "\n");
      m_sampleTold = true;
    }
    if (lines.empty()) {
      std::vector<std::string> suggestions;
      if (m_mode == LookupMode::kExact) suggestions = m_db.SuggestLocalities(query);
      ReportMiss(name, m_nameEachMiss, &suggestions);
    }
    if (m_json) return WriteJson(&name, lines);
    for (const auto& [line, record] : lines) {
      m_out.clear();
      AppendText(line);
      m_out += '\n';
      if (m_convert) {
        m_out += '\t';
        AppendText(ListLineConversion(line, m_options));
        m_out += '\n';
      }
      if (!m_io.Write(m_out)) return false;
    }
    return true;
  }

  bool missed() const { return m_missed; }

 private:
  void ReportMiss(std::string_view name, bool quoteName, const std::vector<std::string>* suggestions) {
    m_missed = true;
    std::string message;
    if (quoteName) {
      message = "'";
      AppendVisible(name, m_utf8, message);
      message += "': ";
    }
    m_codec.AppendFromUtf8(kNotFoundMessageUtf8, message);
    message += '\n';
    if (suggestions && !suggestions->empty()) {
      message += "did you mean: ";
      for (std::size_t i = 0; i < suggestions->size(); ++i) {
        if (i > 0) message += ", ";
        std::string suggestion;
        m_codec.AppendFromCp949((*suggestions)[i], suggestion);
        AppendVisible(suggestion, m_utf8, message);
      }
      message += '\n';
    }
    m_io.Error(message);
  }

  // One object for the name (nullptr: not held); true unless JSON is off or
  // the write failed.
  bool WriteJson(const std::string_view* name, const ZipLines& lines) {
    if (!m_json) return true;
    std::string utf8Name;
    if (name) m_codec.AppendUtf8(*name, utf8Name);
    m_out.clear();
    AppendZipJson(kModeKeys[static_cast<std::size_t>(m_mode)], name ? &utf8Name : nullptr, lines,
                  m_convert ? &m_options : nullptr, m_db.isSample(), m_out);
    m_out += '\n';
    return m_io.Write(m_out);
  }

  // The table's bytes with their control characters escaped.
  void AppendText(const std::string& cp949) {
    m_text.clear();
    m_codec.AppendFromCp949(cp949, m_text);
    AppendVisible(m_text, m_utf8, m_out);
  }

  CliIo& m_io;
  const ZipDatabase& m_db;
  const Options& m_options;
  LookupMode m_mode;
  const TextCodec& m_codec;
  bool m_convert;
  bool m_json;
  bool m_nameEachMiss;
  bool m_missed = false;
  bool m_sampleTold = false;
  bool m_utf8;  // the output's encoding is UTF-8, not CP949
  std::string m_out;
  std::string m_text;
};

enum ZipOption : std::size_t { kOptDb, kOptCp949, kOptConvert, kOptStyle, kOptPrefix, kOptCode, kOptJson };
constexpr OptionRule kZipOptions[] = {
    {kOptDb, "--db", nullptr, "a FILE"},          {kOptCp949, "--cp949", nullptr, nullptr},
    {kOptConvert, "--convert", nullptr, nullptr}, {kOptStyle, "--style", nullptr, "a STYLE (classic or official)"},
    {kOptPrefix, "--prefix", nullptr, nullptr},   {kOptCode, "--code", nullptr, nullptr},
    {kOptJson, "--json", nullptr, nullptr},
};
static_assert(InIdOrder(kZipOptions));

int RunZip(const ParsedArgs& parsed, CliIo& io) {
  Options options;
  if (!StyleOption(parsed, kOptStyle, "zip", io, options.style)) return kExitUsage;
  if (parsed.Has(kOptPrefix) && parsed.Has(kOptCode)) {
    return UsageError(io, "zip", "--prefix and --code exclude each other");
  }

  const std::string* given = parsed.Value(kOptDb);
  const std::string path = given ? *given : platform::FileBeside(io.ExecutableDir(), kZipFileName);
  ZipDatabase db;
  const ZipLoadStatus loaded = db.Load(path);
  // The table beside the program loads as the window's does; one the user
  // names must be a table, and a folder or a device is named as such.
  const bool named = parsed.Value(kOptDb) != nullptr;
  const std::string problem = named ? NamedTableProblem(path, loaded, db) : std::string();
  if (loaded != ZipLoadStatus::Ok || !problem.empty()) {
    std::string message = loaded != ZipLoadStatus::Ok ? std::string(ZipLoadMessage(loaded)) + "\n" : std::string();
    const bool says = loaded == ZipLoadStatus::Ok || loaded == ZipLoadStatus::IsDirectory;
    if (loaded == ZipLoadStatus::NotRegularFile || (named && says)) {
      message += "jasokit zip: " + path + ": " + NamedTableProblem(path, loaded, db) + "\n";
    }
    io.Error(message);
    return kExitTableError;
  }

  const LookupMode mode = parsed.Has(kOptPrefix) ? LookupMode::kPrefix
                          : parsed.Has(kOptCode) ? LookupMode::kCode
                                                 : LookupMode::kExact;
  ZipWriting writing;
  writing.convert = parsed.Has(kOptConvert);
  writing.json = parsed.Has(kOptJson);
  writing.nameEachMiss = parsed.operands.size() != 1;
  writing.utf8 = !parsed.Has(kOptCp949);
  ZipLookup lookup(io, db, options, mode, TextCodec::For(parsed.Has(kOptCp949)), writing);
  // The CR of a CRLF line ending is not part of the name.
  HeldLine name(kMaxZipNameBytes, HeldLine::kStripCr);
  const bool read = ForEachInput(parsed.operands, io, "zip", name, [&](const char* where, std::size_t number) {
    return lookup.Lookup(name, where, number);
  });
  if (!read) return kExitIo;
  return lookup.missed() ? kExitNotFound : kExitOk;
}

}  // namespace

constexpr Command kZipCommand = MakeCommand("zip", "look up zip codes by place name", kZipHelp, kZipOptions, RunZip);

}  // namespace jasokit::cli
