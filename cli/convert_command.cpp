// jasokit convert: lines, arguments or one CSV column, converted on every
// core and written in input order.
//
// The calling thread reads and splits the input into chunks and writes them;
// workers convert. A line is trimmed as it is read (TrimmedText), so a chunk
// holds at most the 2048 bytes a text may take, whatever the line: memory is
// the chunks in flight, never the input. What is reported on standard error
// is collected per chunk and printed when the chunk is written, so messages
// come in the same order with any number of jobs.
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "cli/addrdb_source.h"
#include "cli/cli.h"
#include "cli/options.h"
#include "frontend/batch_engine.h"
#include "frontend/codec.h"
#include "frontend/csv.h"
#include "frontend/csv_convert.h"
#include "frontend/input.h"
#include "frontend/json.h"
#include "frontend/progress.h"
#include "jasokit/address_db.h"
#include "jasokit/convert.h"

namespace jasokit::cli {

namespace {

constexpr const char* kConvertHelp =
    "usage: jasokit convert [--style classic|official] [--country TEXT] [--cp949]\n"
    "                       [--tsv | --json] [-j N] [--progress | --no-progress]\n"
    "                       [TEXT...]\n"
    "       jasokit convert --csv [--column N|NAME] [--header]\n"
    "                       [--in-place | --output-column NAME] [--style S]\n"
    "                       [--country TEXT] [--cp949] [-j N]\n"
    "                       [--progress | --no-progress]\n"
    "\n"
    "Converts each TEXT, or each line of standard input when no TEXT is given,\n"
    "and writes one output line per input. A text whose first word is a province\n"
    "or metropolitan city is rendered as an English postal address; any other\n"
    "text is romanized.\n"
    "\n"
    "options:\n"
    "  --style S      classic (the default): the 2003 rules, words in reverse\n"
    "                 order ending in S.KOREA; official: road-name addresses in\n"
    "                 the official English format and the Revised Romanization\n"
    "  --country TEXT the country ending an official-style address (default:\n"
    "                 Republic of Korea)\n"
    "  --cp949        read and write CP949 bytes instead of UTF-8 (JSON output\n"
    "                 is UTF-8 all the same, as JSON must be)\n"
    "  --tsv          write STATUS<TAB>NORMALIZED<TAB>OUTPUT; STATUS is TooLong, Empty,\n"
    "                 Address or PlainText; \\, TAB, CR and LF in fields are escaped\n"
    "  --json         write one JSON object per input, on one line:\n"
    "                 {\"status\", \"normalized\", \"output\", \"fields\"}; \"fields\" holds\n"
    "                 \"detail\", \"street\", \"district\", \"region\", \"postcode\" and\n"
    "                 \"country\" for an official-style address (empty parts are \"\")\n"
    "                 and is null for every other result; \"source\" tells\n"
    "                 \"database\" (written from the address data) or \"rules\"\n"
    "  --addrdb FILE  official style: the address database to write buildings\n"
    "                 from (default: $JASOKIT_ADDRDB, else the one 'jasokit\n"
    "                 addrdb build --install' wrote, if any); with it, a text\n"
    "                 that leaves out the region or the city is an address too\n"
    "                 where the data places the rest in one place only\n"
    "  --keep-lot     with a database, a lot-number address stays one instead of\n"
    "                 becoming its road-name address\n"
    "  -j, --jobs N   convert on N threads (default: one per core); the output is\n"
    "                 the same, byte for byte, with any N\n"
    "  --progress     show a progress line on standard error even when it is no\n"
    "                 terminal or the input's size is unknown\n"
    "  --no-progress  never show it; by default it is shown when standard error\n"
    "                 is a terminal and standard input a regular file\n"
    "  --help         show this help\n"
    "\n"
    "CSV (RFC 4180) from standard input to standard output:\n"
    "  --csv                converts one field of each record; every other byte\n"
    "                       (fields, quotes, line ends LF or CR LF, a UTF-8 byte\n"
    "                       order mark) is written as read\n"
    "  --column N|NAME      the field: a number from 1 (the default: 1), or with\n"
    "                       --header the name of a column in the first record\n"
    "  --header             the first record names the columns: it is not\n"
    "                       converted, and gets the new column's name\n"
    "  --output-column NAME the new column's name in the header (default:\n"
    "                       converted); needs --header\n"
    "  --in-place           write the conversion over the field instead of adding\n"
    "                       it as a new last field\n"
    "  The conversion is quoted exactly when it holds a comma, a quote or a line\n"
    "  break. A blank line stays as it is. A field that is empty or refused as\n"
    "  too long gets an empty conversion and a warning naming its line. A quote\n"
    "  never closed, a stray quote, a record of more than 1 MiB or a record\n"
    "  without the field ends the run with its line number and status 2; the\n"
    "  output then stops before that record. --csv takes no TEXT and goes with\n"
    "  neither --tsv nor --json.\n"
    "\n"
    "Text longer than 1024 CP949 bytes after trimming is refused (a character\n"
    "with no CP949 form counts as two bytes): its output line is empty and the\n"
    "refusal is reported on standard error. A line is never held whole, so\n"
    "one of any length costs no more memory than a short one. A NUL byte ends\n"
    "the text (the rest of its line is ignored). In UTF-8 every character\n"
    "comes through; invalid UTF-8 becomes U+FFFD, with a warning.\n"
    "\n"
    "Typed on a terminal, or sent slowly down a pipe, each line is answered as\n"
    "soon as no more input is waiting.\n"
    "\n"
    "exit status: 0 all converted, 1 the address database given could not be\n"
    "opened, 2 usage error or badly formed CSV, 3 input/output error, 6 some\n"
    "input refused as too long\n";

enum ConvertOption : std::size_t {
  kOptStyle,
  kOptCountry,
  kOptCp949,
  kOptTsv,
  kOptJson,
  kOptCsv,
  kOptColumn,
  kOptHeader,
  kOptInPlace,
  kOptOutputColumn,
  kOptJobs,
  kOptProgress,
  kOptNoProgress,
  kOptAddrDb,
  kOptKeepLot,
};
constexpr OptionRule kConvertOptions[] = {
    {kOptStyle, "--style", nullptr, "a STYLE (classic or official)"},
    {kOptCountry, "--country", nullptr, "a TEXT"},
    {kOptCp949, "--cp949", nullptr, nullptr},
    {kOptTsv, "--tsv", nullptr, nullptr},
    {kOptJson, "--json", nullptr, nullptr},
    {kOptCsv, "--csv", nullptr, nullptr},
    {kOptColumn, "--column", nullptr, "a column number or NAME"},
    {kOptHeader, "--header", nullptr, nullptr},
    {kOptInPlace, "--in-place", nullptr, nullptr},
    {kOptOutputColumn, "--output-column", nullptr, "a NAME"},
    {kOptJobs, "--jobs", "-j", "a number of jobs"},
    {kOptProgress, "--progress", nullptr, nullptr},
    {kOptNoProgress, "--no-progress", nullptr, nullptr},
    {kOptAddrDb, "--addrdb", nullptr, "a FILE"},
    {kOptKeepLot, "--keep-lot", nullptr, nullptr},
};
static_assert(InIdOrder(kConvertOptions));

// Far more threads than any machine has cores is a mistake, not a wish.
constexpr std::size_t kMaxJobs = 1024;

enum class Format { kPlain, kTsv, kJson };

struct Settings : CsvSettings {
  Settings() { outputColumn = kDefaultOutputColumn; }
  Format format = Format::kPlain;
};

// Lines or arguments, trimmed and held up to what a conversion may take.
struct LineChunk : ChunkBase {
  struct Text {
    std::size_t begin;
    std::size_t size;
    bool overLong;
    bool sawNul;     // for trimmed texts; a raw one is looked at by the worker
    bool validUtf8;  // known for overLong texts only: a short one's conversion tells
    bool raw;        // as read, not yet trimmed
  };
  std::string held;
  std::vector<Text> texts;
  std::uint64_t first = 0;  // the number of texts[0]
};

// Converts one text and formats its result into out; notes what to report.
class TextConverter {
 public:
  explicit TextConverter(const Settings& s) : m_s(s) {}

