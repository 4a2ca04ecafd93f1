#pragma once
// The sources of `jasokit addrdb build`: Korea Post texts, plain or in zips
// (read with libzip), handed out line by line with bounded memory.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/address_db_open.h"

namespace jasokit::cli {

// One text of a source: its name for messages ("Daegu.zip: 20130604_대구광역시.txt"),
// its edition (from its name or its zip's, else "unknown") and a pull
// function for its bytes (0 at the end, -1 on an error).
struct SourceText {
  std::string name;
  std::string edition;
  std::function<long(char* buffer, std::size_t size)> read;
};

// Calls each for every text in path (the file itself, or each entry of a
// zip). entries, when given, receives the name of every entry of a zip,
// texts or not, as Printable gives it. Returns "" or why path cannot be read.
std::string ForEachSourceText(const std::string& path, const std::function<bool(SourceText&)>& each,
                              std::vector<std::string>* entries = nullptr);

// Each text entry of the zip at path; "" or why it cannot be read. Where the
// build has no zip reader, it says so.
std::string ForEachZipEntry(const std::string& path, const std::function<bool(SourceText&)>& each,
                            std::vector<std::string>* entries = nullptr);

// A name as a terminal may show it: control characters (C0, DEL, C1) as
// \xHH or \u00HH, so that a name can neither break a line nor act on the
// terminal.
std::string Printable(std::string_view name);

// For the readers: the last part of a path; the edition a name gives
// (YYYY-MM-DD, or YYYY-MM for a month alone; "" when it gives none, never a
// file's date); an entry's name in UTF-8 (CP949 otherwise); whether a name
// is a text (.txt).
std::string BaseName(const std::string& path);
std::string Edition(std::string_view name);
std::string EntryName(const char* raw);
bool IsText(std::string_view name);

// Splits a text into lines (LF ends one; a CR before it stays in the line).
// A line longer than maxBytes is handed out cut, marked overLong.
class SourceLines {
 public:
  SourceLines(SourceText& text, std::size_t maxBytes) : m_text(text), m_max(maxBytes) {}
  // False at the end or on a read error (failed()).
  bool Next(std::string_view& line, bool& overLong);
  bool failed() const { return m_failed; }
  std::size_t lineNumber() const { return m_line; }

 private:
  bool Fill();
  SourceText& m_text;
  std::size_t m_max;
  std::string m_buffer;
  std::size_t m_pos = 0;
  std::size_t m_line = 0;
  bool m_eof = false;
  bool m_failed = false;
  std::string m_held;
};

}  // namespace jasokit::cli

namespace jasokit::cli {

class CliIo;

// FindAddressDb for --addrdb (named), telling why a database was not
// opened: an error for a named one, a warning for a default.
AddressDbFound OpenAddressDb(const std::string* named, const char* command, CliIo& io, AddressDatabase& db,
                             bool verify = false);

// Opens path and reads it whole against its checksums: "" or what is wrong.
std::string OpenVerified(const std::string& path, AddressDatabase& db);

// What the user is told when no database exists.
std::string NoAddressDbMessage(const char* command);

}  // namespace jasokit::cli
