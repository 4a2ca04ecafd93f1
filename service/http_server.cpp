#include "service/http_server.h"

#include <microhttpd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

#include "frontend/batch_engine.h"
#include "platform/service_system.h"
#include "service/web_page.h"

namespace jasokit::cli {

namespace {

enum HttpStatus : int {
  kOk = 200,
  kNoContent = 204,
  kBadRequest = 400,
  kNotFound = 404,
  kMethodNotAllowed = 405,
  kPayloadTooLarge = 413,
  kUriTooLong = 414,
  kUnsupportedMediaType = 415,
  kInternalError = 500,
  kNotImplemented = 501,
  kUnavailable = 503,
};

enum class Endpoint { kConvert, kConvertCsv, kRomanize, kZip, kLookup, kHealth, kPage };

struct Route {
  const char* path;
  Endpoint endpoint;
  bool post;  // takes POST as well as GET
};

constexpr Route kRoutes[] = {
    {"/v1/convert", Endpoint::kConvert, true},
    {"/v1/convert/csv", Endpoint::kConvertCsv, true},
    {"/v1/romanize", Endpoint::kRomanize, true},
    {"/v1/zip", Endpoint::kZip, false},
    {"/v1/lookup", Endpoint::kLookup, false},
    {"/healthz", Endpoint::kHealth, false},
    {"/", Endpoint::kPage, false},
};

constexpr const char* kJsonType = "application/json";
constexpr const char* kCsvType = "text/csv";
constexpr const char* kNoncePlaceholder = "%NONCE%";
// A longer URI is answered 414.
constexpr std::size_t kMaxUriBytes = 64 * 1024;
// Bounds on the request's header lines, each and in number, beyond which
// the answer is 400.
constexpr std::size_t kMaxHeaderBytes = 8 * 1024;
constexpr std::size_t kMaxHeaders = 100;
// Past this many query parameters the answer is 400. The library would hold
// each in the connection's memory, and a query of thousands would use it up
// before the request could be answered at all.
constexpr std::size_t kMaxParameters = 100;
// Each connection's memory: a request the library cannot hold in it is
// refused by the library itself (414 or 431, then closed). Room for the
// longest URI answered and its headers, so that those refusals are ours,
// and no more: the library zeroes all of it for every request on a
// connection, which at 256 KiB took a third of a GET's time.
constexpr std::size_t kConnectionMemory = 128 * 1024;
// Connections past the bound are answered 503; past that many more, the
// library closes them at once.
constexpr std::size_t kRefusalQueue = 64;
// The body of a refused request is read and dropped up to this size, so
// that the client reads the answer rather than a reset; beyond it the
// connection is closed after the answer.
constexpr std::uint64_t kMaxDroppedBytes = 16 << 20;
// A larger answer is handed to the library in pieces of this size, so that
// the watchdog sees how fast it leaves. Pieces of 64 KiB cost a batch of
// 10,000 addresses (2.5 MB of answer) a fifth of its rate in copies and sends.
constexpr std::size_t kPieceBytes = 256 * 1024;
// The socket's send buffer under a large answer (the kernel doubles it):
// some 4 ms of a gigabit link.
constexpr int kAnswerSocketBuffer = 256 * 1024;
// What the answer to a body takes for each of its bytes, about (from 4 for
// classic addresses to 12 for one-syllable texts): held for the answer
// while the body is worked on.
constexpr std::size_t kAnswerBytesPerBodyByte = 8;
// Threads reading connections per core, at most.
constexpr std::size_t kReadersPerCore = 4;
// How often the watchdog looks at the connections.
constexpr std::chrono::milliseconds kWatchEvery{250};
// Descriptors kept for other than connections: per reading thread (its
// epoll and its wake-up channel), and for the rest of the program.
constexpr std::size_t kFilesPerThread = 4;
constexpr std::size_t kOtherFiles = 64;
constexpr std::size_t kMaxConnections = 1 << 16;

// As many connections as the open files allow, the limit on them raised to
// its ceiling first: a connection reading its head or idle costs a
// descriptor and a little memory, and the watchdog bounds how long.
std::size_t ConnectionLimit(std::size_t threads) {
  const std::size_t reserved = kFilesPerThread * threads + kOtherFiles;
  const std::uint64_t open = RaiseOpenFileLimit(kMaxConnections + reserved);
  return std::max(2 * threads + kRefusalQueue, open > reserved ? open - reserved : 0);
}

const Route* FindRoute(std::string_view path) {
  for (const Route& r : kRoutes) {
    if (path == r.path) return &r;
  }
  return nullptr;
}

std::string Base64(const unsigned char* bytes, std::size_t size) {
  constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < size; i += 3) {
    const std::uint32_t n = (std::uint32_t{bytes[i]} << 16) | (i + 1 < size ? std::uint32_t{bytes[i + 1]} << 8 : 0) |
                            (i + 2 < size ? std::uint32_t{bytes[i + 2]} : 0);
    out += kDigits[(n >> 18) & 63];
    out += kDigits[(n >> 12) & 63];
    out += i + 1 < size ? kDigits[(n >> 6) & 63] : '=';
    out += i + 2 < size ? kDigits[n & 63] : '=';
  }
  return out;
}

// A fresh nonce for each page, so that no script but the page's own can run.
std::string MakeNonce() {
  unsigned char bytes[16];
  RandomBytes(bytes, sizeof bytes);
  return Base64(bytes, sizeof bytes);
}

// A field of the access log as the client sent it: control characters,
// spaces and bytes past ASCII escaped, and cut after 200 bytes, so that a
// request cannot write lines (or terminal codes) of its own.
std::string LogField(std::string_view field) {
  constexpr std::size_t kMaxLogged = 200;
  std::string out;
  for (std::size_t i = 0; i < field.size() && i < kMaxLogged; ++i) {
    const auto c = static_cast<unsigned char>(field[i]);
    if (c < 0x21 || c >= 0x7F || c == '\\') {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  if (field.size() > kMaxLogged) out += "...";
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The path of a request target, percent-decoded as the library decodes it,
// but whole: the library's ends at a decoded NUL, which would route
// "/healthz%00" as "/healthz".
std::string DecodedPath(std::string_view target) {
  const std::string_view raw = target.substr(0, target.find('?'));
  std::string out;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const int high = raw[i] == '%' && i + 2 < raw.size() ? HexDigit(raw[i + 1]) : -1;
    const int low = high >= 0 ? HexDigit(raw[i + 2]) : -1;
    if (low >= 0) {
      out += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      out += raw[i];
    }
  }
  return out;
}

// The parameters of a request target's query, counted as the library
// splits them.
std::size_t CountParameters(std::string_view target) {
  const std::size_t query = target.find('?');
  if (query == std::string_view::npos || query + 1 == target.size()) return 0;
  return 1 +
         static_cast<std::size_t>(std::count(target.begin() + static_cast<std::ptrdiff_t>(query), target.end(), '&'));
}

bool IsMediaType(std::string_view t, std::string_view expected) {
  if (t.size() < expected.size()) return false;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(t[i])) != expected[i]) return false;
  }
  const std::string_view rest = t.substr(expected.size());
  return rest.empty() || rest[0] == ';' || rest[0] == ' ';
}