  void Convert(std::string_view text, bool overLong, bool validUtf8, std::uint64_t number, ChunkBase& c,
               bool& invalidNoted, ConversionWorkspace& workspace) const {
    // Known without converting for an over-long text only.
    bool invalid = overLong && !validUtf8;
    if (m_s.format == Format::kPlain) {
      const bool official = m_s.options.style == Style::Official;
      c.warnings.clear();
      const ConversionStatus status = overLong
                                          ? ConversionStatus::TooLong
                                          : m_s.codec->AppendConverted(text, m_s.options, c.out, invalid,
                                                                       official ? &c.warnings : nullptr, &workspace);
      NoteResult(c, number, status, invalid, invalidNoted, text);
      NoteWarnings(c, number, c.warnings);
      c.out += '\n';
      return;
    }
    Result r;
    if (overLong) {
      r.status = ConversionStatus::TooLong;
    } else {
      // JSON is UTF-8 whatever the input.
      r = m_s.codec->Convert(text, m_s.options, m_s.format == Format::kJson, invalid, &workspace);
    }
    NoteResult(c, number, r.status, invalid, invalidNoted, text);
    if (m_s.format == Format::kTsv) {
      c.out += ConversionStatusName(r.status);
      c.out += '\t';
      AppendTsvField(r.normalized, c.out);
      c.out += '\t';
      AppendTsvField(r.output, c.out);
    } else {
      AppendResultJson(r, c.out);
    }
    c.out += '\n';
  }

