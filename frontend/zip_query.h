#pragma once
// Zip table lookups as the command line and the HTTP service answer them.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "jasokit/convert.h"
#include "jasokit/zip.h"

namespace jasokit::cli {

enum class LookupMode { kExact, kPrefix, kCode };

// The JSON key for what was looked up.
inline constexpr const char* kModeKeys[] = {"name", "prefix", "code"};

// Each record with its result-list line, in the order of the lines.
using ZipLines = std::vector<std::pair<std::string, ZipRecordView>>;

// 135080 is written 135-080 in the table.
std::string NormalizeZipCode(std::string_view code);

// The records for a CP949 query; an empty prefix is the caller's to refuse.
ZipLines FindZipLines(const ZipDatabase& db, LookupMode mode, std::string_view query);

// Why a zip table the user named (zip --db, serve --db, Python) cannot be
// used, "" when it can: the load's failure in words, a folder named as a
// folder, and a file that loaded but has not the table's layout. The
// programs' own table beside them is loaded as the window loads it.
std::string NamedTableProblem(const std::string& path, ZipLoadStatus status, const ZipDatabase& db);

// What a program tells once where it shows the rows of a sample table.
inline constexpr const char* kSampleTableNote = "the zip code table is the sample: its zip codes are made up";

// The conversion of a result-list line's address, in CP949; empty unless
// converted.
std::string ListLineConversion(const std::string& line, const Options& options);

}  // namespace jasokit::cli