std::string ClientAddress(MHD_Connection* connection) {
  const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
  return NumericAddress(info ? info->client_addr : nullptr);
}

std::string_view Header(MHD_Connection* connection, const char* name) {
  const char* value = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name);
  return value ? value : "";
}

// The declared body size; 0 without one (or with a chunked body).
std::uint64_t DeclaredLength(MHD_Connection* connection) {
  std::uint64_t n = 0;
  for (const char c : Header(connection, MHD_HTTP_HEADER_CONTENT_LENGTH)) {
    if (c < '0' || c > '9' || n > UINT64_MAX / 10 - 9) return UINT64_MAX;
    n = n * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return n;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// The header lines, and how they tell where the body ends.
struct HeaderStats {
  std::size_t count = 0;
  std::size_t longest = 0;
  std::size_t lengths = 0;  // Content-Length lines
  bool lengthsDiffer = false;
  std::string_view firstLength;
  std::size_t encodings = 0;  // Transfer-Encoding lines
  bool chunkedOnly = true;    // each of them says just "chunked"
};

MHD_Result CountHeader(void* cls, MHD_ValueKind, const char* key, std::size_t key_size, const char* value,
                       std::size_t value_size) {
  auto& stats = *static_cast<HeaderStats*>(cls);
  ++stats.count;
  stats.longest = std::max(stats.longest, key_size + value_size);
  const std::string_view name(key, key_size);
  const std::string_view text(value ? value : "", value ? value_size : 0);
  if (EqualsNoCase(name, MHD_HTTP_HEADER_CONTENT_LENGTH)) {
    if (stats.lengths++ == 0) stats.firstLength = text;
    stats.lengthsDiffer = stats.lengthsDiffer || text != stats.firstLength;
  } else if (EqualsNoCase(name, MHD_HTTP_HEADER_TRANSFER_ENCODING)) {
    ++stats.encodings;
    stats.chunkedOnly = stats.chunkedOnly && EqualsNoCase(text, "chunked");
  }
  return MHD_YES;
}

// A head whose body a proxy in front could delimit otherwise (the ground of
// request smuggling) is refused, and the connection closed after: where the
// next request would begin is not known.
std::optional<HttpAnswer> FramingError(const HeaderStats& stats) {
  if (stats.encodings > 0 && !(stats.encodings == 1 && stats.chunkedOnly)) {
    return ErrorAnswer(kNotImplemented, "only the chunked transfer coding is taken");
  }
  if (stats.encodings > 0 && stats.lengths > 0) {
    return ErrorAnswer(kBadRequest, "both Transfer-Encoding and Content-Length");
  }
  if (stats.lengthsDiffer) return ErrorAnswer(kBadRequest, "conflicting Content-Length headers");
  return std::nullopt;
}

MHD_Result AddArgument(void* cls, MHD_ValueKind, const char* key, std::size_t key_size, const char* value,
                       std::size_t value_size) {
  static_cast<HttpQuery*>(cls)->emplace(std::string(key, key_size),
                                        value ? std::string(value, value_size) : std::string());
  return MHD_YES;
}

HttpQuery Arguments(MHD_Connection* connection) {
  HttpQuery query;
  MHD_get_connection_values_n(connection, MHD_GET_ARGUMENT_KIND, AddArgument, &query);
  return query;
}

// An answer with the headers it needs beyond the common ones.
struct Reply {
  HttpAnswer answer;
  const char* type = kJsonType;
  std::vector<std::pair<const char*, std::string>> headers;
  bool close = false;  // the connection ends after it
};

Reply Json(HttpAnswer answer) {
  const char* type = answer.type ? answer.type : kJsonType;
  Reply r{std::move(answer), type, {}, false};
  if (!r.answer.hint.empty()) r.headers.emplace_back("X-Jasokit-Hint", r.answer.hint);
  return r;
}

Reply Error(int status, std::string_view message) { return Json(ErrorAnswer(status, message)); }

Reply Busy() {
  Reply r = Error(kUnavailable, "server overloaded; try again");
  r.headers.emplace_back("Retry-After", "1");
  return r;
}

Reply NotAllowed(const Route& route) {
  Reply r = Error(kMethodNotAllowed, "method not allowed");
  r.headers.emplace_back("Allow", route.endpoint == Endpoint::kConvertCsv ? "POST"
                                  : route.post                            ? "GET, HEAD, POST"
                                                                          : "GET, HEAD");
  return r;
}

// One request, from its first line to its answer.
struct Request {
  std::size_t uriBytes = 0;
  std::size_t parameters = 0;
  std::string path;  // decoded, whole
  bool started = false;
  bool answerNow = false;      // without reading the body, then closed
  bool answeredEarly = false;  // written past the library, before the body's end
  const Route* route = nullptr;
  std::optional<Reply> reply;  // decided before the body is in
  std::string body;
  std::uint64_t dropped = 0;  // body bytes read past a refusal
  std::size_t held = 0;       // counted in the memory held for answers
};

using Clock = std::chrono::steady_clock;

std::int64_t Now() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

enum class Phase : int {
  kHead,     // reading a request's head, or idle before one
  kWorking,  // the head is in: reading the body, working, or answering
  kSending,  // a large answer leaving
};

// The bytes of a large answer the library has taken so far.
struct Progress {
  std::atomic<std::uint64_t> sent{0};
};

// A connection as the watchdog sees it. The phase and its start are set by
// the library's threads; the rest is the watchdog's own.
struct ConnectionState {
  int fd = -1;
  std::atomic<Phase> phase{Phase::kHead};
  std::atomic<std::int64_t> since{0};  // ms, when the phase began
  std::shared_ptr<Progress> progress = std::make_shared<Progress>();
  bool counted = false;  // in the bound on busy connections
  bool overloaded = false;
  bool cut = false;
  std::int64_t windowStart = 0;
  std::uint64_t windowSent = 0;

  void Enter(Phase p) {
    since = Now();
    phase = p;
  }
};

// A large answer, handed to the library piece by piece so that its progress
// shows, and counted in the memory held for answers until it is gone.
struct HeldAnswer {
  std::string body;
  std::shared_ptr<Progress> progress;
  std::atomic<std::size_t>* held;
  ~HeldAnswer() { *held -= body.size(); }
};

}  // namespace

struct HttpServer::Impl {
  Impl(const HttpApi& a, ServerSettings s) : api(a), settings(std::move(s)), workers(settings.threads) {
    const std::string_view page(kWebPage, kWebPageSize);
    std::size_t at = 0;
    for (std::size_t found; (found = page.find(kNoncePlaceholder, at)) != std::string_view::npos;) {
      pagePieces.emplace_back(page.substr(at, found - at));
      at = found + std::strlen(kNoncePlaceholder);
    }
    pagePieces.emplace_back(page.substr(at));
  }

  ~Impl() {
    if (daemon) MHD_stop_daemon(daemon);
    StopWatchdog();
    CloseSocket(listenSocket);
  }

  int Bind(std::string& error);
  bool Start(std::string& error);
  void Serve();

  // The library's callbacks.
  static void* Begin(void* cls, const char* uri, MHD_Connection*) {
    auto& self = *static_cast<Impl*>(cls);
    ++self.inFlight;
    auto* request = new Request;
    const std::string_view target(uri);
    request->uriBytes = target.size();
    request->path = DecodedPath(target.substr(0, std::min(target.size(), kMaxUriBytes)));
    request->parameters = CountParameters(target);
    if (request->parameters > kMaxParameters) {
      // The library splits the query in place right after this call: an
      // empty one leaves it none to hold (the request is refused anyway).
      const_cast<char*>(uri)[target.find('?') + 1] = '\0';
    }
    return request;
  }

  static void Completed(void* cls, MHD_Connection* connection, void** request, MHD_RequestTerminationCode code) {
    auto& self = *static_cast<Impl*>(cls);
    auto* r = static_cast<Request*>(*request);
    if (r) self.held -= r->held;
    delete r;
    *request = nullptr;
    if (ConnectionState* state = StateOf(connection)) {
      if (state->counted) --self.busy;
      state->counted = false;
      if (state->phase == Phase::kSending && code != MHD_REQUEST_TERMINATED_COMPLETED_OK) {
        // Unfinished (too slow a reader, or one silent past the time-out):
        // what its socket still holds for the reader is dropped, not kept by
        // the kernel for it.
        ResetOnClose(state->fd);
      }
      state->Enter(Phase::kHead);  // the next request's head, from now
    }
    --self.inFlight;
  }

  // The bound counts the connections with a request in: one still reading
  // its head, or idle between requests, holds no thread and no slot (the
  // watchdog bounds how long it may take).
  static void Connected(void* cls, MHD_Connection* connection, void** context, MHD_ConnectionNotificationCode code) {
    auto& self = *static_cast<Impl*>(cls);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
      auto* state = new ConnectionState;
      const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
      state->fd = info ? info->connect_fd : -1;
      state->Enter(Phase::kHead);
      *context = state;
      std::lock_guard<std::mutex> lock(self.watchMutex);
      self.watched.insert(state);
      return;
    }
    auto* state = static_cast<ConnectionState*>(*context);
    if (!state) return;
    {
      // Before the library closes the socket: the watchdog never cuts a
      // descriptor taken by a newer connection.
      std::lock_guard<std::mutex> lock(self.watchMutex);
      self.watched.erase(state);
    }
    if (state->counted) --self.busy;
    delete state;
    *context = nullptr;
  }

  // Counts a connection in; whether it is past the bound.
  bool CountIn() { return ++busy > 2 * settings.threads; }

  static ConnectionState* StateOf(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    return info ? static_cast<ConnectionState*>(info->socket_context) : nullptr;
  }

  // No exception may pass into the library: a failure ends the connection.
  static MHD_Result Handle(void* cls, MHD_Connection* connection, const char*, const char* method, const char*,
                           const char* upload, std::size_t* uploadSize, void** request) {
    if (!*request) *request = Begin(cls, "", connection);  // not reached: the library calls Begin first
    try {
      return static_cast<Impl*>(cls)->Step(connection, method, upload, uploadSize, *static_cast<Request*>(*request));
    } catch (...) {
      return MHD_NO;
    }
  }

  // Each call of the library for a request: its head, each piece of its
  // body, then its end.
  MHD_Result Step(MHD_Connection* connection, const char* method, const char* upload, std::size_t* uploadSize,
                  Request& r) {
    if (!r.started) {
      r.started = true;
      Refuse(connection, method, r);
      // Answered at once, and the connection then closed, when the body is
      // too large to drop, still waits for a go-ahead, or cannot be told.
      if (r.reply &&
          (r.answerNow || DeclaredLength(connection) > kMaxDroppedBytes || !Header(connection, "Expect").empty())) {
        return Send(connection, r, method, std::move(*r.reply));
      }
      return MHD_YES;
    }
    if (*uploadSize > 0) {
      const bool refused = r.reply.has_value();
      Take(r, upload, *uploadSize);
      *uploadSize = 0;
      if (!refused && r.reply && Header(connection, MHD_HTTP_HEADER_CONTENT_LENGTH).empty()) {
        AnswerEarly(connection, method, r);
      }
      return r.dropped > kMaxDroppedBytes ? MHD_NO : MHD_YES;
    }
    if (r.answeredEarly) return MHD_NO;  // the connection ends with that answer
    if (r.reply) return Send(connection, r, method, std::move(*r.reply));
    if (std::strcmp(method, MHD_HTTP_METHOD_POST) == 0) return Defer(connection, r);
    return Send(connection, r, method, Get(*r.route, connection));
  }

  // The answer of a request refused before its body is read, if it is.
  void Refuse(MHD_Connection* connection, std::string_view method, Request& r) {
    ConnectionState* state = StateOf(connection);
    if (state && !state->counted) {
      state->counted = true;
      state->overloaded = CountIn();
      state->Enter(Phase::kWorking);
    }
    if (state && state->overloaded) {
      r.reply = Busy();
      r.reply->close = true;
      return;
    }
    if (r.uriBytes > kMaxUriBytes) {
      r.reply = Error(kUriTooLong, "URI too long");
      return;
    }
    if (r.parameters > kMaxParameters) {
      r.reply = Error(kBadRequest, "more than " + std::to_string(kMaxParameters) + " query parameters");
      return;
    }
    HeaderStats stats;
    MHD_get_connection_values_n(connection, MHD_HEADER_KIND, CountHeader, &stats);
    if (stats.count > kMaxHeaders || stats.longest > kMaxHeaderBytes) {
      r.reply = Error(kBadRequest, "request header fields too large");
      return;
    }
    if (std::optional<HttpAnswer> framing = FramingError(stats)) {
      r.reply = Json(std::move(*framing));
      r.reply->close = true;
      r.answerNow = true;
      return;
    }
    r.route = FindRoute(r.path);
    if (!r.route) {
      r.reply = Error(kNotFound, "no such path");
    } else if (method == MHD_HTTP_METHOD_GET || method == MHD_HTTP_METHOD_HEAD) {
      // answered once the request is in
    } else if (method == MHD_HTTP_METHOD_OPTIONS) {
      r.reply = Options(*r.route);
    } else if (method != MHD_HTTP_METHOD_POST || !r.route->post) {
      r.reply = NotAllowed(*r.route);
    } else if (const bool csv = r.route->endpoint == Endpoint::kConvertCsv;
               !IsMediaType(Header(connection, MHD_HTTP_HEADER_CONTENT_TYPE), csv ? kCsvType : kJsonType)) {
      r.reply = Error(kUnsupportedMediaType, csv ? "the body must be text/csv" : "the body must be application/json");
    } else if (DeclaredLength(connection) > settings.maxBody) {
      r.reply = Error(kPayloadTooLarge, "request body too large");
    } else if (held + DeclaredLength(connection) > settings.answerMemory) {
      r.reply = Busy();
    }
  }

  Reply Options(const Route& route) const {
    if (settings.corsOrigin.empty() || route.endpoint == Endpoint::kPage) return NotAllowed(route);
    Reply r = Json(HttpAnswer{kNoContent, {}});  // a CORS preflight
    r.headers.emplace_back("Access-Control-Allow-Methods", route.post ? "GET, POST" : "GET");
    r.headers.emplace_back("Access-Control-Allow-Headers", "Content-Type");
    r.headers.emplace_back("Access-Control-Max-Age", "600");
    return r;
  }

  void Take(Request& r, const char* data, std::size_t size) {
    if (!r.reply && r.body.size() + size > settings.maxBody) {
      r.reply = Error(kPayloadTooLarge, "request body too large");
      r.dropped = r.body.size();
      held -= r.held;
      r.held = 0;
      std::string().swap(r.body);
    }
    if (r.reply) {
      r.dropped += size;
    } else {
      r.body.append(data, size);
      r.held += size;
      held += size;
    }
  }

  // A body is worked on by the workers; the connection waits meanwhile.
  MHD_Result Defer(MHD_Connection* connection, Request& r) {
    // The answer's memory is held from now, or the body refused while too
    // much is held for others.
    const std::size_t answer = r.body.size() * kAnswerBytesPerBodyByte;
    if (held + answer > settings.answerMemory) return Send(connection, r, MHD_HTTP_METHOD_POST, Busy());
    held += answer;
    r.held += answer;
    HttpQuery query = Arguments(connection);
    MHD_suspend_connection(connection);
    workers.Post([this, connection, &r, query = std::move(query)] {
      try {
        r.reply = Json(r.route->endpoint == Endpoint::kRomanize     ? api.RomanizeNames(query, r.body)
                       : r.route->endpoint == Endpoint::kConvertCsv ? api.ConvertCsv(query, r.body)
                                                                    : api.ConvertBatch(r.body));
      } catch (...) {
        r.reply = Error(kInternalError, "internal error");
      }
      held -= r.body.size();
      r.held -= r.body.size();
      std::string().swap(r.body);
      MHD_resume_connection(connection);
    });
    return MHD_YES;
  }

  Reply Get(const Route& route, MHD_Connection* connection) const {
    switch (route.endpoint) {
      case Endpoint::kConvert: return Json(api.Convert(Arguments(connection)));
      case Endpoint::kConvertCsv: return NotAllowed(route);
      case Endpoint::kRomanize: return Json(api.Romanize(Arguments(connection)));
      case Endpoint::kZip: return Json(api.Zip(Arguments(connection)));
      case Endpoint::kLookup: return Json(api.Lookup(Arguments(connection)));
      case Endpoint::kHealth: return Json(api.Health());
      case Endpoint::kPage: return Page();
    }
    return Error(kNotFound, "no such path");
  }

  Reply Page() const {
    const std::string nonce = MakeNonce();
    Reply r;
    r.answer.status = kOk;
    for (std::size_t i = 0; i < pagePieces.size(); ++i) {
      if (i > 0) r.answer.body += nonce;
      r.answer.body += pagePieces[i];
    }
    r.type = "text/html; charset=utf-8";
    r.headers.emplace_back("Content-Security-Policy", "default-src 'none'; script-src 'nonce-" + nonce +
                                                          "'; style-src 'nonce-" + nonce +
                                                          "'; connect-src 'self'; img-src data:; base-uri 'none'; "
                                                          "form-action 'none'; frame-ancestors 'none'");
    r.headers.emplace_back("Referrer-Policy", "no-referrer");
    r.headers.emplace_back("Cache-Control", "no-store");
    return r;
  }

  // A refusal written on the socket at once, while the library still reads
  // the body (it queues no answer before the body's end): a client sending
  // a long body of unknown length reads it, rather than the reset of the
  // connection closed under it. The body is still read to its end, or as
  // long as a refused body is.
  void AnswerEarly(MHD_Connection* connection, std::string_view method, Request& r) const {
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    if (!info) return;
    const Reply& reply = *r.reply;
    std::string head = "HTTP/1.1 " + std::to_string(reply.answer.status) + " " +
                       MHD_get_reason_phrase_for(static_cast<unsigned>(reply.answer.status)) + "\r\n";
    for (const auto& [name, value] : CommonHeaders(reply)) head += std::string(name) + ": " + value + "\r\n";
    head += "Content-Length: " + std::to_string(reply.answer.body.size()) + "\r\nConnection: close\r\n\r\n";
    const std::string all = head + reply.answer.body;
    if (send(info->connect_fd, all.data(), all.size(), MSG_NOSIGNAL | MSG_DONTWAIT) < 0) return;
    shutdown(info->connect_fd, SHUT_WR);
    r.answeredEarly = true;
    Log(connection, method, r.path, reply.answer.status, reply.answer.body.size());
  }

  // The headers every answer has beside its own.
  std::vector<std::pair<const char*, std::string>> CommonHeaders(const Reply& reply) const {
    std::vector<std::pair<const char*, std::string>> out;
    if (reply.answer.status != kNoContent) out.emplace_back(MHD_HTTP_HEADER_CONTENT_TYPE, reply.type);
    out.emplace_back("X-Content-Type-Options", "nosniff");
    if (!settings.corsOrigin.empty()) {
      out.emplace_back("Access-Control-Allow-Origin", settings.corsOrigin);
      out.emplace_back("Vary", "Origin");
    }
    for (const auto& header : reply.headers) out.push_back(header);
    return out;
  }

  void Log(MHD_Connection* connection, std::string_view method, std::string_view path, int status,
           std::size_t size) const {
    if (!settings.log) return;
    settings.log(ClientAddress(connection) + " " + LogField(method) + " " + LogField(path) + " " +
                 std::to_string(status) + " " + std::to_string(size));
  }

  static ssize_t ReadPiece(void* cls, std::uint64_t pos, char* buffer, std::size_t max) {
    auto& answer = *static_cast<HeldAnswer*>(cls);
    if (pos >= answer.body.size()) return MHD_CONTENT_READER_END_OF_STREAM;
    const std::size_t n = std::min<std::size_t>(max, answer.body.size() - pos);
    std::memcpy(buffer, answer.body.data() + pos, n);
    answer.progress->sent = pos + n;
    return static_cast<ssize_t>(n);
  }

  // The library's response for an answer body: a large one is held, counted,
  // and watched while it leaves.
  MHD_Response* Response(MHD_Connection* connection, std::string body) {
    ConnectionState* state = StateOf(connection);
    if (body.size() <= kPieceBytes || !state) {
      auto* owned = new std::string(std::move(body));
      MHD_Response* response = MHD_create_response_from_buffer_with_free_callback_cls(
          owned->size(), owned->data(), [](void* p) { delete static_cast<std::string*>(p); }, owned);
      if (!response) delete owned;
      return response;
    }
    held += body.size();
    auto* answer = new HeldAnswer{std::move(body), state->progress, &held};
    MHD_Response* response = MHD_create_response_from_callback(answer->body.size(), kPieceBytes, &ReadPiece, answer,
                                                               [](void* p) { delete static_cast<HeldAnswer*>(p); });
    if (!response) {
      delete answer;
      return nullptr;
    }
    // What the kernel holds for a reader is memory of the service's too, and
    // hides how fast it reads: a large answer waits in the answer instead.
    LimitSendBuffer(state->fd, kAnswerSocketBuffer);
    state->progress->sent = 0;
    state->Enter(Phase::kSending);
    return response;
  }

  MHD_Result Send(MHD_Connection* connection, Request& r, const char* method, Reply reply) {
    const int status = reply.answer.status;
    const std::size_t size = reply.answer.body.size();
    held -= r.held;  // what was held for the answer, which is counted now
    r.held = 0;
    MHD_Response* response = Response(connection, std::move(reply.answer.body));
    if (!response) return MHD_NO;
    for (const auto& [name, value] : CommonHeaders(reply)) MHD_add_response_header(response, name, value.c_str());
    // While stopping, each connection ends with the answer it is given.
    if (reply.close || stopping) MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
    const MHD_Result queued = MHD_queue_response(connection, static_cast<unsigned>(status), response);
    MHD_destroy_response(response);
    Log(connection, method, r.path, status, size);
    return queued;
  }

  // The watchdog: cuts off a connection whose request head takes longer
  // than --header-timeout (the library's time-out counts silence only), and
  // one whose answer leaves slower than --min-rate over --timeout. The
  // library then closes it as one the client closed.
  void Watch() {
    std::unique_lock<std::mutex> lock(watchStopMutex);
    while (!watchStop) {
      watchStopSignal.wait_for(lock, kWatchEvery);
      Sweep();
    }
  }

  void Sweep() {
    const std::int64_t now = Now();
    std::lock_guard<std::mutex> lock(watchMutex);
    for (ConnectionState* state : watched) {
      if (state->cut || state->fd < 0) continue;
      const Phase phase = state->phase;
      const std::int64_t since = state->since;
      if (phase == Phase::kHead && now - since > std::int64_t{settings.headerTimeoutSeconds} * 1000) {
        shutdown(state->fd, SHUT_RDWR);
        state->cut = true;
      } else if (phase == Phase::kSending && TooSlow(*state, since, now)) {
        ResetOnClose(state->fd);
        shutdown(state->fd, SHUT_RDWR);
        state->cut = true;
      }
    }
  }

  // Whether the answer leaving has moved less than --min-rate allows over
  // the last window of --timeout seconds.
  bool TooSlow(ConnectionState& state, std::int64_t since, std::int64_t now) const {
    if (settings.minRate == 0) return false;
    if (state.windowStart < since) {  // a new answer
      state.windowStart = since;
      state.windowSent = 0;
    }
    const std::int64_t window = std::int64_t{settings.timeoutSeconds} * 1000;
    if (now - state.windowStart < window) return false;
    const std::uint64_t sent = state.progress->sent;
    if (sent < state.windowSent + settings.minRate * static_cast<std::uint64_t>(settings.timeoutSeconds)) return true;
    state.windowStart = now;
    state.windowSent = sent;
    return false;
  }

  void StopWatchdog() {
    {
      std::lock_guard<std::mutex> lock(watchStopMutex);
      watchStop = true;
    }
    watchStopSignal.notify_all();
    if (watchdog.joinable()) watchdog.join();
  }

  const HttpApi& api;
  ServerSettings settings;
  std::vector<std::string> pagePieces;
  // Runs the requests with a body (a batch may take a while), so that the
  // threads reading the connections stay free for the others.
  BatchEngine workers;
  int listenSocket = -1;
  MHD_Daemon* daemon = nullptr;
  std::atomic<std::size_t> busy{0};      // connections counted in the bound
  std::atomic<std::size_t> inFlight{0};  // requests begun and not yet answered
  std::atomic<std::size_t> held{0};      // bytes of bodies and answers held
  std::mutex watchMutex;
  std::unordered_set<ConnectionState*> watched;
  std::thread watchdog;
  std::mutex watchStopMutex;
  std::condition_variable watchStopSignal;
  bool watchStop = false;
  std::atomic<bool> stopping{false};
  std::mutex stopMutex;
  std::condition_variable stopSignal;
  bool stopRequested = false;
};

