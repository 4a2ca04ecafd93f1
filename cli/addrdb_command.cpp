// jasokit addrdb build / info: Korea Post's postcode files into the address
// database, and what a database holds.
#include <cstring>
#include <ctime>
#include <iterator>
#include <string>
#include <vector>

#include "cli/addrdb_source.h"
#include "cli/cli.h"
#include "cli/options.h"
#include "jasokit/address_db.h"
#include "jasokit/address_db_builder.h"
#include "platform/platform.h"

namespace jasokit::cli {

namespace {

constexpr const char* kAddrDbHelp =
    "usage: jasokit addrdb build SOURCE... (-o FILE | --install) [--edition DATE]\n"
    "       jasokit addrdb info [FILE]\n"
    "       jasokit addrdb verify [FILE]\n"
    "\n"
    "build imports Korea Post's postcode files (\"우편번호 DB\", the per-province\n"
    "\"지역별 주소 DB\") into an address database: one row per building with its\n"
    "postcode, road-name and lot-number address and official English names.\n"
    "A SOURCE is a text or a zip of texts (such as zipcode_DB.zip; its entries\n"
    "not named *.txt are passed over), in either layout, told apart by its\n"
    "header line: the current one (26 columns, UTF-8) or that of 2013 (24\n"
    "columns, CP949). A file with another header is refused.\n"
    "A row with a wrong column count, a bad number, no region or road name, a\n"
    "control character or bytes invalid in the file's encoding is skipped and\n"
    "counted; the first lines skipped are named. A source that gives no row\n"
    "writes nothing. The 2013 layout's postcodes are six-digit ones, abolished\n"
    "in 2015: they are kept as old postcodes, and the build warns.\n"
    "The edition of a text is the date its name, or its zip's, carries\n"
    "(20230604_..., ..._2023-12-05, ...202312...), else --edition, else unknown.\n"
    "\n"
    "The database is written to a new file beside FILE, synced, and renamed over\n"
    "FILE once complete and read back against its checksums; FILE must be a\n"
    "regular file or a new name.\n"
    "\n"
    "info prints the sources and their editions, the database's age, the\n"
    "counts (and how many rows have a current postcode) and the format\n"
    "version of FILE (default: the database the programs use); it and verify\n"
    "read the whole file against its checksums and tell a damaged one.\n"
    "\n"
    "The programs look for the database in this order: --addrdb FILE, the\n"
    "environment variable JASOKIT_ADDRDB, then $XDG_DATA_HOME/jasokit/address.db\n"
    "(~/.local/share/jasokit/address.db when XDG_DATA_HOME is not set).\n"
    "\n"
    "options:\n"
    "  -o, --output FILE   the database to write\n"
    "  --install           write it where the programs look by default\n"
    "  --edition DATE      the edition (YYYY-MM-DD) of sources whose names give none\n"
    "  --help              show this help\n"
    "\n"
    "exit status: 0 written or sound, 1 info, verify: no database or a damaged\n"
    "one, 2 usage error, a source\n"
    "with an unknown header or with no valid row, 3 FILE is not a regular\n"
    "file, 5 a source could not be read or the database could not be written\n";

// Far more than any row takes (about 400 bytes); a longer line is skipped
// without being held.
constexpr std::size_t kMaxRowBytes = 4096;

// At most kListedEntries names, then how many more.
constexpr std::size_t kListedEntries = 20;
std::string EntryList(const std::vector<std::string>& entries) {
  std::string list;
  for (std::size_t k = 0; k < entries.size() && k < kListedEntries; ++k) list += (k ? ", " : "") + entries[k];
  if (entries.size() > kListedEntries) list += " and " + std::to_string(entries.size() - kListedEntries) + " more";
  return list;
}

class Importer {
 public:
  Importer(CliIo& io, std::string edition) : m_io(io), m_edition(std::move(edition)) {}

  // Reads every text of one source; returns an exit status.
  int Source(const std::string& path) {
    int status = kExitOk;
    const std::size_t before = m_builder.rows();
    std::vector<std::string> entries;
    const std::string error = ForEachSourceText(
        path,
        [&](SourceText& text) {
          status = Text(text);
          return status == kExitOk;
        },
        &entries);
    if (!error.empty()) {
      m_io.Error("jasokit addrdb: " + error + "\n");
      return kExitDataError;
    }
    if (status == kExitOk && m_builder.rows() == before) {
      m_io.Error("jasokit addrdb: " + Printable(path) + ": no valid row" +
                 (entries.empty() ? std::string(": the zip is empty") : ": the zip holds no .txt file") + "\n");
      status = kExitUsage;
    }
    if (status == kExitUsage && !entries.empty()) {
      m_io.Error("jasokit addrdb: " + Printable(path) + " holds: " + EntryList(entries) + "\n");
    }
    return status;
  }

  AddressDbBuilder& builder() { return m_builder; }

