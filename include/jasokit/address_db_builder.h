#pragma once
// Building an address database from Korea Post's per-building postcode
// files. The caller reads the files (texts, zips) and hands their lines
// over one by one; the builder parses them, counts what it skips, and
// writes the database to a stream or to any sink, never to a path.
#include <cstddef>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "jasokit/export.h"

namespace jasokit {

// A row that was skipped: its line number in its text and why ("a wrong
// number of columns", "a bad number", "bytes invalid in the file's encoding").
struct AddressSkippedRow {
  std::size_t line = 0;
  std::string reason;
};

// What one text gave.
struct AddressTextCounts {
  std::size_t rows = 0;
  std::size_t skipped = 0;
  std::size_t currentPostcodes = 0;  // rows with a five-digit postcode
  // The 2013 layout: its six-digit postcodes, abolished in 2015, are kept
  // as old postcodes only.
  bool oldLayout = false;
  std::vector<AddressSkippedRow> firstSkipped;  // the first kReportedRows of them
};

class JASOKIT_API AddressDbBuilder {
 public:
  static constexpr std::size_t kReportedRows = 5;

  AddressDbBuilder();
  ~AddressDbBuilder();
  AddressDbBuilder(const AddressDbBuilder&) = delete;
  AddressDbBuilder& operator=(const AddressDbBuilder&) = delete;

  // Starts a text from its first line. False, and nothing started, when the
  // line is the header of neither the current layout nor that of 2013.
  bool BeginText(std::string_view header);
  // One further line of the text begun (LF or CR LF at its end allowed; a
  // blank line is passed over). Returns "" when the row was taken, else why
  // it was skipped.
  std::string_view AddLine(std::string_view line, std::size_t lineNumber);
  // A line too long for any row, which the caller did not hold: skipped.
  std::string_view SkipOverLong(std::size_t lineNumber);
  // The counts of the text begun so far.
  const AddressTextCounts& textCounts() const;
  // Ends the text. One that gave rows is recorded among the database's
  // sources as name (edition, layout); its counts are returned either way.
  AddressTextCounts EndText(std::string_view name, std::string_view edition);

  std::size_t rows() const;
  std::size_t skipped() const;
  // After Write: the rows dropped as copies of earlier ones (the same source
  // given twice, a building listed twice), and the texts longer than the
  // file keeps (255 bytes), cut before a character.
  std::size_t merged() const;
  std::size_t cutTexts() const;

  // Sorts, indexes and hands the database to sink piece by piece; false as
  // soon as sink returns false. The rows are given up: write once.
  bool Write(const std::function<bool(std::string_view)>& sink);
  // The same into a stream; false when the stream fails.
  bool Write(std::ostream& out);

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace jasokit
