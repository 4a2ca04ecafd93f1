// jasokit serve: the library as a local HTTP service.
#include <optional>
#include <string>
#include <thread>

#include "cli/addrdb_source.h"
#include "cli/cli.h"
#include "cli/options.h"
#include "frontend/zip_query.h"
#include "jasokit/address_db.h"
#include "jasokit/zip.h"
#include "platform/platform.h"
#include "platform/program_folder.h"
#include "service/http_api.h"
#include "service/http_server.h"
#include "service/live_address_db.h"

namespace jasokit::cli {

namespace {

constexpr const char* kServeHelp =
    "usage: jasokit serve [--listen ADDR:PORT] [--db ZIPTABLE] [--addrdb FILE]\n"
    "                     [--threads N] [--max-body BYTES] [--timeout SECONDS]\n"
    "                     [--header-timeout SECONDS] [--max-per-client N]\n"
    "                     [--answer-memory BYTES] [--min-rate BYTES]\n"
    "                     [--cors ORIGIN] [--log]\n"
    "\n"
    "Answers HTTP requests with JSON, as the command line's --json does:\n"
    "  GET  /v1/convert?text=T&style=S&country=C   the object of convert --json\n"
    "  POST /v1/convert  {\"texts\": [...], \"style\": S, \"country\": C}\n"
    "                    gives {\"results\": [...]}, at most 10000 texts\n"
    "  GET  /v1/romanize?text=T&style=S            {\"output\": ...}\n"
    "  GET  /v1/romanize?text=T&name=1&surname=S   the object of romanize --name\n"
    "       &hyphen=1&given_first=1&upper=1        --json (but name, optional)\n"
    "  POST /v1/romanize?name=1&...  {\"texts\": [...]} gives {\"results\": [...]}\n"
    "  GET  /v1/zip?name=N (or prefix=P, code=C)   the object of zip --json\n"
    "  GET  /v1/lookup?q=Q                         the object of lookup --json (200\n"
    "                                              with no matches when none match);\n"
    "                                              404 without an address database\n"
    "  GET  /healthz                               status, version, zip rows, the\n"
    "                                              address database's counts\n"
    "  GET  /                                      a page for people\n"
    "Errors are {\"error\": MESSAGE, \"status\": N}. Request texts are never\n"
    "logged. SIGINT and SIGTERM end the service once the requests in flight\n"
    "are answered. A new address database renamed over the file in use is\n"
    "loaded within a second (and on SIGHUP) without dropping a request; while\n"
    "the file in use is changed in place, the answers that need it are 503.\n"
    "\n"
    "options:\n"
    "  --listen ADDR:PORT  where to listen (default: 127.0.0.1:8080; port 0:\n"
    "                      any free port); any other address must be given\n"
    "  --db FILE           the zip code table (default: zipcode030101t6.dbf\n"
    "                      beside the jasokit executable, if there)\n"
    "  --addrdb FILE       the address database for /v1/lookup and official\n"
    "                      conversions (default: $JASOKIT_ADDRDB, else the one\n"
    "                      'jasokit addrdb build --install' wrote, if any)\n"
    "  --threads N         threads working on request bodies, and as many\n"
    "                      reading connections, up to four per core\n"
    "                      (default: 64); past twice as many connections\n"
    "                      with a request in (its head read) the answer is\n"
    "                      503\n"
    "  --max-body BYTES    the largest request body (default: 1048576)\n"
    "  --timeout SECONDS   how long a connection may stay silent, reading a\n"
    "                      request, writing an answer or idle (default: 5)\n"
    "  --header-timeout SECONDS\n"
    "                      the whole time a request's head may take, from\n"
    "                      the connection's start or its previous answer;\n"
    "                      then the connection is closed (default: 10)\n"
    "  --max-per-client N  connections from one client address at a time;\n"
    "                      more are closed at once (default: 0, any number:\n"
    "                      behind a proxy every client has its address)\n"
    "  --answer-memory BYTES\n"
    "                      the memory held for request bodies and answers\n"
    "                      together; past it a body is answered 503\n"
    "                      (default: 134217728)\n"
    "  --min-rate BYTES    the least bytes a second, over each --timeout, at\n"
    "                      which an answer over 64 KiB must be read; a\n"
    "                      slower reader is cut off (default: 1024; 0: any)\n"
    "  --cors ORIGIN       allow pages from ORIGIN to call the service\n"
    "  --log               one line per request on standard error: client,\n"
    "                      method, path (never the query), status, bytes\n"
    "  --help              show this help\n"
    "\n"
    "The first line on standard error tells the address listened on.\n"
    "\n"
    "exit status: 0 stopped by a signal, 1 the zip table or address database\n"
    "given could not be loaded, 2 usage error, 3 the address could not be\n"
    "listened on\n";

enum ServeOption : std::size_t {
  kOptListen,
  kOptDb,
  kOptAddrDb,
  kOptThreads,
  kOptMaxBody,
  kOptTimeout,
  kOptHeaderTimeout,
  kOptMaxPerClient,
  kOptAnswerMemory,
  kOptMinRate,
  kOptCors,
  kOptLog,
};
constexpr OptionRule kServeOptions[] = {
    {kOptListen, "--listen", nullptr, "an ADDR:PORT"},
    {kOptDb, "--db", nullptr, "a FILE"},
    {kOptAddrDb, "--addrdb", nullptr, "a FILE"},
    {kOptThreads, "--threads", nullptr, "a number of threads"},
    {kOptMaxBody, "--max-body", nullptr, "a number of bytes"},
    {kOptTimeout, "--timeout", nullptr, "a number of seconds"},
    {kOptHeaderTimeout, "--header-timeout", nullptr, "a number of seconds"},
    {kOptMaxPerClient, "--max-per-client", nullptr, "a number of connections"},
    {kOptAnswerMemory, "--answer-memory", nullptr, "a number of bytes"},
    {kOptMinRate, "--min-rate", nullptr, "a number of bytes"},
    {kOptCors, "--cors", nullptr, "an ORIGIN"},
    {kOptLog, "--log", nullptr, nullptr},
};
static_assert(InIdOrder(kServeOptions));

constexpr std::size_t kMaxThreads = 4096;
constexpr std::size_t kMaxPort = 65535;
constexpr std::size_t kMaxTimeout = 3600;
constexpr std::size_t kMaxClients = 65535;

std::optional<std::size_t> ParseNumber(const std::string& text, std::size_t min, std::size_t max) {
  constexpr std::size_t kMaxDigits = 12;
  if (text.empty() || text.size() > kMaxDigits) return std::nullopt;
  std::size_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + static_cast<std::size_t>(c - '0');
  }
  if (n < min || n > max) return std::nullopt;
  return n;
}

// "127.0.0.1:8080", "[::1]:8080", "localhost:0".
bool ParseListen(const std::string& text, ServerSettings& s) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  std::string host = text.substr(0, colon);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  const std::optional<std::size_t> port = ParseNumber(text.substr(colon + 1), 0, kMaxPort);
  if (!port) return false;
  s.host = host;
  s.port = static_cast<int>(*port);
  return true;
}

