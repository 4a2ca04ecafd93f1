#pragma once
// In-memory standard streams for running jasokit commands inside a test.
#include <algorithm>
#include <functional>
#include <optional>
#include <string>

#include "cli/cli.h"

namespace jasokit::test {

class FakeIo : public cli::CliIo {
 public:
  explicit FakeIo(std::string input = {}) : m_input(std::move(input)) {}

  long Read(char* buffer, std::size_t size) override {
    if (m_readFails) return -1;
    // Small chunks so that lines straddle reads.
    const std::size_t n = std::min({size, m_input.size() - m_pos, m_chunk});
    m_input.copy(buffer, n, m_pos);
    m_pos += n;
    return static_cast<long>(n);
  }
  bool Write(std::string_view bytes) override {
    if (m_writeLimit != std::string::npos && out.size() + bytes.size() > m_writeLimit) {
      m_writeFailed = true;
    }
    if (m_writeFailed) return false;
    out.append(bytes);
    return true;
  }
  bool Flush() override { return !m_writeFailed; }
  void Error(std::string_view bytes) override { err.append(bytes); }
  std::string ExecutableDir() override { return exeDir; }
  bool InputReady() override { return inputReady ? inputReady() : true; }
  std::optional<std::uint64_t> InputFileSize() override { return inputFileSize; }
  bool ErrorIsTerminal() override { return errorIsTerminal; }

  void FailReads() { m_readFails = true; }
  // Writes fail once the output would pass limit bytes, like a closed pipe.
  void FailWritesAfter(std::size_t limit) { m_writeLimit = limit; }
  void SetChunk(std::size_t chunk) { m_chunk = chunk; }

  std::string out;
  std::string err;
  std::string exeDir = "./";
  std::function<bool()> inputReady;  // unset: always ready
  std::optional<std::uint64_t> inputFileSize;
  bool errorIsTerminal = false;
  // Bytes of input handed out so far.
  std::size_t readPos() const { return m_pos; }

 private:
  std::string m_input;
  std::size_t m_pos = 0;
  std::size_t m_chunk = 7;
  bool m_readFails = false;
  bool m_writeFailed = false;
  std::size_t m_writeLimit = std::string::npos;
};

inline int RunJasokit(FakeIo& io, cli::Args args) { return cli::RunCli(args, io); }

}  // namespace jasokit::test
