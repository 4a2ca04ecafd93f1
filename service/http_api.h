#pragma once
// The answers of the HTTP service, apart from HTTP itself: each endpoint
// takes the request's decoded query or body and gives a status and a JSON
// body. The objects are those the command line writes with --json.
#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "jasokit/convert.h"
#include "jasokit/zip.h"

namespace jasokit::cli {

struct HttpAnswer {
  int status = 200;
  std::string body;            // JSON unless type says otherwise
  const char* type = nullptr;  // the body's media type; nullptr: JSON
  std::string hint = {};       // for X-Jasokit-Hint, when set
};

using HttpQuery = std::multimap<std::string, std::string>;

// {"error": message, "status": status}
HttpAnswer ErrorAnswer(int status, std::string_view message);

inline constexpr std::size_t kMaxBatchTexts = 10000;

class BatchEngine;
class LiveAddressDb;

class HttpApi {
 public:
  // zip: the loaded table, or nullptr; batchThreads: threads a large batch
  // is split over; addresses: the address database, or nullptr (then
  // /v1/lookup answers 404 and official conversions use the rules alone).
  HttpApi(const ZipDatabase* zip, std::size_t batchThreads, const LiveAddressDb* addresses = nullptr);
  ~HttpApi();

  HttpAnswer Convert(const HttpQuery& query) const;
  HttpAnswer ConvertBatch(std::string_view body) const;
  // With name=1 (and surname=common|rr, hyphen, given_first, upper): the
  // object of romanize --name --json.
  HttpAnswer Romanize(const HttpQuery& query) const;
  // POST /v1/romanize?name=1 (and the names options) with {"texts": [...]}:
  // {"results": [...]} of those objects, in order.
  HttpAnswer RomanizeNames(const HttpQuery& query, std::string_view body) const;
  // POST /v1/convert/csv: the body converted as convert --csv converts
  // standard input, with its options as parameters (column, header, style,
  // country, in_place, output_column, cp949); 400 with the line and the
  // reason for a malformed file.
  HttpAnswer ConvertCsv(const HttpQuery& query, std::string_view body) const;
  HttpAnswer Zip(const HttpQuery& query) const;
  HttpAnswer Lookup(const HttpQuery& query) const;
  HttpAnswer Health() const;

 private:
  HttpAnswer RomanizeName(const std::string& text, const HttpQuery& query) const;
  // The style and country asked for, with the database in the official
  // style (held by held until the answer is written); or the error answer.
  std::optional<HttpAnswer> ReadOptions(const std::string* style, const std::string* country, Options& options,
                                        std::shared_ptr<const AddressDatabase>& held) const;

  const ZipDatabase* m_zip;
  std::unique_ptr<BatchEngine> m_engine;
  const LiveAddressDb* m_addresses;
};

}  // namespace jasokit::cli
