#include "service/http_api.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

#include "frontend/batch_engine.h"
#include "frontend/csv_convert.h"
#include "frontend/json.h"
#include "frontend/zip_query.h"
#include "jasokit/address_db.h"
#include "jasokit/cp949.h"
#include "jasokit/name.h"
#include "jasokit/version.h"
#include "service/batch_request.h"
#include "service/live_address_db.h"

namespace jasokit::cli {

namespace {

// A batch smaller than this is converted on the request's own thread.
constexpr std::size_t kBatchSplitTexts = 1024;
// About what the object of an official-style address takes.
constexpr std::size_t kAnswerBytesPerText = 320;

enum HttpStatus : int {
  kBadRequest = 400,
  kNotFound = 404,
  kPayloadTooLarge = 413,
  kUnavailable = 503,
};

const std::string* Param(const HttpQuery& query, const char* name) {
  const auto it = query.find(name);
  return it == query.end() ? nullptr : &it->second;
}

// A flag of the names mode: "1" or "true" sets it, "0" or "false" (or
// leaving it out) does not.
std::optional<HttpAnswer> ReadFlag(const HttpQuery& query, const char* key, bool& flag) {
  const std::string* value = Param(query, key);
  if (!value) return std::nullopt;
  if (*value == "1" || *value == "true") {
    flag = true;
  } else if (*value != "0" && *value != "false") {
    return ErrorAnswer(kBadRequest, "'" + std::string(key) + "' takes 1 or 0, not '" + *value + "'");
  }
  return std::nullopt;
}

// The names mode's options, as romanize --name takes them.
std::optional<HttpAnswer> ReadNameOptions(const HttpQuery& query, NameOptions& options) {
  if (Param(query, "style")) return ErrorAnswer(kBadRequest, "'style' does not apply to names");
  if (const std::string* table = Param(query, "surname"); table && !ParseSurnameTable(*table, options.surnames)) {
    return ErrorAnswer(kBadRequest, "unknown surname table '" + *table + "' (common or rr)");
  }
  if (auto error = ReadFlag(query, "hyphen", options.hyphen)) return error;
  if (auto error = ReadFlag(query, "given_first", options.givenFirst)) return error;
  return ReadFlag(query, "upper", options.upper);
}

// The options of the names mode outside it are a mistake worth telling.
std::optional<HttpAnswer> RefuseNameOptions(const HttpQuery& query) {
  for (const char* key : {"surname", "hyphen", "given_first", "upper"}) {
    if (Param(query, key)) return ErrorAnswer(kBadRequest, "'" + std::string(key) + "' needs name=1");
  }
  return std::nullopt;
}

// An answer read from a database whose file changed under it is no answer.
std::optional<HttpAnswer> RefuseChanged(const AddressDatabase* db) {
  if (!db || db->Check() == AddressDbStatus::Ok) return std::nullopt;
  return ErrorAnswer(kUnavailable, AddressDbStatusMessage(AddressDbStatus::Changed));
}

std::string AddressDbJson(const AddressDatabase* db) {
  if (!db) return "null";
  const AddressDbInfo info = db->Info();
  std::string out = "{\"rows\":" + std::to_string(info.rows) + ",\"roads\":" + std::to_string(info.roads) +
                    ",\"postcodes\":" + std::to_string(info.postcodes) +
                    ",\"skipped\":" + std::to_string(info.skipped) + ",\"sources\":[";
  for (std::size_t i = 0; i < info.sources.size(); ++i) {
    if (i > 0) out += ',';
    AppendJsonString(info.sources[i], out);
  }
  return out + "]}";
}

// The body of a POST, or the error answer.
std::optional<HttpAnswer> ReadBatch(std::string_view body, BatchRequest& request) {
  std::string error;
  switch (ParseBatchRequest(body, kMaxBatchTexts, request, error)) {
    case BatchError::kNone: return std::nullopt;
    case BatchError::kInvalid: return ErrorAnswer(kBadRequest, error);
    case BatchError::kTooMany: return ErrorAnswer(kPayloadTooLarge, error);
  }
  return std::nullopt;
}

// The object of romanize --name --json; the command line refuses a name this
// long with the empty result.
void AppendName(std::string_view text, const NameOptions& options, std::string& out) {
  AppendNameJson(text.size() > kMaxPersonNameBytes ? NameResult() : jasokit::RomanizeName(text, options), out);
}

void AppendConversion(std::string_view text, const Options& options, std::string& out) {
  AppendResultJson(jasokit::Convert(text, options), out);
}

}  // namespace

HttpAnswer ErrorAnswer(int status, std::string_view message) {
  HttpAnswer a{status, "{\"error\":"};
  AppendJsonString(message, a.body);
  a.body += ",\"status\":" + std::to_string(status) + "}";
  return a;
}

HttpApi::HttpApi(const ZipDatabase* zip, std::size_t batchThreads, const LiveAddressDb* addresses)
    : m_zip(zip),
      m_engine(std::make_unique<BatchEngine>(std::max<std::size_t>(1, batchThreads))),
      m_addresses(addresses) {}

HttpApi::~HttpApi() = default;

std::optional<HttpAnswer> HttpApi::ReadOptions(const std::string* style, const std::string* country, Options& options,
                                               std::shared_ptr<const AddressDatabase>& held) const {
  if (style && !ParseStyle(*style, options.style)) {
    return ErrorAnswer(kBadRequest, "unknown style '" + *style + "' (classic or official)");
  }
  if (country) options.country = *country;
  // As convert --addrdb: buildings the database holds are written from it.
  if (options.style == Style::Official && m_addresses) {
    held = m_addresses->Current();
    options.database = held.get();
  }
  return std::nullopt;
}

HttpAnswer HttpApi::Convert(const HttpQuery& query) const {
  const std::string* text = Param(query, "text");
  if (!text) return ErrorAnswer(kBadRequest, "missing parameter 'text'");
  Options options;
  std::shared_ptr<const AddressDatabase> held;
  if (auto error = ReadOptions(Param(query, "style"), Param(query, "country"), options, held)) return *error;
  HttpAnswer a;
  AppendConversion(*text, options, a.body);
  if (auto error = RefuseChanged(held.get())) return *error;
  return a;
}

HttpAnswer HttpApi::ConvertBatch(std::string_view body) const {
  BatchRequest request;
  if (auto error = ReadBatch(body, request)) return *error;
  Options options;
  std::shared_ptr<const AddressDatabase> held;
  if (auto e = ReadOptions(request.style ? &*request.style : nullptr, request.country ? &*request.country : nullptr,
                           options, held)) {
    return *e;
  }
  const BatchTexts& texts = request.texts;
  HttpAnswer a{200, "{\"results\":["};
  if (texts.size() < kBatchSplitTexts || m_engine->workers() < 2) {
    for (std::size_t i = 0; i < texts.size(); ++i) {
      if (i > 0) a.body += ',';
      AppendConversion(texts[i], options, a.body);
    }
    a.body += "]}";
    if (auto error = RefuseChanged(held.get())) return *error;
    return a;
  }
  // The first part is written into the answer itself, which is reserved for
  // the whole: an answer of megabytes is neither copied nor grown step by step.
  const std::size_t parts = m_engine->workers();
  a.body.reserve(a.body.size() + texts.size() * kAnswerBytesPerText);
  std::vector<std::string> outs(parts);
  m_engine->RunParts(parts, [&](std::size_t part, ConversionWorkspace& workspace) {
    const std::size_t begin = texts.size() * part / parts;
    const std::size_t end = texts.size() * (part + 1) / parts;
    std::string& out = part == 0 ? a.body : outs[part];
    if (part > 0) out.reserve((end - begin) * kAnswerBytesPerText);
    Result result;  // its strings are reused from text to text
    for (std::size_t i = begin; i < end; ++i) {
      if (i > 0) out += ',';
      workspace.Convert(texts[i], options, result);
      AppendResultJson(result, out);
    }
  });
  for (std::size_t part = 1; part < parts; ++part) a.body += outs[part];
  a.body += "]}";
  if (auto error = RefuseChanged(held.get())) return *error;
  return a;
}

namespace {

// The column options of convert --csv, by the same rules and in the same words.
std::optional<HttpAnswer> ReadCsvColumn(const HttpQuery& query, bool header, CsvSettings& s,
                                        const std::string*& columnName) {
  if (const std::string* column = Param(query, "column")) {
    const bool digits = !column->empty() && column->size() < 10 &&
                        std::all_of(column->begin(), column->end(), [](char c) { return c >= '0' && c <= '9'; });
    if (digits && std::stoul(*column) == 0) return ErrorAnswer(kBadRequest, "'column' counts from 1");
    if (digits) {
      s.column = std::stoul(*column) - 1;
    } else if (header) {
      columnName = column;
    } else {
      return ErrorAnswer(kBadRequest, "'column' '" + *column + "' is a name, which needs header=1");
    }
  }
  if (const std::string* name = Param(query, "output_column")) {
    if (!header) return ErrorAnswer(kBadRequest, "'output_column' needs header=1");
    if (s.inPlace) return ErrorAnswer(kBadRequest, "'output_column' and 'in_place' exclude each other");
    s.outputColumn = *name;
  }
  return std::nullopt;
}

}  // namespace

HttpAnswer HttpApi::ConvertCsv(const HttpQuery& query, std::string_view body) const {
  CsvSettings s;
  bool header = false, cp949 = false;
  for (const auto& [key, flag] :
       {std::pair<const char*, bool*>{"header", &header}, {"in_place", &s.inPlace}, {"cp949", &cp949}}) {
    if (auto error = ReadFlag(query, key, *flag)) return *error;
  }
  std::shared_ptr<const AddressDatabase> held;
  if (auto error = ReadOptions(Param(query, "style"), Param(query, "country"), s.options, held)) return *error;
  const std::string* columnName = nullptr;
  if (auto error = ReadCsvColumn(query, header, s, columnName)) return *error;
  s.codec = &TextCodec::For(cp949);
  CsvTextResult result;
  if (!ConvertCsvText(body, s, header, columnName, result)) return ErrorAnswer(kBadRequest, result.error);
  if (auto error = RefuseChanged(held.get())) return *error;
  HttpAnswer a{200, std::move(result.out), cp949 ? "text/csv; charset=cp949" : "text/csv; charset=utf-8", {}};
  for (const Event& e : result.events) {
    if (e.note == Note::kInvalid && e.looksCp949) a.hint = "cp949";
  }
  return a;
}

HttpAnswer HttpApi::Romanize(const HttpQuery& query) const {
  const std::string* text = Param(query, "text");
  if (!text) return ErrorAnswer(kBadRequest, "missing parameter 'text'");
  bool names = false;
  if (auto error = ReadFlag(query, "name", names)) return *error;
  if (names) return RomanizeName(*text, query);
  if (auto error = RefuseNameOptions(query)) return *error;
  Options options;
  std::shared_ptr<const AddressDatabase> held;
  if (auto error = ReadOptions(Param(query, "style"), nullptr, options, held)) return *error;
  HttpAnswer a{200, "{\"output\":"};
  AppendJsonString(jasokit::Romanize(*text, options.style), a.body);
  a.body += '}';
  return a;
}

HttpAnswer HttpApi::RomanizeName(const std::string& text, const HttpQuery& query) const {
  NameOptions options;
  if (auto error = ReadNameOptions(query, options)) return *error;
  HttpAnswer a;
  AppendName(text, options, a.body);
  return a;
}

HttpAnswer HttpApi::RomanizeNames(const HttpQuery& query, std::string_view body) const {
  bool names = false;
  if (auto error = ReadFlag(query, "name", names)) return *error;
  if (!names) return ErrorAnswer(kBadRequest, "POST /v1/romanize takes names: give name=1");
  NameOptions options;
  if (auto error = ReadNameOptions(query, options)) return *error;
  BatchRequest request;
  if (auto error = ReadBatch(body, request)) return *error;
  if (request.style) return ErrorAnswer(kBadRequest, "'style' does not apply to names");
  HttpAnswer a{200, "{\"results\":["};
  for (std::size_t i = 0; i < request.texts.size(); ++i) {
    if (i > 0) a.body += ',';
    AppendName(request.texts[i], options, a.body);
  }
  a.body += "]}";
  return a;
}

HttpAnswer HttpApi::Zip(const HttpQuery& query) const {
  std::optional<LookupMode> mode;
  const std::string* name = nullptr;
  for (const LookupMode m : {LookupMode::kExact, LookupMode::kPrefix, LookupMode::kCode}) {
    const std::string* value = Param(query, kModeKeys[static_cast<std::size_t>(m)]);
    if (!value) continue;
    if (name) return ErrorAnswer(kBadRequest, "give one of 'name', 'prefix' and 'code'");
    name = value;
    mode = m;
  }
  if (!name) return ErrorAnswer(kBadRequest, "missing parameter 'name', 'prefix' or 'code'");
  if (*mode == LookupMode::kPrefix && name->empty()) {
    return ErrorAnswer(kBadRequest, "an empty prefix would list every row");
  }
  if (!m_zip) return ErrorAnswer(kNotFound, "no zip table");
  const char* key = kModeKeys[static_cast<std::size_t>(*mode)];
  HttpAnswer a;
  if (name->size() > kMaxZipNameBytes) {
    AppendZipJson(key, nullptr, {}, nullptr, m_zip->isSample(), a.body);
    return a;
  }
  std::string cp949;
  // A table of CP949 text cannot hold a name without a CP949 form.
  ZipLines lines;
  if (Utf8ToCp949(*name, cp949)) lines = FindZipLines(*m_zip, *mode, cp949);
  AppendZipJson(key, name, lines, nullptr, m_zip->isSample(), a.body);
  return a;
}

HttpAnswer HttpApi::Lookup(const HttpQuery& query) const {
  const std::string* q = Param(query, "q");
  if (!q) return ErrorAnswer(kBadRequest, "missing parameter 'q'");
  if (!m_addresses) return ErrorAnswer(kNotFound, "no address database");
  if (q->size() > kMaxLookupQueryBytes) return ErrorAnswer(kBadRequest, "parameter 'q' is too long");
  if (q->find_first_not_of(" \t\r\n") == std::string::npos) return ErrorAnswer(kBadRequest, "parameter 'q' is empty");
  std::size_t limit = AddressDatabase::kDefaultLimit;
  if (const std::string* l = Param(query, "limit")) {
    const bool digits = !l->empty() && l->size() <= 6 && l->find_first_not_of("0123456789") == std::string::npos;
    limit = digits ? std::stoul(*l) : 0;
    if (limit == 0) return ErrorAnswer(kBadRequest, "parameter 'limit' must be a number from 1 on");
  }
  // No match is an answer too: 200 with no matches, as lookup --json writes.
  const std::shared_ptr<const AddressDatabase> db = m_addresses->Current();
  const AddressLookupResult found = db->Lookup(*q, limit);
  if (found.status != AddressDbStatus::Ok) return ErrorAnswer(kUnavailable, AddressDbStatusMessage(found.status));
  HttpAnswer a;
  AppendLookupJson(*q, found, a.body);
  return a;
}

HttpAnswer HttpApi::Health() const {
  HttpAnswer a{200, "{\"status\":\"ok\",\"version\":\"" JASOKIT_VERSION_STRING "\",\"zip_rows\":"};
  a.body += std::to_string(m_zip ? m_zip->size() : 0);
  a.body += m_zip && m_zip->isSample() ? ",\"zip_sample\":true" : ",\"zip_sample\":false";
  const std::shared_ptr<const AddressDatabase> db = m_addresses ? m_addresses->Current() : nullptr;
  if (auto error = RefuseChanged(db.get())) return *error;
  a.body += ",\"address_database\":" + AddressDbJson(db.get()) + "}";
  return a;
}

}  // namespace jasokit::cli