  // The conversion's warnings, one line each on standard error.
  static void NoteWarnings(ChunkBase& c, std::uint64_t number, const std::vector<Warning>& warnings) {
    for (const Warning& w : warnings) c.events.push_back({number, Note::kWarning, w.code + ": " + w.message});
  }

 private:
  const Settings& m_s;
};

// Standard error for the chunks as they are written: the warnings given once
// are given for the first chunk that has them, the progress line is kept
// out of the way.
class Reporter {
 public:
  Reporter(CliIo& io, const Settings& s, ProgressMeter* meter) : m_io(io), m_s(s), m_meter(meter) {}

  void Report(const ChunkBase& c, const char* where) {
    bool cleared = false;
    for (const Event& e : c.events) {
      std::string message;
      const std::string place = std::string(where) + " " + std::to_string(e.number);
      switch (e.note) {
        case Note::kNul:
          if (m_nulWarned) continue;
          m_nulWarned = true;
          message = "jasokit convert: warning: input holds NUL bytes; text after a NUL byte was not converted\n";
          break;
        case Note::kInvalid:
          if (m_invalidWarned) continue;
          m_invalidWarned = true;
          message = "jasokit convert: warning: " + place + ": invalid UTF-8, converted as U+FFFD" +
                    (e.looksCp949 ? std::string("; ") + kCp949Hint : std::string()) + "\n";
          break;
        case Note::kRefused: message = "jasokit convert: " + place + ": " + RefusalText() + "\n"; break;
        case Note::kEmptyField:
          message = "jasokit convert: warning: " + place + ": field " + std::to_string(m_s.column + 1) +
                    " is empty; its conversion is empty\n";
          break;
        case Note::kWarning:
          if (e.number != m_lastWarned) ++m_warnedTexts;
          m_lastWarned = e.number;
          message = "jasokit convert: warning: " + place + ": ";
          m_s.codec->AppendFromUtf8(e.text, message);
          message += '\n';
          break;
      }
      if (m_meter && !cleared) {
        m_meter->Clear();
        cleared = true;
      }
      m_io.Error(message);
    }
    if (c.refused) m_refused = true;
    if (m_meter) {
      m_meter->Advance(c.inputBytes, c.items);
      if (cleared) m_meter->Redraw();
    }
  }

  // A message that ends the run.
  void Fail(const std::string& message) {
    if (m_meter) m_meter->Finish();
    m_io.Error(message);
  }

  bool refused() const { return m_refused; }

  // After a batch whose conversions warned: one line that counts them.
  void Summarize() {
    if (m_warnedTexts == 0) return;
    m_io.Error("jasokit convert: " + std::to_string(m_warnedTexts) + (m_warnedTexts == 1 ? " line" : " lines") +
               " with warnings; --json lists them\n");
  }

 private:
  // The refusal message on one line, in the output encoding.
  std::string RefusalText() const {
    std::string text = kRefusalMessageUtf8;
    const auto crlf = text.find("\r\n");
    if (crlf != std::string::npos) text.replace(crlf, 2, " ");
    std::string out;
    m_s.codec->AppendFromUtf8(text, out);
    return out;
  }

