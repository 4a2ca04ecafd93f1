#include "cli/http_server.h"

#include <httplib.h>
#include <sys/random.h>
#include <sys/socket.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "cli/web_page.h"

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
  kUnavailable = 503,
};

struct StatusText {
  int status;
  const char* message;
};

// For the answers the HTTP library gives on its own.
constexpr StatusText kStatusTexts[] = {
    {kBadRequest, "bad request"},
    {kNotFound, "no such path"},
    {kMethodNotAllowed, "method not allowed"},
    {kPayloadTooLarge, "request body too large"},
    {kUriTooLong, "URI too long"},
    {kUnsupportedMediaType, "unsupported content type"},
    {kInternalError, "internal error"},
    {kUnavailable, "server overloaded; try again"},
};

enum class Endpoint { kConvert, kRomanize, kZip, kLookup, kHealth, kPage };

struct Route {
  const char* path;
  Endpoint endpoint;
  bool post;  // takes POST as well as GET
};

constexpr Route kRoutes[] = {
    {"/v1/convert", Endpoint::kConvert, true}, {"/v1/romanize", Endpoint::kRomanize, true},
    {"/v1/zip", Endpoint::kZip, false},        {"/v1/lookup", Endpoint::kLookup, false},
    {"/healthz", Endpoint::kHealth, false},    {"/", Endpoint::kPage, false},
};

constexpr const char* kJsonType = "application/json";
constexpr const char* kNoncePlaceholder = "%NONCE%";
// Connections taken past the pool's bound wait for the one thread that
// answers 503; past that many, the accepting thread answers them itself.
constexpr std::size_t kRefusalQueue = 64;

const Route* FindRoute(const std::string& path) {
  for (const Route& r : kRoutes) {
    if (path == r.path) return &r;
  }
  return nullptr;
}

// Set on the thread that serves a connection taken beyond the bound.
thread_local bool t_overloaded = false;

// A thread pool whose queue of connections is bounded: a connection beyond
// it is answered 503, on a thread of its own so that the pool's threads
// stay free.
class BoundedPool : public httplib::TaskQueue {
 public:
  // threads serve connections; as many more wait for one.
  BoundedPool(std::size_t threads, std::size_t waiting) : m_limit(threads + waiting) {
    for (std::size_t i = 0; i < threads; ++i) m_threads.emplace_back([this] { Work(m_jobs, false); });
    m_threads.emplace_back([this] { Work(m_refusals, true); });
  }

  void enqueue(std::function<void()> fn) override {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (m_taken < m_limit) {
        ++m_taken;
        m_jobs.push_back(std::move(fn));
        m_ready.notify_all();
        return;
      }
      if (m_refusals.size() < kRefusalQueue) {
        m_refusals.push_back(std::move(fn));
        m_ready.notify_all();
        return;
      }
    }
    RunOverloaded(fn);
  }

  void shutdown() override {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_shutdown = true;
    }
    m_ready.notify_all();
    for (std::thread& t : m_threads) t.join();
  }

 private:
  using Jobs = std::deque<std::function<void()>>;

  static void RunOverloaded(const std::function<void()>& fn) {
    t_overloaded = true;
    fn();
    t_overloaded = false;
  }

  void Work(Jobs& jobs, bool overloaded) {
    for (;;) {
      std::function<void()> fn;
      {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_ready.wait(lock, [&] { return !jobs.empty() || m_shutdown; });
        if (jobs.empty()) return;  // shut down, and nothing left to answer
        fn = std::move(jobs.front());
        jobs.pop_front();
      }
      if (overloaded) {
        RunOverloaded(fn);
        continue;
      }
      fn();
      std::lock_guard<std::mutex> lock(m_mutex);
      --m_taken;
    }
  }

  std::size_t m_limit;
  std::size_t m_taken = 0;  // connections served or waiting
  std::mutex m_mutex;
  std::condition_variable m_ready;
  Jobs m_jobs;
  Jobs m_refusals;
  bool m_shutdown = false;
  std::vector<std::thread> m_threads;
};

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
  std::size_t got = 0;
  while (got < sizeof bytes) {
    const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
    if (n > 0) got += static_cast<std::size_t>(n);
  }
  return Base64(bytes, sizeof bytes);
}

