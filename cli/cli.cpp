#include "cli/cli.h"

#include <cstring>
#include <utility>

#include "cli/name_command.h"
#include "cli/options.h"
#include "jasokit/version.h"

namespace jasokit::cli {

namespace {

// serve needs an HTTP library that a build may lack (the Windows one).
constexpr const Command* kCommands[] = {&kConvertCommand, &kRomanizeCommand, &kZipCommand,
                                        &kZipDbCommand,   &kLookupCommand,   &kAddrDbCommand,
#ifndef JASOKIT_NO_SERVE
                                        &kServeCommand
#endif
};

constexpr const char* kVersionText = "jasokit " JASOKIT_VERSION_STRING "\n";

std::string Usage() {
  std::string text =
      "usage: jasokit COMMAND [OPTIONS] [ARGS]\n"
      "\n"
      "commands:\n";
  for (const Command* c : kCommands) {
    text += "  ";
    text += c->name;
    text.append(10 - std::strlen(c->name), ' ');
    text += c->summary;
    text += '\n';
  }
  text +=
      "\n"
      "Run 'jasokit COMMAND --help' for the options of a command.\n"
      "  --help     show this help\n"
      "  --version  show the version\n";
  return text;
}

// Checks the subcommand, if the command has one, and takes it off args;
// 0, or the exit status once help or an error is written.
int TakeSubcommand(const Command& c, Args& args, CliIo& io, bool& helped) {
  if (args.empty()) return UsageError(io, c.name, "missing subcommand");
  if (args[0] == "--help" || args[0] == "-h") {
    io.Write(c.help);
    helped = true;
    return kExitOk;
  }
  if (args[0] != c.subcommand) {
    const std::string near = NearestName(args[0], {c.subcommand});
    return UsageError(io, c.name,
                      "unknown subcommand '" + args[0] + "'" +
                          (near.empty() ? "" : " (did you mean '" + std::string(c.subcommand) + "'?)"));
  }
  args.erase(args.begin());
  return kExitOk;
}

int RunCommand(const Command& c, Args args, CliIo& io) {
  if (c.subcommand) {
    bool helped = false;
    const int status = TakeSubcommand(c, args, io, helped);
    if (status != kExitOk || helped) return status;
  }
  ParsedArgs parsed;  // its operands point into args
  if (!ParseOptions(args, c.options, c.optionCount, c.name, io, parsed)) return kExitUsage;
  if (parsed.help) {
    io.Write(c.help);
    return kExitOk;
  }
  return c.run(parsed, io);
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
  for (const Command* c : kCommands) {
    if (name == c->name) {
      Args rest(args.begin() + 1, args.end());
      const Command& chosen = c == &kRomanizeCommand && AsksForNames(rest) ? kRomanizeNameCommand : *c;
      const int rc = RunCommand(chosen, std::move(rest), io);
      if (!io.Flush() && rc == kExitOk) return kExitIo;
      return rc;
    }
  }
  std::vector<std::string_view> names;
  for (const Command* c : kCommands) names.push_back(c->name);
  const std::string near = NearestName(name, names);
  io.Error("jasokit: unknown command '" + name + "'" + (near.empty() ? "" : " (did you mean '" + near + "'?)") +
           "; run 'jasokit --help'\n");
  return kExitUsage;
}

int ExitCodeOf(TableFileStatus status) {
  switch (status) {
    case TableFileStatus::Ok: return kExitOk;
    case TableFileStatus::NotRegular: return kExitIo;
    case TableFileStatus::IsInput: return kExitUsage;
    case TableFileStatus::Failed: break;
  }
  return kExitDataError;
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
