#include "cli/cli.h"

#include <cstring>

#include "cli/options.h"
#include "jasokit/version.h"

namespace jasokit::cli {

namespace {

constexpr Command kCommands[] = {
    {"convert", "convert Korean addresses to English, romanize other text", RunConvert},
    {"romanize", "romanize text, never as an address", RunRomanize},
    {"zip", "look up zip codes by place name", RunZip},
    {"zipdb", "build the zip code table from a CSV file", RunZipDb},
    {"lookup", "look up current postcodes and addresses in the address database", RunLookup},
    {"addrdb", "build the address database from Korea Post's postcode files", RunAddrDb},
};

constexpr const char* kVersionText = "jasokit " JASOKIT_VERSION_STRING "\n";

std::string Usage() {
  std::string text =
      "usage: jasokit COMMAND [OPTIONS] [ARGS]\n"
      "\n"
      "commands:\n";
  for (const Command& c : kCommands) {
    text += "  ";
    text += c.name;
    text.append(10 - std::strlen(c.name), ' ');
    text += c.summary;
    text += '\n';
  }
  text +=
      "\n"
      "Run 'jasokit COMMAND --help' for the options of a command.\n"
      "  --help     show this help\n"
      "  --version  show the version\n";
  return text;
}

}  // namespace

int RunCli(const Args& args, CliIo& io) {
  if (args.empty()) {
    io.Error(Usage());
    return kExitUsage;
  }
  const std::string& name = args[0];
  if (name == "--help" || name == "-h" || name == "help") {
    io.Write(Usage());
    return io.Flush() ? kExitOk : kExitIo;
  }
  if (name == "--version") {
    io.Write(kVersionText);
    return io.Flush() ? kExitOk : kExitIo;
  }
  for (const Command& c : kCommands) {
    if (name == c.name) {
      const int rc = c.run(Args(args.begin() + 1, args.end()), io);
      if (!io.Flush() && rc == kExitOk) return kExitIo;
      return rc;
    }
  }
  std::vector<std::string_view> names;
  for (const Command& c : kCommands) names.push_back(c.name);
  const std::string near = NearestName(name, names);
  io.Error("jasokit: unknown command '" + name + "'" + (near.empty() ? "" : " (did you mean '" + near + "'?)") +
           "; run 'jasokit --help'\n");
  return kExitUsage;
}

void AppendTsvField(std::string_view field, std::string& out) {
  for (char c : field) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default: out += c;
    }
  }
}

}  // namespace jasokit::cli
