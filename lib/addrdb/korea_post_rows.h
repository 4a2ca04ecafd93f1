#pragma once
// The lines of Korea Post's per-building postcode files, in their two
// layouts, told apart by the header line:
//   current (2015 on): 26 columns, UTF-8 with a byte order mark;
//   2013: 24 columns, CP949, CR LF.
#include <cstddef>
#include <string>
#include <string_view>

#include "addrdb/address_db_writer.h"

namespace jasokit::detail::addrdb {

enum class Layout { kUnknown, kCurrent, k2013 };

struct SourceFormat {
  Layout layout = Layout::kUnknown;
  bool cp949 = false;  // the lines are CP949, not UTF-8
};

// The format a header line (CR, LF and byte order mark allowed) announces.
SourceFormat ReadHeader(std::string_view line);

// "current" or "2013".
const char* LayoutName(Layout layout);

enum class RowError {
  kNone,
  kColumns,   // a wrong column count
  kNumber,    // a postcode, building or lot number that is no number, or a flag not 0 or 1
  kEncoding,  // bytes invalid in the file's encoding
  kControl,   // a control character (TAB, CR, ESC...) in a field
  kName,      // no region or road name
};

// Whether UTF-8 text holds a C0 control, DEL or a C1 control.
bool HasControl(std::string_view utf8);
// text with those written as \xHH (\u00HH for C1), for a line of its own.
std::string WithoutControls(std::string_view utf8);

// What the user is told for a skipped row.
const char* RowErrorText(RowError error);

// Parses one line (its CR LF or LF allowed) into row, whose texts point into
// scratch until the next call.
RowError ParseRow(const SourceFormat& format, std::string_view line, std::string& scratch, SourceRow& row);

}  // namespace jasokit::detail::addrdb
