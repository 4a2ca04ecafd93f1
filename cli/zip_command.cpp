#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/input.h"
#include "cli/options.h"
#include "jasokit/convert.h"
#include "jasokit/cp949.h"
#include "jasokit/zip.h"

namespace jasokit::cli {

namespace {

// Far more than any place name takes (43 CP949 bytes in the table); a longer
// name is a miss, and is not held.
constexpr std::size_t kMaxNameBytes = 1024;

constexpr const char* kZipHelp =
    "usage: jasokit zip [--db FILE] [--cp949] [--convert [--style S]] [NAME...]\n"
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
    "  --cp949     read and write CP949 bytes instead of UTF-8\n"
    "  --convert   under each line, write a TAB and the conversion of the line's\n"
    "              address (the line without its zip code, runs of spaces\n"
    "              collapsed), as the desktop program does when a row is chosen\n"
    "  --style S   the style of --convert: classic (the default) or official\n"
    "  --help      show this help\n"
    "\n"
    "A name with no match is reported on standard error as \"찾지 못했습니다.\"\n"
    "(prefixed with the quoted name when several names are looked up). A name\n"
    "of more than 1024 bytes is a miss, reported with its place (\"line 3\")\n"
    "instead of the name; no place name comes near that length.\n"
    "\n"
    "exit status: 0 every name found, 1 the table could not be loaded (its\n"
    "message is on standard error), 2 usage error, 3 input/output error,\n"
    "4 some name matched nothing\n";


class ZipLookup {
 public:
  ZipLookup(CliIo& io, const ZipDatabase& db, const Options& options, bool cp949, bool convert, bool nameEachMiss)
      : m_io(io), m_db(db), m_options(options), m_cp949(cp949), m_convert(convert), m_nameEachMiss(nameEachMiss) {}

  // Looks up one name as given on the command line or standard input; false
  // once standard output has failed.
  bool Lookup(const HeldLine& input, const char* where, std::size_t number) {
    if (input.overLong()) {
      // Not held, and not worth a search: no place name comes near the limit.
      m_io.Error("jasokit zip: " + std::string(where) + " " + std::to_string(number) + ": more than " +
                 std::to_string(kMaxNameBytes) + " bytes, longer than any place name\n");
      return ReportMiss(std::string_view(), false);
    }
    const std::string_view name = input.text();
    std::string query;
    if (m_cp949) {
      query = name;
    } else if (!Utf8ToCp949(name, query)) {
      // A table of CP949 text cannot hold it; searching for the '?' stand-ins
      // could only give false hits.
      m_io.Error("jasokit zip: " + std::string(where) + " " + std::to_string(number) +
                 ": invalid UTF-8 or a character with no CP949 form\n");
      return ReportMiss(name, m_nameEachMiss);
    }
    const std::vector<std::string> lines = FormatSearchLines(m_db, query);
    if (lines.empty()) return ReportMiss(name, m_nameEachMiss);
    for (const std::string& line : lines) {
      m_out.clear();
      AppendText(line);
      m_out += '\n';
      if (m_convert) {
        const ConversionResult r = ConvertInput(ListLineToAddress(line), m_options);
        m_out += '\t';
        if (r.status == ConversionStatus::Address || r.status == ConversionStatus::PlainText) {
          AppendText(r.outputText);
        }
        m_out += '\n';
      }
      if (!m_io.Write(m_out)) return false;
    }
    return true;
  }

  bool missed() const { return m_missed; }

 private:
  bool ReportMiss(std::string_view name, bool quoteName) {
    m_missed = true;
    std::string message;
    if (quoteName) message = "'" + std::string(name) + "': ";
    if (m_cp949) {
      Utf8ToCp949(kNotFoundMessageUtf8, message);
    } else {
      message += kNotFoundMessageUtf8;
    }
    message += '\n';
    m_io.Error(message);
    return true;
  }

  void AppendText(const std::string& cp949) {
    if (m_cp949) {
      m_out += cp949;
    } else {
      Cp949ToUtf8(cp949, m_out);
    }
  }

  CliIo& m_io;
  const ZipDatabase& m_db;
  const Options& m_options;
  bool m_cp949;
  bool m_convert;
  bool m_nameEachMiss;
  bool m_missed = false;
  std::string m_out;
};

enum ZipOption : std::size_t { kOptDb, kOptCp949, kOptConvert, kOptStyle };
constexpr OptionSpec kZipOptions[] = {
    {"--db", nullptr, "a FILE"},
    {"--cp949", nullptr, nullptr},
    {"--convert", nullptr, nullptr},
    {"--style", nullptr, "a STYLE (classic or official)"},
};

}  // namespace

int RunZip(const Args& args, CliIo& io) {
  ParsedArgs parsed;
  if (!ParseOptions(args, kZipOptions, "zip", io, parsed)) return kExitUsage;
  if (parsed.help) {
    io.Write(kZipHelp);
    return kExitOk;
  }
  Options options;
  if (const std::string* style = parsed.Value(kOptStyle)) {
    if (!ParseStyle(*style, options.style)) {
      return UsageError(io, "zip", "unknown style '" + *style + "' (classic or official)");
    }
  }

  // An unknown executable folder must not turn into the current directory.
  std::string path;
  if (const std::string* db = parsed.Value(kOptDb)) {
    path = *db;
  } else {
    const std::string dir = io.ExecutableDir();
    if (!dir.empty()) path = dir + kZipFileName;
  }
  ZipDatabase db;
  std::string reason;
  const ZipLoadStatus loaded = db.Load(path, &reason);
  if (loaded != ZipLoadStatus::Ok) {
    std::string message = std::string(ZipLoadMessage(loaded)) + "\n";
    if (reason == "not a regular file") message += "jasokit zip: " + path + ": " + reason + "\n";
    io.Error(message);
    return kExitTableError;
  }

  ZipLookup lookup(io, db, options, parsed.Has(kOptCp949), parsed.Has(kOptConvert), parsed.operands.size() != 1);
  // The CR of a CRLF line ending is not part of the name.
  HeldLine name(kMaxNameBytes, HeldLine::kStripCr);
  const int status = ForEachInput(parsed.operands, io, "zip", name, [&](const char* where, std::size_t number) {
    return lookup.Lookup(name, where, number);
  });
  if (status != kExitOk) return status;
  return lookup.missed() ? kExitNotFound : kExitOk;
}

}  // namespace jasokit::cli