void Assign(ServeOption option, std::size_t number, ServerSettings& s) {
  switch (option) {
    case kOptThreads: s.threads = number; break;
    case kOptMaxBody: s.maxBody = number; break;
    case kOptTimeout: s.timeoutSeconds = static_cast<int>(number); break;
    case kOptHeaderTimeout: s.headerTimeoutSeconds = static_cast<int>(number); break;
    case kOptMaxPerClient: s.maxPerClient = number; break;
    case kOptAnswerMemory: s.answerMemory = number; break;
    case kOptMinRate: s.minRate = number; break;
    default: break;
  }
}

struct NumberOption {
  ServeOption option;
  std::size_t min;
  std::size_t max;
};

int ReadSettings(const ParsedArgs& parsed, CliIo& io, ServerSettings& s) {
  if (const std::string* listen = parsed.Value(kOptListen); listen && !ParseListen(*listen, s)) {
    return UsageError(io, "serve", "--listen takes ADDR:PORT, not '" + *listen + "'");
  }
  constexpr std::size_t kMaxBytes = std::size_t{1} << 40;
  constexpr NumberOption kNumbers[] = {{kOptThreads, 1, kMaxThreads},      {kOptMaxBody, 1, kMaxBytes},
                                       {kOptTimeout, 1, kMaxTimeout},      {kOptHeaderTimeout, 1, kMaxTimeout},
                                       {kOptMaxPerClient, 0, kMaxClients}, {kOptAnswerMemory, 1, kMaxBytes},
                                       {kOptMinRate, 0, kMaxBytes}};
  for (const NumberOption& n : kNumbers) {
    const std::string* value = parsed.Value(n.option);
    if (!value) continue;
    const std::optional<std::size_t> number = ParseNumber(*value, n.min, n.max);
    if (!number) {
      return UsageError(io, "serve",
                        std::string(kServeOptions[n.option].name) + " takes a number from " + std::to_string(n.min) +
                            " to " + std::to_string(n.max) + ", not '" + *value + "'");
    }
    Assign(n.option, *number, s);
  }
  if (const std::string* cors = parsed.Value(kOptCors)) s.corsOrigin = *cors;
  if (parsed.Has(kOptLog)) s.log = [&io](const std::string& line) { io.Error(line + "\n"); };
  return kExitOk;
}

