#pragma once
// The HTTP service over HttpApi: routes, limits, headers, the page.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "service/http_api.h"

namespace jasokit::cli {

struct ServerSettings {
  std::string host = "127.0.0.1";
  int port = 8080;  // 0: any free port
  // Threads reading connections, and as many working on request bodies;
  // past twice as many connections with a request in, the answer is 503.
  std::size_t threads = 64;
  std::size_t maxBody = 1 << 20;
  int timeoutSeconds = 5;  // a connection's silence, while reading, writing or idle
  // The whole time a request's head may take, from the connection's start
  // or its previous answer.
  int headerTimeoutSeconds = 10;
  std::size_t maxPerClient = 0;  // connections from one address; 0: any number
  // The memory held for request bodies and answers together; past it, a
  // body is answered 503.
  std::size_t answerMemory = std::size_t{128} << 20;
  // The least rate, in bytes a second over each --timeout, at which a large
  // answer must leave; 0: any.
  std::size_t minRate = 1024;
  std::string corsOrigin;  // empty: no CORS headers
  // One line per request, without the query; empty: none.
  std::function<void(const std::string& line)> log;
};

class HttpServer {
 public:
  HttpServer(const HttpApi& api, ServerSettings settings);
  ~HttpServer();

  // Binds the address; the port bound, or -1 with why in error.
  int Bind(std::string& error);
  // Serves until Stop; the requests in flight are finished first.
  void Serve();
  // From any thread, also before Serve has begun.
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace jasokit::cli
