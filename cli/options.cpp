#include "cli/options.h"

#include <algorithm>

namespace jasokit::cli {

namespace {

std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string Prefix(const char* command) { return std::string("jasokit ") + command; }

}  // namespace

bool ParsedArgs::Has(std::size_t rule) const {
  return std::any_of(options.begin(), options.end(), [rule](const ParsedOption& o) { return o.rule == rule; });
}

const std::string* ParsedArgs::Value(std::size_t rule) const {
  for (auto it = options.rbegin(); it != options.rend(); ++it) {
    if (it->rule == rule) return &it->value;
  }
  return nullptr;
}

std::string NearestName(std::string_view word, const std::vector<std::string_view>& candidates) {
  std::string_view best;
  std::size_t bestDistance = 0;
  for (std::string_view c : candidates) {
    const std::size_t d = EditDistance(word, c);
    if (best.empty() || d < bestDistance) {
      best = c;
      bestDistance = d;
    }
  }
  // One slip in a short word, two in a longer one.
  const std::size_t allowed = word.size() <= 4 ? 1 : word.size() <= 8 ? 2 : 3;
  if (best.empty() || bestDistance > allowed) return std::string();
  return std::string(best);
}

bool StyleOption(const ParsedArgs& parsed, std::size_t option, const char* command, CliIo& io, Style& style) {
  const std::string* name = parsed.Value(option);
  if (!name || ParseStyle(*name, style)) return true;
  UsageError(io, command, "unknown style '" + *name + "' (classic or official)");
  return false;
}

// A number from the command line; more digits than that are no count.
constexpr std::size_t kMaxCountDigits = 9;

std::optional<std::size_t> ParseCount(const std::string& text) {
  if (text.empty() || text.size() > kMaxCountDigits) return std::nullopt;
  std::size_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + static_cast<std::size_t>(c - '0');
  }
  return n;
}

int RefuseCsvOnly(const ParsedArgs& parsed, const OptionRule* rules, const CsvOptionIds& ids, bool csv,
                  const char* command, CliIo& io) {
  if (csv) return kExitOk;
  for (const std::size_t option : {ids.column, ids.header, ids.inPlace, ids.outputColumn}) {
    if (parsed.Has(option)) return UsageError(io, command, std::string(rules[option].name) + " needs --csv");
  }
  return kExitOk;
}

int ReadCsvColumnChoice(const ParsedArgs& parsed, const CsvOptionIds& ids, const char* command, CliIo& io,
                        CsvColumnChoice& choice) {
  choice.header = parsed.Has(ids.header);
  choice.inPlace = parsed.Has(ids.inPlace);
  if (const std::string* column = parsed.Value(ids.column)) {
    const std::optional<std::size_t> n = ParseCount(*column);
    if (n && *n == 0) return UsageError(io, command, "--column counts from 1");
    if (n) {
      choice.column = *n - 1;
    } else if (choice.header) {
      choice.columnName = column;
    } else {
      return UsageError(io, command, "--column '" + *column + "' is a name, which needs --header");
    }
  }
  if (const std::string* name = parsed.Value(ids.outputColumn)) {
    if (!choice.header) return UsageError(io, command, "--output-column needs --header");
    if (choice.inPlace) return UsageError(io, command, "--output-column and --in-place exclude each other");
    choice.outputColumn = *name;
  }
  return kExitOk;
}

int UsageError(CliIo& io, const char* command, const std::string& message) {
  io.Error(Prefix(command) + ": " + message + "; run '" + Prefix(command) + " --help'\n");
  return kExitUsage;
}

namespace {

// One command-line word that starts with '-', split into its name and a
// value given with it ("--name=VALUE", "-j4").
struct OptionWord {
  std::string_view name;
  std::string value;
  bool hasValue = false;
  std::size_t rule;  // ruleCount when unknown
};

OptionWord MatchOption(const std::string& a, const OptionRule* rules, std::size_t ruleCount) {
  OptionWord word{a, std::string(), false, ruleCount};
  if (a.compare(0, 2, "--") == 0) {
    const std::size_t eq = a.find('=');
    if (eq != std::string::npos) {
      word.name = std::string_view(a).substr(0, eq);
      word.value = a.substr(eq + 1);
      word.hasValue = true;
    }
  }
  for (std::size_t s = 0; s < ruleCount; ++s) {
    if (word.name == rules[s].name || (rules[s].shortName && word.name == rules[s].shortName)) word.rule = s;
  }
  // A short option's value may follow it at once: -j4.
  if (word.rule == ruleCount && a[1] != '-' && a.size() > 2) {
    for (std::size_t s = 0; s < ruleCount; ++s) {
      if (rules[s].shortName && rules[s].value && a.compare(0, 2, rules[s].shortName) == 0) {
        word.rule = s;
        word.name = std::string_view(a).substr(0, 2);
        word.value = a.substr(2);
        word.hasValue = true;
      }
    }
  }
  return word;
}

void ReportUnknownOption(std::string_view name, const OptionRule* rules, std::size_t ruleCount, const char* command,
                         CliIo& io) {
  std::vector<std::string_view> names{"--help"};
  for (std::size_t s = 0; s < ruleCount; ++s) names.push_back(rules[s].name);
  const std::string near = NearestName(name, names);
  std::string message = "unknown option '" + std::string(name) + "'";
  if (!near.empty()) message += " (did you mean '" + near + "'?)";
  UsageError(io, command, message);
}

// The option's value, from the word itself or the next argument (i moves
// past it); false after reporting a value missing or not wanted.
bool TakeValue(const Args& args, std::size_t& i, const OptionRule& rule, OptionWord& word, const char* command,
               CliIo& io, ParsedOption& option) {
  if (!rule.value) {
    if (!word.hasValue) return true;
    UsageError(io, command, std::string(rule.name) + " takes no value");
    return false;
  }
  if (word.hasValue) {
    option.value = std::move(word.value);
  } else if (i + 1 < args.size()) {
    option.value = args[++i];
  } else {
    UsageError(io, command, std::string(rule.name) + " needs " + rule.value);
    return false;
  }
  return true;
}

}  // namespace

bool ParseOptions(const Args& args, const OptionRule* rules, std::size_t ruleCount, const char* command, CliIo& io,
                  ParsedArgs& out) {
  out = ParsedArgs();
  bool optionsDone = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsDone || a.size() < 2 || a[0] != '-') {
      out.operands.push_back(&a);
    } else if (a == "--") {
      optionsDone = true;
    } else if (a == "--help" || a == "-h") {
      out.help = true;
    } else {
      OptionWord word = MatchOption(a, rules, ruleCount);
      if (word.rule == ruleCount) {
        ReportUnknownOption(word.name, rules, ruleCount, command, io);
        return false;
      }
      ParsedOption option{word.rule, std::string()};
      if (!TakeValue(args, i, rules[word.rule], word, command, io, option)) return false;
      out.options.push_back(std::move(option));
    }
  }
  return true;
}

}  // namespace jasokit::cli
