#pragma once
// The conversion of one CSV column, as `jasokit convert --csv` does it on
// every core and `POST /v1/convert/csv` on a body: records read into
// chunks, each chunk converted, every other byte kept.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/batch_engine.h"
#include "frontend/codec.h"
#include "frontend/csv.h"
#include "jasokit/convert.h"

namespace jasokit::cli {

constexpr const char* kDefaultOutputColumn = "converted";

// What a chunk has to say on standard error, in input order.
enum class Note : unsigned char {
  kNul,      // reported for the first only
  kInvalid,  // likewise
  kRefused,
  kEmptyField,  // CSV
  kWarning,     // the conversion's own, in text
};

struct Event {
  std::uint64_t number;  // the line or argument
  Note note;
  std::string text = {};    // kWarning: "code: message", UTF-8
  bool looksCp949 = false;  // kInvalid: the text is valid CP949, so likely a CP949 file read as UTF-8
};

struct ChunkBase {
  std::string out;
  std::vector<Event> events;
  std::vector<Warning> warnings;  // a conversion's, reused
  std::uint64_t inputBytes = 0;
  std::size_t items = 0;
  bool idle = false;  // input was idle after it: flush once written
  bool refused = false;

  void Reset() {
    out.clear();
    events.clear();
    inputBytes = 0;
    items = 0;
    idle = false;
    refused = false;
  }
};

// Notes the first invalid text (text: what was converted, looked at for
// the CP949 hint) and a refusal.
void NoteResult(ChunkBase& c, std::uint64_t number, ConversionStatus status, bool invalid, bool& invalidNoted,
                std::string_view text = {});

// Records laid out one after another, so that a worker reads one block of
// memory the reader wrote, not three strings per record.
struct CsvChunk : ChunkBase {
  enum class Kind : unsigned char { kRecord, kBlank, kHeader };
  struct Item {
    std::size_t begin;   // of the record's bytes as read, BOM and line end included
    std::size_t cut;     // where the conversion goes in
    std::size_t resume;  // where the bytes go on after it
    std::size_t end;
    std::size_t valueBegin;  // of the field's value in values
    std::size_t valueSize;
    std::uint64_t line;
    Kind kind;
    bool quoteBom;  // a conversion starting with BOM bytes would be taken for one
  };
  std::string bytes;
  std::string values;
  std::vector<Item> records;
};

// How a column is converted.
struct CsvSettings {
  Options options;
  const TextCodec* codec = &TextCodec::For(false);
  std::size_t column = 0;  // 0-based; set from the header when a name is given
  bool inPlace = false;
  std::string outputColumn = kDefaultOutputColumn;
};

// Reads CSV records into chunks, checking that each has the field.
class CsvSource {
 public:
  // inputReady: whether a read would return at once (CliIo::InputReady).
  CsvSource(CsvReader::Pull pull, std::function<bool()> inputReady, CsvSettings& s, bool header,
            const std::string* columnName);

  ChunkRead Read(CsvChunk& c);

  // Why the reading stopped early, "line N: reason"; "" when it did not.
  std::string error() const;
  bool readFailed() const { return m_reader.error().kind == CsvErrorKind::kReadFailed; }

 private:
  bool ReadRecord(CsvChunk& c);
  bool TakeHeader(const CsvRecord& r);
  void Lay(const CsvRecord& r, bool header, CsvChunk& c);

  std::function<bool()> m_inputReady;
  CsvSettings& m_s;
  CsvReader m_reader;
  CsvRecord m_record;
  bool m_first = true;
  bool m_headerPending;
  const std::string* m_columnName;
  bool m_stopped = false;
  std::string m_error;
};

// Converts the chunk's records into c.out, noting what is to be told.
void ConvertCsvRecords(const CsvSettings& s, CsvChunk& c, ConversionWorkspace* workspace = nullptr);

// A whole CSV held in memory, converted as convert --csv converts standard
// input, on the calling thread. False with error ("line N: reason") for a
// malformed file, and then out holds what came before.
struct CsvTextResult {
  std::string out;
  std::string error;
  std::vector<Event> events;
};
bool ConvertCsvText(std::string_view csv, CsvSettings& s, bool header, const std::string* columnName,
                    CsvTextResult& result);

// The hint to a user whose first invalid UTF-8 reads as CP949.
inline constexpr const char* kCp949Hint =
    "the bytes read as CP949 (EUC-KR), as Excel saves CSV on a Korean Windows: give --cp949";

}  // namespace jasokit::cli