  CliIo& m_io;
  const Settings& m_s;
  ProgressMeter* m_meter;
  bool m_nulWarned = false;
  bool m_invalidWarned = false;
  bool m_refused = false;
  std::uint64_t m_warnedTexts = 0;
  std::uint64_t m_lastWarned = 0;
};

bool WriteChunk(CliIo& io, const ChunkBase& c) {
  if (!io.Write(c.out)) return false;
  return !c.idle || io.Flush();
}

// Reads lines of standard input, or the arguments, into chunks.
//
// A line of ordinary length goes into the chunk as it was read, and the
// worker converts it whole (which trims it as TrimmedText would): the reading
// thread then does no more than find line ends, so that it keeps up with
// every worker. Only a line longer than kRawLineBytes is trimmed here as it
// streams past, so that memory stays bounded whatever its length.
class LineSource {
 public:
  LineSource(CliIo& io, const std::vector<const std::string*>& args, const TextCodec& codec)
      : m_io(io), m_args(args), m_reader(io), m_text(codec.Trimmed()) {}

  ChunkRead Read(LineChunk& c) {
    c.Reset();
    c.held.clear();
    c.texts.clear();
    c.first = m_number + 1;
    const std::uint64_t before = m_reader.consumed();
    while (c.texts.size() < kChunkLines && c.held.size() < kChunkBytes) {
      if (!(m_args.empty() ? ReadLine(c) : ReadArgument(c))) break;
    }
    c.inputBytes = m_reader.consumed() - before;
    c.items = c.texts.size();
    if (c.texts.empty()) return m_reader.failed() ? ChunkRead::kFailed : ChunkRead::kEnd;
    return c.idle ? ChunkRead::kChunkIdle : ChunkRead::kChunk;
  }

  // The line reader hands a line over in pieces.
  void Append(std::string_view piece) {
    if (!m_streaming) {
      if (m_raw.size() + piece.size() <= kRawLineBytes) {
        m_raw += piece;
        return;
      }
      m_streaming = true;
      m_text.Start(true);
      m_text.Append(m_raw);
      m_raw.clear();
    }
    m_text.Append(piece);
  }

  bool failed() const { return m_reader.failed(); }
  const char* where() const { return m_args.empty() ? "line" : "argument"; }

 private:
  static constexpr std::size_t kRawLineBytes = 16 << 10;

  // Adds the next argument to c; false when none is left.
  bool ReadArgument(LineChunk& c) {
    if (m_number == m_args.size()) return false;
    m_text.Start(false);
    m_text.Append(*m_args[m_number]);
    AddTrimmed(c);
    ++m_number;
    return true;
  }

  // Adds the next line to c; false when the chunk is to go now.
  bool ReadLine(LineChunk& c) {
    if (!m_resuming) {
      m_raw.clear();
      m_streaming = false;
    }
    // Lines read are answered before waiting for more, even for the rest
    // of a line begun.
    const LineReader::Status status = m_reader.Next(*this, [&] { return !c.texts.empty() && !m_io.InputReady(); });
    m_resuming = status == LineReader::Status::kPaused;
    if (m_resuming) c.idle = true;
    if (status != LineReader::Status::kLine) return false;
    ++m_number;
    if (m_streaming) {
      AddTrimmed(c);
    } else {
      c.texts.push_back({c.held.size(), m_raw.size(), false, false, true, true});
      c.held += m_raw;
    }
    return true;
  }

  void AddTrimmed(LineChunk& c) {
    const bool overLong = m_text.overLong();
    c.texts.push_back(
        {c.held.size(), overLong ? 0 : m_text.size(), overLong, m_text.sawNul(), m_text.validUtf8(), false});
    if (!overLong) c.held += m_text.text();
  }