// The zip table given, or the one beside the program when it is there.
int LoadZipTable(const ParsedArgs& parsed, CliIo& io, std::optional<ZipDatabase>& table) {
  const std::string* given = parsed.Value(kOptDb);
  const std::string dir = io.ExecutableDir();
  if (!given && dir.empty()) return kExitOk;
  const std::string path = given ? *given : platform::FileBeside(dir, kZipFileName);
  ZipDatabase db;
  const ZipLoadStatus loaded = db.Load(path);
  if (given) {
    const std::string problem = NamedTableProblem(path, loaded, db);
    if (!problem.empty()) {
      io.Error("jasokit serve: " + path + ": " + problem + "\n");
      return kExitTableError;
    }
  }
  const std::string reason = ZipLoadMessage(loaded);
  if (loaded == ZipLoadStatus::Ok) {
    table.emplace(std::move(db));
    return kExitOk;
  }
  io.Error("jasokit serve: warning: no zip table (" + path + ": " + reason + "); /v1/zip answers 404\n");
  return kExitOk;
}

}  // namespace

namespace {

int RunServe(const ParsedArgs& parsed, CliIo& io) {
  if (!parsed.operands.empty()) return UsageError(io, "serve", "no operands are taken");
  ServerSettings settings;
  if (const int rc = ReadSettings(parsed, io, settings); rc != kExitOk) return rc;
  // Before any thread starts, so that every thread holds the signals back.
  TerminationRequests termination(true);
  std::optional<ZipDatabase> table;
  if (const int rc = LoadZipTable(parsed, io, table); rc != kExitOk) return rc;
  AddressDatabase addresses;
  const std::string* named = parsed.Value(kOptAddrDb);
  const AddressDbFound found = OpenAddressDb(named, "serve", io, addresses, true);
  if (found == AddressDbFound::kError) return kExitTableError;
  if (found == AddressDbFound::kNone) {
    io.Error("jasokit serve: warning: no address database; /v1/lookup answers 404\n");
  }
  std::optional<LiveAddressDb> live;
  if (found == AddressDbFound::kOpened) live.emplace(named ? *named : DefaultAddressDbPath(), std::move(addresses));
  const HttpApi api(table ? &*table : nullptr, std::thread::hardware_concurrency(), live ? &*live : nullptr);
  HttpServer server(api, settings);
  std::string error;
  const int port = server.Bind(error);
  if (port < 0) {
    io.Error("jasokit serve: cannot listen on " + settings.host + ":" + std::to_string(settings.port) + ": " + error +
             "\n");
    return kExitIo;
  }
  const bool v6 = settings.host.find(':') != std::string::npos;
  io.Error("jasokit serve: listening on http://" + (v6 ? "[" + settings.host + "]" : settings.host) + ":" +
           std::to_string(port) + "/\n");
  // The database file is looked at each second, and on SIGHUP.
  termination.Serve([&] { server.Serve(); }, [&] { server.Stop(); },
                    [&](bool asked) {
                      const std::string line = live ? live->Refresh(asked) : "";
                      if (!line.empty()) io.Error(line);
                    });
  return kExitOk;
}

}  // namespace

constexpr Command kServeCommand =
    MakeCommand("serve", "answer HTTP requests with JSON, and serve a page", kServeHelp, kServeOptions, RunServe);

}  // namespace jasokit::cli
