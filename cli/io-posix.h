#pragma once
#include <string>

#include "cli/cli.h"

namespace jasokit::cli {

// Standard streams through the file descriptors, output buffered in blocks.
class PosixIo : public CliIo {
 public:
  PosixIo();
  ~PosixIo() override;
  long Read(char* buffer, std::size_t size) override;
  bool Write(std::string_view bytes) override;
  bool Flush() override;
  void Error(std::string_view bytes) override;
  std::string ExecutableDir() override;
  bool InputReady() override;
  std::optional<std::uint64_t> InputFileSize() override;
  bool ErrorIsTerminal() override;

 private:
  bool WriteAll(std::string_view bytes);
  static constexpr std::size_t kBufferSize = 1 << 16;
  std::string m_out;
  bool m_failed = false;
};

}  // namespace jasokit::cli
