#include <string>

#include "address/conversion.h"
#include "cli/cli.h"
#include "romanize/cp949.h"

namespace jasokit::cli {

namespace {

constexpr const char* kConvertHelp =
    "usage: jasokit convert [--cp949] [--tsv] [TEXT...]\n"
    "\n"
    "Converts each TEXT, or each line of standard input when no TEXT is given,\n"
    "and writes one output line per input. A text whose first word is a province\n"
    "or metropolitan city is rendered as an English-order postal address; any\n"
    "other text is romanized.\n"
    "\n"
    "options:\n"
    "  --cp949    read and write CP949 bytes instead of UTF-8\n"
    "  --tsv      write STATUS<TAB>NORMALIZED<TAB>OUTPUT; STATUS is TooLong, Empty,\n"
    "             Address or PlainText; \\, TAB, CR and LF in fields are escaped\n"
    "  --help     show this help\n"
    "\n"
    "Text longer than 1024 CP949 bytes after trimming is refused: its output line\n"
    "is empty and the refusal is reported on standard error.\n"
    "\n"
    "exit status: 0 all converted, 1 some input refused as too long,\n"
    "2 usage error, 3 input/output error\n";

class Converter {
 public:
  Converter(CliIo& io, bool cp949, bool tsv) : m_io(io), m_cp949(cp949), m_tsv(tsv) {}

  // Converts one input; where names it in messages ("line 3", "argument 2").
  bool Convert(std::string_view input, const char* where, std::size_t number) {
    // The converter works on zero-terminated text, as the window does.
    if (!m_nulWarned && input.find('\0') != std::string_view::npos) {
      m_nulWarned = true;
      m_io.Error("jasokit convert: warning: input holds NUL bytes; text after a NUL byte was not converted\n");
    }
    std::string_view cp949Input = input;
    if (!m_cp949) {
      m_scratch.clear();
      if (!Utf8ToCp949(input, m_scratch) && !m_warned) {
        m_warned = true;
        m_io.Error(
            "jasokit convert: warning: input holds invalid UTF-8 or characters with no "
            "CP949 form; they were converted as '?'\n");
      }
      cp949Input = m_scratch;
    }
    const ConversionResult r = ConvertInput(cp949Input);
    if (r.status == ConversionStatus::TooLong) {
      m_refused = true;
      m_io.Error("jasokit convert: " + std::string(where) + " " + std::to_string(number) + ": " +
                 RefusalText() + "\n");
    }
    m_out.clear();
    if (m_tsv) {
      m_out += ConversionStatusName(r.status);
      m_out += '\t';
      AppendText(r.normalizedText, true);
      m_out += '\t';
      AppendText(r.outputText, true);
    } else {
      AppendText(r.outputText, false);
    }
    m_out += '\n';
    return m_io.Write(m_out);
  }

  bool refused() const { return m_refused; }

 private:
  void AppendText(const std::string& cp949, bool escape) {
    const std::string* text = &cp949;
    if (!m_cp949) {
      m_utf8.clear();
      Cp949ToUtf8(cp949, m_utf8);
      text = &m_utf8;
    }
    if (escape) {
      AppendTsvField(*text, m_out);
    } else {
      m_out += *text;
    }
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
  bool m_cp949;
  bool m_tsv;
  bool m_warned = false;
  bool m_nulWarned = false;
  bool m_refused = false;
  std::string m_scratch;
  std::string m_utf8;
  std::string m_out;
};

}  // namespace

int RunConvert(const Args& args, CliIo& io) {
  bool cp949 = false;
  bool tsv = false;
  bool optionsDone = false;
  std::vector<const std::string*> texts;
  for (const std::string& a : args) {
    if (!optionsDone && a.size() > 1 && a[0] == '-') {
      if (a == "--") {
        optionsDone = true;
      } else if (a == "--help" || a == "-h") {
        io.Write(kConvertHelp);
        return kExitOk;
      } else if (a == "--cp949") {
        cp949 = true;
      } else if (a == "--tsv") {
        tsv = true;
      } else {
        io.Error("jasokit convert: unknown option '" + a + "'; run 'jasokit convert --help'\n");
        return kExitUsage;
      }
      continue;
    }
    texts.push_back(&a);
  }

  Converter converter(io, cp949, tsv);
  const int status = ForEachInput(texts, io, "convert", false,
                                  [&](std::string_view text, const char* where, std::size_t number) {
                                    return converter.Convert(text, where, number);
                                  });
  if (status != kExitOk) return status;
  return converter.refused() ? kExitRefused : kExitOk;
}

}  // namespace jasokit::cli