int HttpServer::Impl::Bind(std::string& error) {
  int port = -1;
  listenSocket = ListenTcp(settings.host, settings.port, port, error);
  if (listenSocket < 0 || !Start(error)) return -1;
  return port;
}

bool HttpServer::Impl::Start(std::string& error) {
  // Up to four threads reading connections per core, never more than
  // --threads. One per core is preempted with all its connections on a
  // machine shared with other work (a p99 of 8-16 ms against 10-22 ms with a
  // few dozen, batches posted meanwhile); past a few per core, each request
  // only costs one more switch of thread (64 on 2 cores: 0.90 x the GET rate
  // of 8, and a higher p99).
  const auto readers = static_cast<unsigned>(std::min(settings.threads, kReadersPerCore * AllCores()));
  if (workers.workers() == 0) {
    error = "no threads could be started";
    return false;
  }
  const auto limit = static_cast<unsigned>(ConnectionLimit(settings.threads));
  std::vector<MHD_OptionItem> options = {
      {MHD_OPTION_LISTEN_SOCKET, listenSocket, nullptr},
      {MHD_OPTION_THREAD_POOL_SIZE, readers, nullptr},
      {MHD_OPTION_CONNECTION_LIMIT, limit, nullptr},
      {MHD_OPTION_CONNECTION_TIMEOUT, settings.timeoutSeconds, nullptr},
      {MHD_OPTION_CONNECTION_MEMORY_LIMIT, static_cast<intptr_t>(kConnectionMemory), nullptr},
      {MHD_OPTION_URI_LOG_CALLBACK, reinterpret_cast<intptr_t>(&Begin), this},
      {MHD_OPTION_NOTIFY_COMPLETED, reinterpret_cast<intptr_t>(&Completed), this},
      {MHD_OPTION_NOTIFY_CONNECTION, reinterpret_cast<intptr_t>(&Connected), this},
  };
  if (settings.maxPerClient > 0) {
    options.push_back({MHD_OPTION_PER_IP_CONNECTION_LIMIT, static_cast<intptr_t>(settings.maxPerClient), nullptr});
  }
  options.push_back({MHD_OPTION_END, 0, nullptr});
  daemon = MHD_start_daemon(MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME, 0, nullptr,
                            nullptr, &Handle, this, MHD_OPTION_ARRAY, options.data(), MHD_OPTION_END);
  if (!daemon) {
    error = "the HTTP library could not start";
    return false;
  }
  watchdog = std::thread([this] { Watch(); });
  return true;
}

void HttpServer::Impl::Serve() {
  {
    std::unique_lock<std::mutex> lock(stopMutex);
    stopSignal.wait(lock, [this] { return stopRequested; });
  }
  if (!daemon) return;
  stopping = true;
  // No new connections; the requests begun are answered, then the idle
  // connections closed.
  MHD_quiesce_daemon(daemon);
  // (With no busy connection left, nothing can be in flight.)
  while (inFlight > 0 && busy > 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  MHD_stop_daemon(daemon);
  daemon = nullptr;
  StopWatchdog();
}

HttpServer::HttpServer(const HttpApi& api, ServerSettings settings)
    : m_impl(std::make_unique<Impl>(api, std::move(settings))) {}

HttpServer::~HttpServer() = default;

int HttpServer::Bind(std::string& error) { return m_impl->Bind(error); }

void HttpServer::Serve() { m_impl->Serve(); }

void HttpServer::Stop() {
  {
    std::lock_guard<std::mutex> lock(m_impl->stopMutex);
    m_impl->stopRequested = true;
  }
  m_impl->stopSignal.notify_all();
}

}  // namespace jasokit::cli