// The path for the access log: control characters and bytes past ASCII
// escaped, so that a request cannot write lines of its own.
std::string LogPath(const std::string& path) {
  constexpr std::size_t kMaxLogged = 200;
  std::string out;
  for (std::size_t i = 0; i < path.size() && i < kMaxLogged; ++i) {
    const auto c = static_cast<unsigned char>(path[i]);
    if (c < 0x21 || c >= 0x7F || c == '\\') {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  if (path.size() > kMaxLogged) out += "...";
  return out;
}

bool IsJsonType(const std::string& type) {
  const std::string_view t(type);
  const std::string_view expected(kJsonType);
  if (t.size() < expected.size()) return false;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(t[i])) != expected[i]) return false;
  }
  const std::string_view rest = t.substr(expected.size());
  return rest.empty() || rest[0] == ';' || rest[0] == ' ';
}

}  // namespace

struct HttpServer::Impl {
  Impl(const HttpApi& a, ServerSettings s) : api(a), settings(std::move(s)) {
    const std::string_view page(kWebPage, kWebPageSize);
    std::size_t at = 0;
    for (std::size_t found; (found = page.find(kNoncePlaceholder, at)) != std::string_view::npos;) {
      pagePieces.emplace_back(page.substr(at, found - at));
      at = found + std::strlen(kNoncePlaceholder);
    }
    pagePieces.emplace_back(page.substr(at));
    Configure();
  }

  void Configure() {
    const std::size_t threads = settings.threads;
    server.new_task_queue = [threads] { return new BoundedPool(threads, threads); };
    server.set_read_timeout(settings.timeoutSeconds, 0);
    server.set_write_timeout(settings.timeoutSeconds, 0);
    server.set_keep_alive_timeout(settings.timeoutSeconds);
    // A connection gives its thread up now and then, so that connections
    // waiting for one get their turn.
    server.set_keep_alive_max_count(1000);
    server.set_payload_max_length(settings.maxBody);
    // Head and body go out in separate writes: without this the body waits
    // for the client's delayed acknowledgement.
    server.set_tcp_nodelay(true);
    // The library's own options add SO_REUSEPORT, with which a second
    // service started on the same port would bind too and take part of the
    // connections.
    server.set_socket_options([this](int sock) {
      const int yes = 1;
      setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
      listenSocket = sock;
    });
    httplib::Headers headers{{"X-Content-Type-Options", "nosniff"}};
    if (!settings.corsOrigin.empty()) {
      headers.emplace("Access-Control-Allow-Origin", settings.corsOrigin);
      headers.emplace("Vary", "Origin");
    }
    server.set_default_headers(headers);
    server.set_pre_routing_handler(
        [this](const httplib::Request& req, httplib::Response& res) { return PreRoute(req, res); });
    const auto body = [this](const httplib::Request& req, httplib::Response& res) { WithBody(req, res); };
    server.Post(".*", body);
    server.Put(".*", body);
    server.Patch(".*", body);
    server.Delete(".*", body);
    server.set_error_handler(httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
      if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
      const char* message = "error";
      for (const StatusText& t : kStatusTexts) {
        if (t.status == res.status) message = t.message;
      }
      res.set_content(ErrorAnswer(res.status, message).body, kJsonType);
      return httplib::Server::HandlerResponse::Handled;
    }));
    server.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
      Answer(res, ErrorAnswer(kInternalError, "internal error"));
    });
    if (settings.log) {
      server.set_logger([this](const httplib::Request& req, const httplib::Response& res) {
        settings.log(req.remote_addr + " " + req.method + " " + LogPath(req.path) + " " + std::to_string(res.status) +
                     " " + std::to_string(res.body.size()));
      });
    }
  }

  static void Answer(httplib::Response& res, HttpAnswer answer) {
    res.status = answer.status;
    res.body = std::move(answer.body);
    res.set_header("Content-Type", kJsonType);
  }

  // Requests without a body are answered here, before the library would
  // look for a file or a handler.
  httplib::Server::HandlerResponse PreRoute(const httplib::Request& req, httplib::Response& res) {
    using R = httplib::Server::HandlerResponse;
    if (t_overloaded) {
      Answer(res, ErrorAnswer(kUnavailable, "server overloaded; try again"));
      res.set_header("Retry-After", "1");
      return R::Handled;
    }
    const bool get = req.method == "GET" || req.method == "HEAD";
    if (!get && req.method != "OPTIONS") return R::Unhandled;  // its body is read first
    const Route* route = FindRoute(req.path);
    if (!route) {
      Answer(res, ErrorAnswer(kNotFound, "no such path"));
    } else if (get) {
      Get(*route, req, res);
    } else if (!settings.corsOrigin.empty() && route->endpoint != Endpoint::kPage) {
      res.status = kNoContent;  // a CORS preflight
      res.set_header("Access-Control-Allow-Methods", route->post ? "GET, POST" : "GET");
      res.set_header("Access-Control-Allow-Headers", "Content-Type");
      res.set_header("Access-Control-Max-Age", "600");
    } else {
      NotAllowed(*route, res);
    }
    return R::Handled;
  }

  void Get(const Route& route, const httplib::Request& req, httplib::Response& res) const {
    switch (route.endpoint) {
      case Endpoint::kConvert: return Answer(res, api.Convert(req.params));
      case Endpoint::kRomanize: return Answer(res, api.Romanize(req.params));
      case Endpoint::kZip: return Answer(res, api.Zip(req.params));
      case Endpoint::kLookup: return Answer(res, api.Lookup(req.params));
      case Endpoint::kHealth: return Answer(res, api.Health());
      case Endpoint::kPage: return Page(res);
    }
  }

  void WithBody(const httplib::Request& req, httplib::Response& res) const {
    const Route* route = FindRoute(req.path);
    if (!route) return Answer(res, ErrorAnswer(kNotFound, "no such path"));
    if (req.method != "POST" || !route->post) return NotAllowed(*route, res);
    if (!IsJsonType(req.get_header_value("Content-Type"))) {
      return Answer(res, ErrorAnswer(kUnsupportedMediaType, "the body must be application/json"));
    }
    Answer(res, route->endpoint == Endpoint::kRomanize ? api.RomanizeNames(req.params, req.body)
                                                       : api.ConvertBatch(req.body));
  }

  static void NotAllowed(const Route& route, httplib::Response& res) {
    Answer(res, ErrorAnswer(kMethodNotAllowed, "method not allowed"));
    res.set_header("Allow", route.post ? "GET, HEAD, POST" : "GET, HEAD");
  }

  void Page(httplib::Response& res) const {
    const std::string nonce = MakeNonce();
    std::string page;
    for (std::size_t i = 0; i < pagePieces.size(); ++i) {
      if (i > 0) page += nonce;
      page += pagePieces[i];
    }
    res.status = kOk;
    res.set_content(std::move(page), "text/html; charset=utf-8");
    res.set_header("Content-Security-Policy", "default-src 'none'; script-src 'nonce-" + nonce +
                                                  "'; style-src 'nonce-" + nonce +
                                                  "'; connect-src 'self'; img-src data:; base-uri 'none'; "
                                                  "form-action 'none'; frame-ancestors 'none'");
    res.set_header("Referrer-Policy", "no-referrer");
    res.set_header("Cache-Control", "no-store");
  }

  const HttpApi& api;
  ServerSettings settings;
  std::vector<std::string> pagePieces;
  httplib::Server server;
  int listenSocket = -1;  // the last socket the library made to bind
  std::atomic<bool> stopRequested{false};
  std::atomic<bool> serveEnded{false};
};