  CliIo& m_io;
  const std::vector<const std::string*>& m_args;
  LineReader m_reader;
  TrimmedText m_text;
  std::string m_raw;         // the line as read, while it is short
  bool m_streaming = false;  // the line is long: it goes through m_text
  bool m_resuming = false;   // the line was begun in an earlier chunk
  std::uint64_t m_number = 0;
};

void ConvertLines(const TextConverter& converter, LineChunk& c, ConversionWorkspace& workspace) {
  bool nulNoted = false;
  bool invalidNoted = false;
  for (std::size_t i = 0; i < c.texts.size(); ++i) {
    const LineChunk::Text& t = c.texts[i];
    const std::uint64_t number = c.first + i;
    const std::string_view text = std::string_view(c.held).substr(t.begin, t.size);
    const bool sawNul = t.raw ? text.find('\0') != std::string_view::npos : t.sawNul;
    // The converter works on zero-terminated text, as the window does.
    if (sawNul && !nulNoted) {
      nulNoted = true;
      c.events.push_back({number, Note::kNul});
    }
    converter.Convert(text, t.overLong, t.validUtf8, number, c, invalidNoted, workspace);
  }
}

// What the command line asks for besides Settings.
struct Request {
  bool csv = false;
  bool header = false;
  const std::string* columnName = nullptr;  // --column NAME
  std::size_t jobs = 0;
};

// --style, --cp949, --country, and --tsv or --json; 0 or the exit status
// after reporting.
int ReadTextOptions(const ParsedArgs& parsed, CliIo& io, bool csv, Settings& s) {
  if (!StyleOption(parsed, kOptStyle, "convert", io, s.options.style)) return kExitUsage;
  s.codec = &TextCodec::For(parsed.Has(kOptCp949));
  // Like every text of the command, in CP949 with --cp949.
  if (const std::string* country = parsed.Value(kOptCountry)) s.codec->AppendUtf8(*country, s.options.country);
  if (parsed.Has(kOptTsv) && parsed.Has(kOptJson))
    return UsageError(io, "convert", "--tsv and --json exclude each other");
  if (csv && parsed.Has(kOptTsv)) return UsageError(io, "convert", "--csv and --tsv exclude each other");
  if (csv && parsed.Has(kOptJson)) return UsageError(io, "convert", "--csv and --json exclude each other");
  if (parsed.Has(kOptTsv)) s.format = Format::kTsv;
  if (parsed.Has(kOptJson)) s.format = Format::kJson;
  // Only JSON shows an address's fields.
  s.options.withFields = s.format == Format::kJson;
  return kExitOk;
}

// The options of --csv; 0 or the exit status after reporting.
int ReadCsvOptions(const ParsedArgs& parsed, CliIo& io, Settings& s, Request& request) {
  constexpr CsvOptionIds kIds = {kOptColumn, kOptHeader, kOptInPlace, kOptOutputColumn};
  if (const int status = RefuseCsvOnly(parsed, kConvertOptions, kIds, request.csv, "convert", io)) return status;
  CsvColumnChoice choice;
  choice.outputColumn = s.outputColumn;
  if (const int status = ReadCsvColumnChoice(parsed, kIds, "convert", io, choice)) return status;
  request.header = choice.header;
  request.columnName = choice.columnName;
  s.column = choice.column;
  s.inPlace = choice.inPlace;
  s.outputColumn = std::move(choice.outputColumn);
  if (request.csv && !parsed.operands.empty()) {
    return UsageError(io, "convert", "--csv reads standard input; no TEXT may be given");
  }
  return kExitOk;
}

// -j; 0 or the exit status after reporting.
int ReadJobs(const ParsedArgs& parsed, CliIo& io, Request& request) {
  request.jobs = AllCores();
  if (const std::string* value = parsed.Value(kOptJobs)) {
    const std::optional<std::size_t> n = ParseCount(*value);
    if (!n || *n == 0 || *n > kMaxJobs) {
      return UsageError(io, "convert",
                        "--jobs takes a number from 1 to " + std::to_string(kMaxJobs) + ", not '" + *value + "'");
    }
    request.jobs = *n;
  }
  return kExitOk;
}

// The meter, when asked for or when it makes sense: standard input read, a
// regular file of known size, shown on a terminal.
void StartMeter(const ParsedArgs& parsed, CliIo& io, std::optional<ProgressMeter>& meter) {
  // The last of --progress and --no-progress counts.
  std::optional<bool> progress;
  for (const ParsedOption& o : parsed.options) {
    if (o.rule == kOptProgress) progress = true;
    if (o.rule == kOptNoProgress) progress = false;
  }
  if (!parsed.operands.empty()) return;
  const std::optional<std::uint64_t> size = io.InputFileSize();
  if (progress.value_or(size && io.ErrorIsTerminal())) {
    meter.emplace(size, [&io](std::string_view text) { io.Error(text); });
  }
}

// Converts the CSV records of standard input; -1 when the run went to its
// end (the pipeline's result in result), else the exit status.
int RunCsv(CliIo& io, Settings& s, const Request& request, Reporter& reporter, PipelineResult& result) {
  CsvSource source([&io](char* buffer, std::size_t size) { return io.Read(buffer, size); },
                   [&io] { return io.InputReady(); }, s, request.header, request.columnName);
  result = RunOrderedPipeline<CsvChunk>(
      request.jobs, [&](CsvChunk& c) { return source.Read(c); },
      [&](CsvChunk& c, ConversionWorkspace& workspace) { ConvertCsvRecords(s, c, &workspace); },
      [&](CsvChunk& c) {
        reporter.Report(c, "line");
        return WriteChunk(io, c);
      });
  if (result == PipelineResult::kReadFailed && !source.readFailed()) {
    const bool flushed = io.Flush();
    reporter.Fail("jasokit convert: " + source.error() + "; the output stops before this record\n");
    if (!flushed) io.Error("jasokit convert: error writing standard output\n");
    return kExitUsage;
  }
  return -1;
}

PipelineResult RunLines(CliIo& io, const Settings& s, const ParsedArgs& parsed, const Request& request,
                        Reporter& reporter) {
  const TextConverter converter(s);
  LineSource source(io, parsed.operands, *s.codec);
  return RunOrderedPipeline<LineChunk>(
      request.jobs, [&](LineChunk& c) { return source.Read(c); },
      [&](LineChunk& c, ConversionWorkspace& workspace) { ConvertLines(converter, c, workspace); },
      [&](LineChunk& c) {
        reporter.Report(c, source.where());
        return WriteChunk(io, c);
      });
}

// The address database for official conversions, when one is found.
int OpenDatabase(const ParsedArgs& parsed, CliIo& io, Settings& s, AddressDatabase& db) {
  if (s.options.style != Style::Official) return kExitOk;
  const AddressDbFound found = OpenAddressDb(parsed.Value(kOptAddrDb), "convert", io, db);
  if (found == AddressDbFound::kError) return kExitTableError;
  if (found == AddressDbFound::kOpened) s.options.database = &db;
  s.options.keepLot = parsed.Has(kOptKeepLot);
  return kExitOk;
}

int RunConvert(const ParsedArgs& parsed, CliIo& io) {
  Settings s;
  Request request;
  request.csv = parsed.Has(kOptCsv);
  if (const int status = ReadTextOptions(parsed, io, request.csv, s)) return status;
  AddressDatabase addressDb;  // outlives every conversion below
  if (const int status = OpenDatabase(parsed, io, s, addressDb)) return status;
  if (const int status = ReadCsvOptions(parsed, io, s, request)) return status;
  if (const int status = ReadJobs(parsed, io, request)) return status;

  std::optional<ProgressMeter> meter;
  StartMeter(parsed, io, meter);
  Reporter reporter(io, s, meter ? &*meter : nullptr);
  PipelineResult result;
  if (request.csv) {
    const int status = RunCsv(io, s, request, reporter, result);
    if (status >= 0) return status;
  } else {
    result = RunLines(io, s, parsed, request, reporter);
  }
  if (result == PipelineResult::kWriteFailed || !io.Flush()) {
    reporter.Fail("jasokit convert: error writing standard output\n");
    return kExitIo;
  }
  if (result == PipelineResult::kReadFailed) {
    reporter.Fail(InputReadError(io, "convert"));
    return kExitIo;
  }
  if (meter) meter->Finish();
  reporter.Summarize();
  if (s.options.database && addressDb.Check() != AddressDbStatus::Ok) {
    io.Error(std::string("jasokit convert: warning: ") + AddressDbStatusMessage(AddressDbStatus::Changed) +
             "; the lines converted since were written by the rules\n");
  }
  return reporter.refused() ? kExitRefused : kExitOk;
}

}  // namespace

constexpr Command kConvertCommand = MakeCommand("convert", "convert Korean addresses to English, romanize other text",
                                                kConvertHelp, kConvertOptions, RunConvert);

}  // namespace jasokit::cli
