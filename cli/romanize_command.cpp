#include <iterator>
#include <string>

#include "cli/cli.h"
#include "cli/name_command.h"
#include "cli/options.h"
#include "frontend/codec.h"
#include "frontend/input.h"
#include "jasokit/style.h"

namespace jasokit::cli {

namespace {

constexpr const char* kRomanizeHelp =
    "usage: jasokit romanize [--style classic|official] [--cp949] [TEXT...]\n"
    "       jasokit romanize --name [--surname common|rr] [--hyphen] [--given-first]\n"
    "                        [--upper] [--json] [--csv ...] [NAME...]\n"
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
    "  --name      romanize personal names as passports write them (Hong\n"
    "              Gildong); see 'jasokit romanize --name --help'\n"
    "  --help      show this help\n"
    "\n"
    "A text of more than 1024 characters, or whose romanization takes more than\n"
    "1024 bytes, is refused: its output line is empty and the refusal is\n"
    "reported on standard error.\n"
    "\n"
    "exit status: 0 all romanized, 2 usage error, 3 input/output error,\n"
    "6 some input refused as too long\n";

enum RomanizeOption : std::size_t { kOptStyle, kOptCp949 };
constexpr OptionRule kRomanizeOptions[] = {
    {kOptStyle, "--style", nullptr, "a STYLE (classic or official)"},
    {kOptCp949, "--cp949", nullptr, nullptr},
};
static_assert(InIdOrder(kRomanizeOptions));

int RunRomanize(const ParsedArgs& parsed, CliIo& io) {
  Style style = Style::Classic;
  if (!StyleOption(parsed, kOptStyle, "romanize", io, style)) return kExitUsage;
  const TextCodec& codec = TextCodec::For(parsed.Has(kOptCp949));
  bool refused = false;
  bool invalidWarned = false;
  std::string out;
  std::string result;
  HeldLine text = codec.Romanizable();
  const bool read = ForEachInput(parsed.operands, io, "romanize", text, [&](const char* where, std::size_t number) {
    // Known without romanizing for an over-long text only.
    bool invalid = text.overLong() && !text.validUtf8();
    if (text.overLong()) {
      result.clear();
    } else {
      result = codec.Romanize(text.text(), style, invalid);
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
  if (!read) return kExitIo;
  return refused ? kExitRefused : kExitOk;
}

}  // namespace

constexpr Command kRomanizeCommand =
    MakeCommand("romanize", "romanize text, never as an address", kRomanizeHelp, kRomanizeOptions, RunRomanize);

}  // namespace jasokit::cli
