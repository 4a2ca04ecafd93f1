#include <string>

#include "address/conversion.h"
#include "cli/cli.h"
#include "cli/input.h"
#include "cli/options.h"
#include "romanize/hangul_romanizer.h"

namespace jasokit::cli {

namespace {

constexpr const char* kRomanizeHelp =
    "usage: jasokit romanize [--style classic|official] [--cp949] [TEXT...]\n"
    "\n"
    "Romanizes each TEXT, or each line of standard input when no TEXT is given,\n"
    "exactly as it stands: never as an address, nothing trimmed. Every Hangul\n"
    "syllable becomes Roman letters with the sound changes between neighbours;\n"
    "every other character passes through; the first letter is upper-cased.\n"
    "\n"
    "options:\n"
    "  --style S   classic (the default): the 2003 table of sound changes;\n"
    "              official: the Revised Romanization of Korean\n"
    "  --cp949     read and write CP949 bytes instead of UTF-8\n"
    "  --help      show this help\n"
    "\n"
    "A text of more than 1024 characters, or whose romanization takes more than\n"
    "1024 bytes, is refused: its output line is empty and the refusal is\n"
    "reported on standard error.\n"
    "\n"
    "exit status: 0 all romanized, 1 some input refused as too long,\n"
    "2 usage error, 3 input/output error\n";

enum RomanizeOption : std::size_t { kOptStyle, kOptCp949 };
constexpr OptionRule kRomanizeOptions[] = {
    {"--style", nullptr, "a STYLE (classic or official)"},
    {"--cp949", nullptr, nullptr},
};

}  // namespace

int RunRomanize(const Args& args, CliIo& io) {
  ParsedArgs parsed;
  if (!ParseOptions(args, kRomanizeOptions, "romanize", io, parsed)) return kExitUsage;
  if (parsed.help) {
    io.Write(kRomanizeHelp);
    return kExitOk;
  }
  Style style = Style::Classic;
  if (!StyleOption(parsed, kOptStyle, "romanize", io, style)) return kExitUsage;
  const bool cp949 = parsed.Has(kOptCp949);
  HangulRomanizer engine(style);
  bool refused = false;
  bool invalidWarned = false;
  std::string out;
  std::string result;
  // A unit takes at most two CP949 bytes or four UTF-8 ones, so a longer text
  // has too many units: it is refused without being held.
  HeldLine text(cp949 ? 2 * detail::kMaxUnits : 4 * detail::kMaxUnits,
                HeldLine::kStripCr | HeldLine::kCutAtNul | (cp949 ? 0u : unsigned{HeldLine::kCheckUtf8}));
  const int status = ForEachInput(parsed.operands, io, "romanize", text, [&](const char* where, std::size_t number) {
    bool invalid = false;
    if (text.overLong()) {
      result.clear();
      invalid = !cp949 && !text.validUtf8();
    } else if (cp949) {
      engine.Romanize(text.text());
      engine.GetResult(result);
    } else {
      result = detail::RomanizeUtf8(text.text(), style, &invalid);
    }
    if (invalid && !invalidWarned) {
      invalidWarned = true;
      io.Error("jasokit romanize: warning: " + std::string(where) + " " + std::to_string(number) +
               ": invalid UTF-8, romanized as U+FFFD\n");
    }
    if (result.empty() && text.size() > 0) {
      refused = true;
      io.Error("jasokit romanize: " + std::string(where) + " " + std::to_string(number) +
               ": too long to romanize (more than 1024 characters, or more than 1024 bytes of result)\n");
    }
    out = result;
    out += '\n';
    return io.Write(out);
  });
  if (status != kExitOk) return status;
  return refused ? kExitRefused : kExitOk;
}

}  // namespace jasokit::cli
