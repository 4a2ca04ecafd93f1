#include "frontend/csv_convert.h"

#include "jasokit/cp949.h"

namespace jasokit::cli {

void NoteResult(ChunkBase& c, std::uint64_t number, ConversionStatus status, bool invalid, bool& invalidNoted,
                std::string_view text) {
  if (invalid && !invalidNoted) {
    invalidNoted = true;
    std::string ignored;
    c.events.push_back({number, Note::kInvalid, {}, !text.empty() && Cp949ToUtf8(text, ignored)});
  }
  if (status == ConversionStatus::TooLong) {
    c.refused = true;
    c.events.push_back({number, Note::kRefused});
  }
}

CsvSource::CsvSource(CsvReader::Pull pull, std::function<bool()> inputReady, CsvSettings& s, bool header,
                     const std::string* columnName)
    : m_inputReady(std::move(inputReady)),
      m_s(s),
      m_reader(std::move(pull)),
      m_headerPending(header),
      m_columnName(columnName) {}

ChunkRead CsvSource::Read(CsvChunk& c) {
  c.Reset();
  c.bytes.clear();
  c.values.clear();
  c.records.clear();
  if (m_stopped) return ChunkRead::kFailed;
  const std::uint64_t before = m_reader.consumed();
  // Records read are answered before waiting for more, even for the rest
  // of a record begun.
  m_reader.SetPause([&] { return c.items > 0 && !m_inputReady(); });
  while (c.items < kChunkLines && c.bytes.size() < kChunkBytes) {
    if (!ReadRecord(c)) break;
  }
  c.inputBytes = m_reader.consumed() - before;
  if (c.items == 0) return m_stopped ? ChunkRead::kFailed : ChunkRead::kEnd;
  return c.idle ? ChunkRead::kChunkIdle : ChunkRead::kChunk;
}

std::string CsvSource::error() const {
  if (!m_error.empty()) return m_error;
  return m_reader.error().message;
}

// Reads one record into c; false when the chunk is to go now.
bool CsvSource::ReadRecord(CsvChunk& c) {
  CsvRecord& r = m_record;
  if (!m_reader.Next(r)) {
    if (m_reader.paused()) {
      c.idle = true;
      return false;
    }
    m_stopped = m_reader.error().kind != CsvErrorKind::kNone;
    return false;
  }
  const bool header = m_headerPending && !r.blank();
  if (header && !TakeHeader(r)) return false;
  if (!r.blank() && r.size() <= m_s.column) {
    m_error = MissingFieldError(r, m_s.column).message;
    m_stopped = true;
    return false;
  }
  Lay(r, header, c);
  ++c.items;
  return true;
}

// Finds the column named; false when there is none.
bool CsvSource::TakeHeader(const CsvRecord& r) {
  m_headerPending = false;
  if (!m_columnName) return true;
  const std::size_t at = FindCsvField(r, *m_columnName);
  if (at == std::string_view::npos) {
    m_error = "line " + std::to_string(r.line()) + ": no column named '" + *m_columnName + "' in the header";
    m_stopped = true;
    return false;
  }
  m_s.column = at;
  return true;
}

void CsvSource::Lay(const CsvRecord& r, bool header, CsvChunk& c) {
  CsvChunk::Item item{};
  item.begin = c.bytes.size();
  c.bytes += r.prefix();
  const std::size_t raw = c.bytes.size();
  c.bytes += r.raw();
  item.cut = item.resume = c.bytes.size();
  c.bytes += r.terminator();
  item.end = c.bytes.size();
  item.line = r.line();
  item.kind = header ? CsvChunk::Kind::kHeader : r.blank() ? CsvChunk::Kind::kBlank : CsvChunk::Kind::kRecord;
  if (item.kind != CsvChunk::Kind::kBlank) {
    const CsvField field = r[m_s.column];
    if (m_s.inPlace) {
      item.cut = raw + static_cast<std::size_t>(field.raw.data() - r.raw().data());
      item.resume = item.cut + field.raw.size();
    }
    item.valueBegin = c.values.size();
    item.valueSize = field.value.size();
    if (item.kind == CsvChunk::Kind::kRecord) c.values += field.value;
    item.quoteBom = m_first && r.prefix().empty() && m_s.inPlace && m_s.column == 0;
  }
  m_first = false;
  c.records.push_back(item);
}

namespace {

// Appends the conversion as a field, quoted as AppendCsvRecord would.
void AppendConvertedField(std::string_view text, bool quoteBom, std::string& out) {
  if (quoteBom && text.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
    out += '"';
    for (char ch : text) {
      if (ch == '"') out += '"';
      out += ch;
    }
    out += '"';
  } else {
    AppendCsvField(text, out);
  }
}

}  // namespace

void ConvertCsvRecords(const CsvSettings& s, CsvChunk& c, ConversionWorkspace* workspace) {
  bool nulNoted = false;
  bool invalidNoted = false;
  std::string text;  // once per chunk; never thread_local on a worker (GCC PR 80816)
  const std::string_view bytes = c.bytes;
  for (const CsvChunk::Item& item : c.records) {
    if (item.kind == CsvChunk::Kind::kBlank || (item.kind == CsvChunk::Kind::kHeader && s.inPlace)) {
      c.out += bytes.substr(item.begin, item.end - item.begin);
      continue;
    }
    std::string_view converted = s.outputColumn;
    if (item.kind == CsvChunk::Kind::kRecord) {
      const std::string_view value = std::string_view(c.values).substr(item.valueBegin, item.valueSize);
      if (!nulNoted && value.find('\0') != std::string_view::npos) {
        nulNoted = true;
        c.events.push_back({item.line, Note::kNul});
      }
      bool invalid = false;
      text.clear();
      const ConversionStatus status = s.codec->AppendConverted(value, s.options, text, invalid, nullptr, workspace);
      NoteResult(c, item.line, status, invalid, invalidNoted, value);
      if (status == ConversionStatus::Empty) c.events.push_back({item.line, Note::kEmptyField});
      converted = text;
    }
    c.out += bytes.substr(item.begin, item.cut - item.begin);
    if (!s.inPlace) c.out += ',';
    AppendConvertedField(converted, item.quoteBom, c.out);
    c.out += bytes.substr(item.resume, item.end - item.resume);
  }
}

bool ConvertCsvText(std::string_view csv, CsvSettings& s, bool header, const std::string* columnName,
                    CsvTextResult& result) {
  std::size_t at = 0;
  CsvSource source(
      [&](char* buffer, std::size_t size) {
        const std::size_t n = std::min(size, csv.size() - at);
        std::copy_n(csv.data() + at, n, buffer);
        at += n;
        return static_cast<long>(n);
      },
      [] { return true; }, s, header, columnName);
  CsvChunk c;
  for (;;) {
    const ChunkRead r = source.Read(c);
    if (r == ChunkRead::kChunk || r == ChunkRead::kChunkIdle) {
      ConvertCsvRecords(s, c);
      result.out += c.out;
      result.events.insert(result.events.end(), c.events.begin(), c.events.end());
      continue;
    }
    if (r == ChunkRead::kEnd) return true;
    result.error = source.error();
    return false;
  }
}

}  // namespace jasokit::cli