 private:
  int Text(SourceText& text) {
    SourceLines lines(text, kMaxRowBytes);
    std::string_view line;
    bool overLong = false;
    if (!lines.Next(line, overLong)) {
      if (lines.failed()) return ReadError(text);
      m_io.Error("jasokit addrdb: " + text.name + ": empty; not a Korea Post file\n");
      return kExitUsage;
    }
    if (!m_builder.BeginText(line)) {
      m_io.Error("jasokit addrdb: " + text.name +
                 ": not a Korea Post postcode file (its first line is not the header of the current or "
                 "the 2013 layout)\n");
      return kExitUsage;
    }
    while (lines.Next(line, overLong)) {
      const std::size_t number = lines.lineNumber();
      const std::string_view skipped = overLong ? m_builder.SkipOverLong(number) : m_builder.AddLine(line, number);
      if (!skipped.empty() && m_builder.textCounts().skipped <= AddressDbBuilder::kReportedRows) {
        m_io.Error("jasokit addrdb: " + text.name + ":" + std::to_string(number) +
                   ": skipped: " + std::string(skipped) + "\n");
      }
    }
    if (lines.failed()) return ReadError(text);
    const std::string& edition = !text.edition.empty() ? text.edition : m_edition;
    return Finish(text, m_builder.EndText(text.name, edition.empty() ? "unknown" : edition));
  }

  int Finish(const SourceText& text, const AddressTextCounts& counts) {
    if (counts.skipped > AddressDbBuilder::kReportedRows) {
      m_io.Error("jasokit addrdb: " + text.name + ": " + std::to_string(counts.skipped) + " rows skipped in all\n");
    }
    if (counts.rows == 0) {
      m_io.Error("jasokit addrdb: " + text.name + ": no valid row\n");
      return kExitUsage;
    }
    if (counts.oldLayout) {
      m_io.Error("jasokit addrdb: warning: " + text.name +
                 ": the 2013 layout: its postcodes are the six-digit ones abolished in 2015, kept as old postcodes; "
                 "current postcodes need a current file\n");
    }
    return kExitOk;
  }

  int ReadError(const SourceText& text) {
    m_io.Error("jasokit addrdb: error reading " + text.name + "\n");
    return kExitDataError;
  }

