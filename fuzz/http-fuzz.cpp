// The HTTP service on any bytes from a client: a server on a loopback port
// takes each input as what one connection sends. What comes back must be
// HTTP, and the server keep answering (no hang, no crash).
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>

#include "fuzz-check.h"
#include "service/http_api.h"
#include "service/http_server.h"

namespace {

using namespace jasokit::cli;

// One server for the whole run, never stopped (nor destroyed at exit, while
// its threads serve): the fuzzer ends with the process.
int ServerPort() {
  static const int port = [] {
    static const auto* api = new HttpApi(nullptr, 2);
    ServerSettings settings;
    settings.threads = 4;
    settings.timeoutSeconds = 1;
    settings.maxBody = 4096;
    settings.port = 0;
    static auto* server = new HttpServer(*api, settings);
    std::string error;
    const int bound = server->Bind(error);
    FUZZ_CHECK(bound > 0);
    std::thread([] { server->Serve(); }).detach();
    return bound;
  }();
  return port;
}

// A machine busy with other work may leave the backlog unserved for a few
// seconds; a server that accepts nothing for 15 s has hung.
int Connect(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  for (int attempt = 0;; ++attempt) {
    const int sock = socket(AF_INET, SOCK_STREAM, 0);
    FUZZ_CHECK(sock >= 0);
    timeval wait{3, 0};
    setsockopt(sock, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
    if (connect(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return sock;
    close(sock);
    FUZZ_CHECK(attempt < 4);
  }
}

void SendAll(int sock, const void* data, std::size_t size) {
  for (std::size_t sent = 0; sent < size;) {
    const ssize_t n = send(sock, static_cast<const char*>(data) + sent, size - sent, MSG_NOSIGNAL);
    if (n <= 0) return;  // the server may close on a request it refuses
    sent += static_cast<std::size_t>(n);
  }
}

// What comes back until the server closes, or until nothing more has come
// for waitMs.
std::string ReadAnswer(int sock, int waitMs) {
  std::string answer;
  char buffer[65536];
  pollfd p{sock, POLLIN, 0};
  while (poll(&p, 1, waitMs) > 0) {
    const ssize_t n = recv(sock, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    answer.append(buffer, static_cast<std::size_t>(n));
  }
  return answer;
}

// The server still answers, within a few of its time-outs (the connections
// left behind by the inputs may hold it up until they time out).
bool Answers(int port) {
  constexpr char kRequest[] = "GET /healthz HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
  for (int attempt = 0; attempt < 5; ++attempt) {
    const int sock = Connect(port);
    SendAll(sock, kRequest, sizeof kRequest - 1);
    const std::string answer = ReadAnswer(sock, 3000);
    close(sock);
    if (answer.rfind("HTTP/1.1 200", 0) == 0) return true;
    std::this_thread::sleep_for(std::chrono::seconds(1));
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Inputs are sent and left without waiting for the time-out; now and then
  // the server must show it still answers.
  constexpr unsigned kCheckEvery = 256;
  static unsigned inputs = 0;
  const int port = ServerPort();
  const int sock = Connect(port);
  SendAll(sock, data, size);
  const std::string answer = ReadAnswer(sock, 2);
  close(sock);
  FUZZ_CHECK(answer.empty() || answer.rfind("HTTP/1.", 0) == 0);
  if (++inputs % kCheckEvery == 0) FUZZ_CHECK(Answers(port));
  return 0;
}
