// jasokit addrdb build / info: Korea Post's postcode files into the address
// database, and what a database holds.
#include <cstring>
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
    "usage: jasokit addrdb build SOURCE... (-o FILE | --install)\n"
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
    "A row with a wrong column count, a bad number or bytes invalid in the\n"
    "file's encoding is skipped and counted; the first lines skipped are named.\n"
    "\n"
    "The database is written to a new file beside FILE, synced, and renamed over\n"
    "FILE once complete and read back against its checksums; FILE must be a\n"
    "regular file or a new name.\n"
    "\n"
    "info prints the sources and their editions, the counts and the format\n"
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
    "  --help              show this help\n"
    "\n"
    "exit status: 0 written or sound, 1 info, verify: no database or a damaged\n"
    "one, 2 usage error, a source\n"
    "with an unknown header or with no valid row, 3 FILE is not a regular\n"
    "file, 5 a source could not be read or the database could not be written\n";

// Far more than any row takes (about 400 bytes); a longer line is skipped
// without being held.
constexpr std::size_t kMaxRowBytes = 4096;

class Importer {
 public:
  explicit Importer(CliIo& io) : m_io(io) {}

  // Reads every text of one source; returns an exit status.
  int Source(const std::string& path) {
    int status = kExitOk;
    const std::string error = ForEachSourceText(path, [&](SourceText& text) {
      status = Text(text);
      return status == kExitOk;
    });
    if (!error.empty()) {
      m_io.Error("jasokit addrdb: " + error + "\n");
      return kExitDataError;
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
    return Finish(text, m_builder.EndText(text.name, text.edition));
  }

  int Finish(const SourceText& text, const AddressTextCounts& counts) {
    if (counts.skipped > AddressDbBuilder::kReportedRows) {
      m_io.Error("jasokit addrdb: " + text.name + ": " + std::to_string(counts.skipped) + " rows skipped in all\n");
    }
    if (counts.rows == 0) {
      m_io.Error("jasokit addrdb: " + text.name + ": no valid row\n");
      return kExitUsage;
    }
    return kExitOk;
  }

  int ReadError(const SourceText& text) {
    m_io.Error("jasokit addrdb: error reading " + text.name + "\n");
    return kExitDataError;
  }

  CliIo& m_io;
  AddressDbBuilder m_builder;
};

int Build(const std::vector<const std::string*>& sources, const std::string& out, CliIo& io) {
  const std::optional<FileId> target = IdentifyFile(out);
  for (const std::string* source : sources) {
    const std::optional<FileId> id = target ? IdentifyFile(*source) : std::nullopt;
    if (id && id->device == target->device && id->inode == target->inode) {
      return UsageError(io, "addrdb", "the output " + out + " is also a SOURCE");
    }
  }
  Importer importer(io);
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
  io.Error("jasokit addrdb: " + out + ": " + std::to_string(rows) + " rows, " +
           std::to_string(importer.builder().skipped()) + " skipped\n");
  return kExitOk;
}

int Info(const std::string& path, CliIo& io) {
  AddressDatabase database;
  const std::string wrong = OpenVerified(path, database);
  if (!wrong.empty()) {
    io.Error("jasokit addrdb: " + path + ": " + wrong + "\n");
    return kExitTableError;
  }
  const AddressDbInfo info = database.Info();
  std::string text = path + "\nformat version " + std::to_string(info.formatVersion) + "\nsources:\n";
  for (const std::string& source : info.sources) text += "  " + source + "\n";
  text += "rows " + std::to_string(info.rows) + "\nroads " + std::to_string(info.roads) + "\npostcodes " +
          std::to_string(info.postcodes) + "\nskipped rows " + std::to_string(info.skipped) + "\n";
  io.Write(text);
  return kExitOk;
}

int Verify(const std::string& path, CliIo& io) {
  AddressDatabase database;
  const std::string wrong = OpenVerified(path, database);
  if (!wrong.empty()) {
    io.Error("jasokit addrdb: " + path + ": " + wrong + "\n");
    return kExitTableError;
  }
  io.Write(path + ": sound\n");
  return kExitOk;
}

enum AddrDbOption : std::size_t { kOptOutput, kOptInstall };
constexpr OptionRule kAddrDbOptions[] = {
    {"--output", "-o", "a FILE"},
    {"--install", nullptr, nullptr},
};

int RunBuild(const ParsedArgs& parsed, CliIo& io) {
  const std::string* out = parsed.Value(kOptOutput);
  if (parsed.operands.empty()) return UsageError(io, "addrdb", "build needs a SOURCE");
  if (out && parsed.Has(kOptInstall)) return UsageError(io, "addrdb", "-o and --install exclude each other");
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
  return Build(parsed.operands, target, io);
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

constexpr Command kAddrDbCommand = {
    "addrdb",
    "build the address database from Korea Post's postcode files",
    kAddrDbHelp,
    kAddrDbOptions,
    std::size(kAddrDbOptions),
    nullptr,
    RunAddrDb,
};

}  // namespace jasokit::cli