HttpServer::HttpServer(const HttpApi& api, ServerSettings settings)
    : m_impl(std::make_unique<Impl>(api, std::move(settings))) {}

HttpServer::~HttpServer() = default;

int HttpServer::Bind(std::string& error) {
  const ServerSettings& s = m_impl->settings;
  errno = 0;
  const int port = s.port == 0 ? m_impl->server.bind_to_any_port(s.host)
                               : (m_impl->server.bind_to_port(s.host, s.port) ? s.port : -1);
  if (port < 0) {
    error = errno ? std::strerror(errno) : "cannot bind";
    return port;
  }
  // The library listens with a backlog of 5, compiled in: when more clients
  // connect at once (64 keep-alive connections reaching their request limit
  // together, say), the handshakes beyond it are dropped and wait for the
  // retransmission, 200 ms and more. Listening again sets the system's bound.
  ::listen(m_impl->listenSocket, SOMAXCONN);
  return port;
}

void HttpServer::Serve() {
  if (!m_impl->stopRequested) m_impl->server.listen_after_bind();
  m_impl->serveEnded = true;
}

void HttpServer::Stop() {
  m_impl->stopRequested = true;
  // The library stops a server only once it runs: wait for it, unless it
  // has already ended.
  while (!m_impl->serveEnded) {
    if (m_impl->server.is_running()) {
      m_impl->server.stop();
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace jasokit::cli