  CliIo& m_io;
  std::string m_edition;
  AddressDbBuilder m_builder;
};

int Build(const std::vector<const std::string*>& sources, const std::string& out, const std::string& edition,
          CliIo& io) {
  const std::optional<FileId> target = IdentifyFile(out);
  for (const std::string* source : sources) {
    const std::optional<FileId> id = target ? IdentifyFile(*source) : std::nullopt;
    if (id && id->device == target->device && id->inode == target->inode) {
      return UsageError(io, "addrdb", "the output " + out + " is also a SOURCE");
    }
  }
  Importer importer(io, edition);
  for (const std::string* source : sources) {
    if (const int status = importer.Source(*source)) {
      io.Error("jasokit addrdb: " + out + " not written\n");
      return status;
    }
  }
  std::string error;
  TableFile file;
  if (const TableFileStatus status = file.Open(out, nullptr, error); status != TableFileStatus::Ok) {
    io.Error("jasokit addrdb: " + error + "\n");
    return ExitCodeOf(status);
  }
  const std::size_t rows = importer.builder().rows();
  const bool written = importer.builder().Write([&](std::string_view bytes) { return file.Write(bytes, error); });
  if (!written) {
    io.Error("jasokit addrdb: " + error + "\n");
    return kExitDataError;
  }
  const auto check = [](const std::string& written) {
    AddressDatabase database;
    const std::string wrong = OpenVerified(written, database);
    return wrong.empty() ? wrong : "the database written does not read back: " + wrong;
  };
  if (const TableFileStatus status = file.Commit({}, error, check); status != TableFileStatus::Ok) {
    io.Error("jasokit addrdb: " + error + "\n");
    return ExitCodeOf(status);
  }
  const AddressDbBuilder& built = importer.builder();
  if (built.cutTexts() > 0) {
    io.Error("jasokit addrdb: warning: " + std::to_string(built.cutTexts()) +
             " texts longer than 255 bytes cut to fit, before a character\n");
  }
  io.Error("jasokit addrdb: " + out + ": " + std::to_string(rows - built.merged()) + " rows, " +
           std::to_string(built.skipped()) + " skipped" +
           (built.merged() > 0 ? ", " + std::to_string(built.merged()) + " duplicate rows merged" : std::string()) +
           "\n");
  return kExitOk;
}

// "2023-12-05 (3 years old)", "unknown".
std::string AgeText(const AddressDbInfo& info) {
  const long long days = AddressDbAgeDays(info, static_cast<long long>(std::time(nullptr)));
  if (days < 0) return "unknown";
  const long long years = days / 365, months = days / 30;
  const std::string age = years > 0    ? std::to_string(years) + (years == 1 ? " year" : " years")
                          : months > 0 ? std::to_string(months) + (months == 1 ? " month" : " months")
                                       : std::to_string(days) + (days == 1 ? " day" : " days");
  return info.newestEdition + " (" + age + " old)";
}

// Opens path checked whole, or says why it could not.
bool OpenReported(const std::string& path, AddressDatabase& database, CliIo& io) {
  const std::string wrong = OpenVerified(path, database);
  if (!wrong.empty()) io.Error("jasokit addrdb: " + path + ": " + wrong + "\n");
  return wrong.empty();
}

int Info(const std::string& path, CliIo& io) {
  AddressDatabase database;
  if (!OpenReported(path, database, io)) return kExitTableError;
  const AddressDbInfo info = database.Info();
  std::string text = path + "\nformat version " + std::to_string(info.formatVersion) + "\nsources:\n";
  for (const std::string& source : info.sources) text += "  " + source + "\n";
  text += "newest edition " + AgeText(info) + "\nrows " + std::to_string(info.rows) + " (" +
          std::to_string(info.currentPostcodeRows) + " with a current postcode)\nroads " + std::to_string(info.roads) +
          "\npostcodes " + std::to_string(info.postcodes) + "\nskipped rows " + std::to_string(info.skipped) +
          "\nduplicate rows merged " + std::to_string(info.merged) + "\n";
  io.Write(text);
  return kExitOk;
}

int Verify(const std::string& path, CliIo& io) {
  AddressDatabase database;
  if (!OpenReported(path, database, io)) return kExitTableError;
  io.Write(path + ": sound\n");
  return kExitOk;
}

enum AddrDbOption : std::size_t { kOptOutput, kOptInstall, kOptEdition };
constexpr OptionRule kAddrDbOptions[] = {
    {kOptOutput, "--output", "-o", "a FILE"},
    {kOptInstall, "--install", nullptr, nullptr},
    {kOptEdition, "--edition", nullptr, "a DATE"},
};
static_assert(InIdOrder(kAddrDbOptions));

// YYYY-MM-DD of a real month and day.
bool IsDate(const std::string& text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  for (const std::size_t k : {0, 1, 2, 3, 5, 6, 8, 9}) {
    if (text[k] < '0' || text[k] > '9') return false;
  }
  const int month = (text[5] - '0') * 10 + (text[6] - '0'), day = (text[8] - '0') * 10 + (text[9] - '0');
  return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

int RunBuild(const ParsedArgs& parsed, CliIo& io) {
  const std::string* out = parsed.Value(kOptOutput);
  if (parsed.operands.empty()) return UsageError(io, "addrdb", "build needs a SOURCE");
  if (out && parsed.Has(kOptInstall)) return UsageError(io, "addrdb", "-o and --install exclude each other");
  const std::string* edition = parsed.Value(kOptEdition);
  if (edition && !IsDate(*edition)) return UsageError(io, "addrdb", "--edition takes a date YYYY-MM-DD");
  std::string target;
  if (parsed.Has(kOptInstall)) {
    target = UserAddressDbPath();
    std::string error;
    if (target.empty()) return UsageError(io, "addrdb", "--install needs HOME or XDG_DATA_HOME");
    if (!MakeParentFolders(target, error)) {
      io.Error("jasokit addrdb: " + error + "\n");
      return kExitDataError;
    }
  } else if (out && !out->empty()) {
    target = *out;
  } else {
    return UsageError(io, "addrdb", "build needs -o FILE or --install");
  }
  return Build(parsed.operands, target, edition ? *edition : std::string(), io);
}

}  // namespace

namespace {

int RunAddrDb(const ParsedArgs& parsed, CliIo& io) {
  if (parsed.operands.empty()) return UsageError(io, "addrdb", "missing subcommand (build, info or verify)");
  const std::string& sub = *parsed.operands[0];
  if (sub != "build" && sub != "info" && sub != "verify") {
    const std::string near = NearestName(sub, {"build", "info", "verify"});
    return UsageError(io, "addrdb",
                      "unknown subcommand '" + sub + "'" + (near.empty() ? "" : " (did you mean '" + near + "'?)"));
  }
  ParsedArgs rest = parsed;
  rest.operands.erase(rest.operands.begin());
  if (sub == "build") return RunBuild(rest, io);
  if (!rest.options.empty()) return UsageError(io, "addrdb", sub + " takes no options");
  if (rest.operands.size() > 1) return UsageError(io, "addrdb", sub + " takes one FILE");
  const std::string path = rest.operands.empty() ? DefaultAddressDbPath() : *rest.operands[0];
  return sub == "info" ? Info(path, io) : Verify(path, io);
}

}  // namespace

constexpr Command kAddrDbCommand = MakeCommand("addrdb", "build the address database from Korea Post's postcode files",
                                               kAddrDbHelp, kAddrDbOptions, RunAddrDb);

}  // namespace jasokit::cli
