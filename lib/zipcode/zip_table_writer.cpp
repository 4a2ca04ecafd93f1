#include <cstring>

#include "zipcode/zip_database.h"

namespace jasokit {

using namespace detail;

namespace {

constexpr std::size_t kMaxSequence = 99999;  // what a 5-digit numeric field holds

// 0x79 marks Korean Windows (code page 949) text for dBASE readers.
constexpr unsigned char kLanguageDriverCp949 = 0x79;
constexpr char kDbaseIII = 0x03;
constexpr char kHeaderEnd = 0x0D;
constexpr std::size_t kDescriptorBytes = 32;

void PutLe16(std::string& out, std::size_t at, std::uint32_t v) {
  out[at] = static_cast<char>(v & 0xFF);
  out[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

void PutLe32(std::string& out, std::size_t at, std::uint32_t v) {
  PutLe16(out, at, v & 0xFFFF);
  PutLe16(out, at + 2, v >> 16);
}

}  // namespace

std::string CheckZipValue(ZipField field, std::string_view cp949) {
  for (unsigned char c : cp949) {
    if (c < 0x20 || c == 0x7F) return "a control character (line breaks and tabs included)";
  }
  const std::size_t width = LayoutOf(field).width;
  if (cp949.size() > width) {
    return std::to_string(cp949.size()) + " bytes in CP949, more than the field's " + std::to_string(width);
  }
  if (field == ZipField::Locality) {
    if (cp949.find("  ") != std::string_view::npos) return "two spaces in a row; the table would cut the name there";
    if (!cp949.empty() && cp949.back() == ' ') return "a trailing space; the table would drop it";
    if (cp949.size() == width && cp949.find(' ') != std::string_view::npos) {
      return "fills all 43 bytes and holds a space; the table would cut it at its last space";
    }
  }
  return std::string();
}

ZipTableWriter::ZipTableWriter(const std::tm& date) : m_date(date) {}

std::string ZipTableWriter::Header(std::uint32_t rows) const {
  std::string header(kZipHeaderBytes, '\0');
  header[0] = kDbaseIII;  // no memo
  header[1] = static_cast<char>(m_date.tm_year > 255 ? 255 : m_date.tm_year < 0 ? 0 : m_date.tm_year);
  header[2] = static_cast<char>(m_date.tm_mon + 1);
  header[3] = static_cast<char>(m_date.tm_mday);
  PutLe32(header, 4, rows);
  PutLe16(header, 8, kZipHeaderBytes);
  PutLe16(header, 10, kZipRecordBytes);
  header[29] = static_cast<char>(kLanguageDriverCp949);

  auto descriptor = [&header](std::size_t i, const char* name, char type, std::size_t width) {
    const std::size_t at = kDescriptorBytes + kDescriptorBytes * i;
    std::memcpy(&header[at], name, std::strlen(name));  // rest stays NUL
    header[at + 11] = type;
    header[at + 16] = static_cast<char>(width);
  };
  for (std::size_t i = 0; i < kZipFieldCount; ++i) descriptor(i, kZipFields[i].dbaseName, 'C', kZipFields[i].width);
  descriptor(kZipFieldCount, kZipSequenceName, 'N', kZipSequenceBytes);
  header[kZipHeaderBytes - 1] = kHeaderEnd;
  return header;
}

void ZipTableWriter::AppendRecord(const ZipRecord& row, std::size_t sequence, std::string& out) {
  const std::string* values[kZipFieldCount] = {&row.zipCode, &row.province, &row.district, &row.locality, &row.detail};
  out += ' ';  // not deleted
  for (std::size_t i = 0; i < kZipFieldCount; ++i) {
    const std::size_t width = kZipFields[i].width;
    const std::size_t n = values[i]->size() < width ? values[i]->size() : width;
    out.append(*values[i], 0, n);
    out.append(width - n, ' ');
  }
  const std::string seq = sequence <= kMaxSequence ? std::to_string(sequence) : std::string();
  out.append(kZipSequenceBytes - seq.size(), ' ');  // numbers are right-aligned
  out += seq;
}

std::string ZipTableWriter::Build(const std::vector<ZipRecord>& rows) const {
  std::string table = Header(static_cast<std::uint32_t>(rows.size()));
  table.reserve(table.size() + rows.size() * kZipRecordBytes + 1);
  for (std::size_t i = 0; i < rows.size(); ++i) AppendRecord(rows[i], i + 1, table);
  table += kEndOfFile;
  return table;
}

void MarkZipTableSample(std::string& header) {
  if (header.size() >= kZipSampleMarkAt + kZipSampleMark.size()) {
    header.replace(kZipSampleMarkAt, kZipSampleMark.size(), kZipSampleMark);
  }
}

}  // namespace jasokit
