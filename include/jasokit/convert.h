#pragma once
// The conversion of one text: a Korean postal address is rewritten in
// English, any other text is romanized. Two forms: UTF-8 (Convert,
// AppendConverted, Romanize), and CP949 for callers that hold CP949 bytes
// (ConvertInput, RomanizeInput).
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jasokit/export.h"
#include "jasokit/style.h"

namespace jasokit {

// The longest text accepted, in CP949 bytes after trimming; a character with
// no CP949 form counts as two bytes, like any double-byte character.
inline constexpr std::size_t kMaxInputBytes = 1024;
// The longest output, in the same bytes; a longer address is cut at the last
// character that fits.
inline constexpr std::size_t kOutputBufferBytes = 1024;

enum class ConversionStatus {
  TooLong,    // more than kMaxInputBytes after trimming: refused
  Empty,      // nothing left after trimming
  Address,    // recognised as a postal address and rewritten
  PlainText,  // romanized as a whole
};

class AddressDatabase;

struct Options {
  Style style = Style::Classic;
  // Replaces the country at the end of an official-style address; empty:
  // the style's own ("Republic of Korea"). Classic addresses always end in
  // "S.KOREA". UTF-8.
  std::string country;
  // False leaves Result::fields out, for callers that need the texts only.
  bool withFields = true;
  // Official style: an address whose building this database holds is
  // written from it (its English names, and its postcode where the text
  // gives none). Not owned; null: the rules alone. Classic never uses it.
  const AddressDatabase* database = nullptr;
  // With a database: a lot-number address stays one instead of becoming its
  // road-name address.
  bool keepLot = false;
};

// The parts of an official-style address, as web forms and labels need them.
// Empty parts are empty strings.
struct AddressFields {
  std::string detail;    // note, apartment, floor: everything before the street
  std::string street;    // building number and road, or lot number and locality
  std::string district;  // the administrative units, smallest first, joined by ", "
  std::string region;    // province or metropolitan city
  std::string postcode;  // five digits, never an abolished six-digit code
  std::string country;
  std::string source;  // "database" when written from the address data, else "rules"
  // An abolished six-digit code ("135-080"), typed or from the data; empty
  // when there is none. Never written into the address.
  std::string oldPostcode;
};

// Something the converter read other than as typed, or is unsure of. The
// codes are a fixed set (see the README); the message is for people.
struct Warning {
  std::string code;
  std::string message;
};

// With the address data: a real address near one the data does not hold,
// or one of several that fit. UTF-8.
struct Suggestion {
  std::string address;   // the road-name address in Korean
  std::string english;   // number and road, town, city/district, region
  std::string postcode;  // the building's
};

// One conversion: UTF-8 texts from Convert, CP949 ones from ConvertInput.
struct Result {
  ConversionStatus status = ConversionStatus::Empty;
  std::string normalized;               // the text trimmed, line breaks and runs of spaces made single spaces
  std::string output;                   // empty for TooLong and Empty
  std::optional<AddressFields> fields;  // official-style addresses only
  bool replacedInvalid = false;         // Convert only: the text held invalid UTF-8
  std::vector<Warning> warnings;        // UTF-8, also from ConvertInput; empty when read as typed
  std::vector<Suggestion> suggestions;  // official style with a database: where it is unsure; else empty
};

// Converts UTF-8 text. Characters with no CP949 form pass through unchanged;
// invalid UTF-8 bytes become U+FFFD. The text ends at its first NUL byte.
JASOKIT_API Result Convert(std::string_view utf8, const Options& options = {});

// Convert for batches: appends the output alone to out (nothing for TooLong
// and Empty) and returns the status. Buffers are reused from call to call
// on a thread. replacedInvalid, if given, tells whether the text held
// invalid UTF-8.
JASOKIT_API ConversionStatus AppendConverted(std::string_view utf8, const Options& options, std::string& out,
                                             bool* replacedInvalid = nullptr);
// The same, also giving the result's warnings (replacing warnings' content).
JASOKIT_API ConversionStatus AppendConverted(std::string_view utf8, const Options& options, std::string& out,
                                             bool* replacedInvalid, std::vector<Warning>* warnings);

namespace detail {
class Workspace;
}

// The engines and buffers that conversions reuse, owned by the caller: a
// batch worker thread converts through its own, so that the library keeps
// no per-thread state for a thread that ends. One workspace serves one
// thread at a time.
class JASOKIT_API ConversionWorkspace {
 public:
  ConversionWorkspace();
  ~ConversionWorkspace();
  ConversionWorkspace(const ConversionWorkspace&) = delete;
  ConversionWorkspace& operator=(const ConversionWorkspace&) = delete;

  // Convert through this workspace, into result, whose strings are reused
  // from call to call.
  void Convert(std::string_view utf8, const Options& options, Result& result);
  // AppendConverted through this workspace.
  ConversionStatus AppendConverted(std::string_view utf8, const Options& options, std::string& out,
                                   bool* replacedInvalid = nullptr);
  // The same, also giving the result's warnings (replacing warnings' content).
  ConversionStatus AppendConverted(std::string_view utf8, const Options& options, std::string& out,
                                   bool* replacedInvalid, std::vector<Warning>* warnings);
  // Appends what Romanize gives.
  void AppendRomanized(std::string_view utf8, Style style, std::string& out, bool* replacedInvalid = nullptr);

 private:
  detail::Workspace* m_workspace;
};

// The most characters (UTF-16 units) Romanize and RomanizeInput take.
inline constexpr std::size_t kMaxRomanizeUnits = 1024;

// Romanizes UTF-8 text as it stands (never as an address, no trimming):
// first letter upper-cased; empty for a text of more than kMaxRomanizeUnits
// characters or a result of more than 1024 bytes. The text ends at its first
// NUL byte. replacedInvalid, if given, tells whether it held invalid UTF-8.
JASOKIT_API std::string Romanize(std::string_view utf8, Style style = Style::Classic, bool* replacedInvalid = nullptr);

// Converts CP949 text, byte for byte as the desktop program's input box does;
// the result's texts are CP949. The text ends at its first NUL byte;
// options.country is UTF-8.
JASOKIT_API Result ConvertInput(std::string_view cp949, const Options& options = {});

// Romanize on CP949 text, giving CP949.
JASOKIT_API std::string RomanizeInput(std::string_view cp949, Style style = Style::Classic);

// "TooLong", "Empty", "Address" or "PlainText".
JASOKIT_API const char* ConversionStatusName(ConversionStatus status);

// What the user is told for TooLong (the limit is in bytes although the text
// speaks of characters), in UTF-8.
inline constexpr const char* kRefusalMessageUtf8 =
    "입력 길이가 1000 글자를 초과하여 처리할 수 없습니다.\r\n다시 한번 확인해 주세요.";

}  // namespace jasokit
