#include "jasokit/address_db_builder.h"

#include <ostream>

#include "addrdb/address_db_reader.h"
#include "addrdb/address_db_writer.h"
#include "addrdb/korea_post_rows.h"

namespace jasokit {

using namespace detail::addrdb;

struct AddressDbBuilder::Impl {
  AddressDbWriter writer;
  SourceFormat format;
  AddressTextCounts text;
  std::string scratch;
  SourceRow row;
  std::size_t rows = 0;
  std::size_t skipped = 0;

  std::string_view Skip(std::size_t line, RowError error) {
    const std::string_view reason = RowErrorText(error);
    if (++text.skipped <= kReportedRows) text.firstSkipped.push_back(AddressSkippedRow{line, std::string(reason)});
    return reason;
  }
};

AddressDbBuilder::AddressDbBuilder() : m_impl(std::make_unique<Impl>()) {}
AddressDbBuilder::~AddressDbBuilder() = default;

bool AddressDbBuilder::BeginText(std::string_view header) {
  const SourceFormat format = ReadHeader(header);
  if (format.layout == Layout::kUnknown) return false;
  m_impl->format = format;
  m_impl->text = AddressTextCounts{};
  m_impl->text.oldLayout = format.layout == Layout::k2013;
  return true;
}

std::string_view AddressDbBuilder::AddLine(std::string_view line, std::size_t lineNumber) {
  Impl& d = *m_impl;
  // Before any header, no row is read.
  if (d.format.layout == Layout::kUnknown) return d.Skip(lineNumber, RowError::kColumns);
  if (line.empty() || line == "\n" || line == "\r" || line == "\r\n") return {};
  const RowError error = ParseRow(d.format, line, d.scratch, d.row);
  if (error != RowError::kNone) return d.Skip(lineNumber, error);
  d.writer.Add(d.row);
  ++d.text.rows;
  if (d.row.postcode != 0) ++d.text.currentPostcodes;
  return {};
}

std::string_view AddressDbBuilder::SkipOverLong(std::size_t lineNumber) {
  return m_impl->Skip(lineNumber, RowError::kColumns);
}

const AddressTextCounts& AddressDbBuilder::textCounts() const { return m_impl->text; }

AddressTextCounts AddressDbBuilder::EndText(std::string_view name, std::string_view edition) {
  Impl& d = *m_impl;
  AddressTextCounts counts = std::move(d.text);
  d.text = AddressTextCounts{};
  const Layout layout = d.format.layout;
  d.format = SourceFormat{};
  d.rows += counts.rows;
  d.skipped += counts.skipped;
  if (counts.rows == 0) return counts;
  // A name is one line of the info, whatever it holds.
  d.writer.AddInfo("source\t" + WithoutControls(name) + " (edition " + WithoutControls(edition) + ", " +
                   LayoutName(layout) + " layout): " + std::to_string(counts.rows) + " rows, " +
                   std::to_string(counts.skipped) + " skipped");
  d.writer.AddInfo("skipped\t" + std::to_string(counts.skipped));
  if (IsEditionDate(edition)) d.writer.AddInfo("edition\t" + std::string(edition));
  return counts;
}

std::size_t AddressDbBuilder::rows() const { return m_impl->rows; }
std::size_t AddressDbBuilder::skipped() const { return m_impl->skipped; }
std::size_t AddressDbBuilder::merged() const { return m_impl->writer.merged(); }
std::size_t AddressDbBuilder::cutTexts() const { return m_impl->writer.cut(); }

bool AddressDbBuilder::Write(const std::function<bool(std::string_view)>& sink) { return m_impl->writer.Write(sink); }

bool AddressDbBuilder::Write(std::ostream& out) {
  return Write([&out](std::string_view bytes) {
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
  });
}

}  // namespace jasokit
