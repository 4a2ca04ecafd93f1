#pragma once
// JSON text for the command line's machine-readable output, which the HTTP
// service answers with too.
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "frontend/zip_query.h"
#include "jasokit/convert.h"

namespace jasokit {
struct AddressLookupResult;
struct NameResult;
}  // namespace jasokit

namespace jasokit::cli {

// Appends utf8 as a JSON string literal, quotes included: '"' and '\' are
// escaped, control characters written as \n, \r, \t, \b, \f or \u00XX, valid
// UTF-8 passed through unchanged. Each byte that does not belong to a valid
// UTF-8 sequence becomes \ufffd, so the result is valid JSON whatever the input.
void AppendJsonString(std::string_view utf8, std::string& out);
// The same for CP949 text.
void AppendJsonCp949String(std::string_view cp949, std::string& out);

// A string member of a result's warnings or suggestions, and its key: the
// same keys in JSON and in Python's dicts.
template <typename T>
struct ListMember {
  const char* key;
  std::string T::*value;
};
inline constexpr ListMember<Warning> kWarningMembers[] = {{"code", &Warning::code}, {"message", &Warning::message}};
inline constexpr ListMember<Suggestion> kSuggestionMembers[] = {
    {"address", &Suggestion::address}, {"english", &Suggestion::english}, {"postcode", &Suggestion::postcode}};

// {"status", "normalized", "output", "fields"}: the object of convert --json.
void AppendResultJson(const Result& r, std::string& out);

// {"KEY": NAME, "records": [...], "sample": BOOL}: the object of zip --json.
// name is UTF-8, nullptr for a name too long to hold; with convert each
// record gets its "conversion" in that style; sample: the table's codes are
// made up.
void AppendZipJson(std::string_view key, const std::string* name, const ZipLines& lines, const Options* convert,
                   bool sample, std::string& out);

// {"query": QUERY, "matches": [... "score", "matched"], "more": N[, "note": TEXT]}:
// the object of lookup --json.
void AppendLookupJson(std::string_view query, const AddressLookupResult& result, std::string& out);

// {"name", "family", "given", "output", "surname_table"}: the object of
// romanize --name --json.
void AppendNameJson(const NameResult& r, std::string& out);

using JsonField = std::pair<const char*, std::string_view>;

// Appends {"key":"value",...} for fields of UTF-8 values, in their order.
void AppendJsonObject(const JsonField* fields, std::size_t count, std::string& out);

template <std::size_t N>
void AppendJsonObject(const JsonField (&fields)[N], std::string& out) {
  AppendJsonObject(fields, N, out);
}

}  // namespace jasokit::cli
