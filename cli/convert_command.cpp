#include <string>

#include "address/conversion.h"
#include "cli/cli.h"
#include "cli/input.h"
#include "cli/options.h"
#include "jasokit/convert.h"
#include "romanize/cp949.h"

namespace jasokit::cli {

namespace {

constexpr const char* kConvertHelp =
    "usage: jasokit convert [--style classic|official] [--country TEXT] [--cp949] [--tsv] [TEXT...]\n"
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
    "  --cp949        read and write CP949 bytes instead of UTF-8\n"
    "  --tsv          write STATUS<TAB>NORMALIZED<TAB>OUTPUT; STATUS is TooLong, Empty,\n"
    "                 Address or PlainText; \\, TAB, CR and LF in fields are escaped\n"
    "  --help         show this help\n"
    "\n"
    "Text longer than 1024 CP949 bytes after trimming is refused (a character\n"
    "with no CP949 form counts as two bytes): its output line is empty and the\n"
    "refusal is reported on standard error. A line is never held whole, so\n"
    "one of any length costs no more memory than a short one. A NUL byte ends\n"
    "the text (the rest of its line is ignored). In UTF-8 every character\n"
    "comes through; invalid UTF-8 becomes U+FFFD, with a warning.\n"
    "\n"
    "exit status: 0 all converted, 1 some input refused as too long,\n"
    "2 usage error, 3 input/output error\n";

enum ConvertOption : std::size_t { kOptStyle, kOptCountry, kOptCp949, kOptTsv };
constexpr OptionSpec kConvertOptions[] = {
    {"--style", nullptr, "a STYLE (classic or official)"},
    {"--country", nullptr, "a TEXT"},
    {"--cp949", nullptr, nullptr},
    {"--tsv", nullptr, nullptr},
};

class Converter {
 public:
  Converter(CliIo& io, const Options& options, bool cp949, bool tsv)
      : m_io(io), m_options(options), m_cp949(cp949), m_tsv(tsv) {}

  // Converts one input; where names it in messages ("line 3", "argument 2").
  bool Convert(const TrimmedText& input, const char* where, std::size_t number) {
    // The converter works on zero-terminated text, as the window does.
    if (!m_nulWarned && input.sawNul()) {
      m_nulWarned = true;
      m_io.Error("jasokit convert: warning: input holds NUL bytes; text after a NUL byte was not converted\n");
    }
    if (m_cp949) {
      const ConversionResult r = ConvertTrimmed(input, m_options);
      Write(r.status, r.normalizedText, r.outputText, where, number);
    } else {
      bool invalid = false;
      const Result r = ConvertTrimmedUtf8(input, m_options, &invalid, /*withFields=*/false);
      if (invalid && !m_invalidWarned) {
        m_invalidWarned = true;
        m_io.Error("jasokit convert: warning: " + std::string(where) + " " + std::to_string(number) +
                   ": invalid UTF-8, converted as U+FFFD\n");
      }
      Write(r.status, r.normalized, r.output, where, number);
    }
    return m_io.Write(m_out);
  }

  bool refused() const { return m_refused; }

 private:
  void Write(ConversionStatus status, const std::string& normalized, const std::string& output,
             const char* where, std::size_t number) {
    if (status == ConversionStatus::TooLong) {
      m_refused = true;
      m_io.Error("jasokit convert: " + std::string(where) + " " + std::to_string(number) + ": " + RefusalText() +
                 "\n");
    }
    m_out.clear();
    if (m_tsv) {
      m_out += ConversionStatusName(status);
      m_out += '\t';
      AppendTsvField(normalized, m_out);
      m_out += '\t';
      AppendTsvField(output, m_out);
    } else {
      m_out += output;
    }
    m_out += '\n';
  }

  // The refusal message on one line, in the output encoding.
  std::string RefusalText() const {
    std::string text = kRefusalMessageUtf8;
    const auto crlf = text.find("\r\n");
    if (crlf != std::string::npos) text.replace(crlf, 2, " ");
    if (!m_cp949) return text;
    std::string cp949;
    Utf8ToCp949(text, cp949);
    return cp949;
  }

  CliIo& m_io;
  const Options& m_options;
  bool m_cp949;
  bool m_tsv;
  bool m_invalidWarned = false;
  bool m_nulWarned = false;
  bool m_refused = false;
  std::string m_out;
};

}  // namespace

int RunConvert(const Args& args, CliIo& io) {
  ParsedArgs parsed;
  if (!ParseOptions(args, kConvertOptions, "convert", io, parsed)) return kExitUsage;
  if (parsed.help) {
    io.Write(kConvertHelp);
    return kExitOk;
  }
  Options options;
  if (const std::string* style = parsed.Value(kOptStyle)) {
    if (!ParseStyle(*style, options.style)) {
      return UsageError(io, "convert", "unknown style '" + *style + "' (classic or official)");
    }
  }
  const bool cp949 = parsed.Has(kOptCp949);
  if (const std::string* country = parsed.Value(kOptCountry)) {
    // Like every text of the command, in CP949 with --cp949.
    if (cp949) {
      Cp949ToUtf8(*country, options.country);
    } else {
      options.country = *country;
    }
  }

  Converter converter(io, options, cp949, parsed.Has(kOptTsv));
  TrimmedText text(cp949);
  const int status = ForEachInput(parsed.operands, io, "convert", text, [&](const char* where, std::size_t number) {
    return converter.Convert(text, where, number);
  });
  if (status != kExitOk) return status;
  return converter.refused() ? kExitRefused : kExitOk;
}

}  // namespace jasokit::cli
