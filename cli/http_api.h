#pragma once
// The answers of the HTTP service, apart from HTTP itself: each endpoint
// takes the request's decoded query or body and gives a status and a JSON
// body. The objects are those the command line writes with --json.
#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "jasokit/zip.h"

namespace jasokit::cli {

struct HttpAnswer {
  int status = 200;
  std::string body;  // JSON
};

using HttpQuery = std::multimap<std::string, std::string>;

// {"error": message, "status": status}
HttpAnswer ErrorAnswer(int status, std::string_view message);

inline constexpr std::size_t kMaxBatchTexts = 10000;

class HttpApi {
 public:
  // Answers /v1/lookup once an address database is loaded.
  using LookupHook = std::function<HttpAnswer(const std::string& query)>;

  // zip: the loaded table, or nullptr; batchThreads: threads a large batch
  // is split over.
  HttpApi(const ZipDatabase* zip, std::size_t batchThreads);

  void SetLookup(LookupHook hook) { m_lookup = std::move(hook); }

  HttpAnswer Convert(const HttpQuery& query) const;
  HttpAnswer ConvertBatch(std::string_view body) const;
  HttpAnswer Romanize(const HttpQuery& query) const;
  HttpAnswer Zip(const HttpQuery& query) const;
  HttpAnswer Lookup(const HttpQuery& query) const;
  HttpAnswer Health() const;

 private:
  const ZipDatabase* m_zip;
  std::size_t m_batchThreads;
  LookupHook m_lookup;
};

}  // namespace jasokit::cli
