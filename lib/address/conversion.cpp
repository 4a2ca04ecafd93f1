#include "address/conversion.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <mutex>
#include <vector>

#include "address/address_converter.h"
#include "address/address_doubt.h"
#include "address/address_match.h"
#include "address/official_address.h"
#include "address/typed_form.h"
#include "bytes8.h"
#include "romanize/cp949.h"
#include "romanize/hangul_romanizer.h"

namespace jasokit {

namespace detail {

namespace {

constexpr bool IsSingleByteSpace(unsigned char b) { return b == 0x20 || (b >= 0x09 && b <= 0x0D); }

constexpr const char* kDatabaseChangedWarning = "database-changed";
constexpr const char* kDatabaseChangedMessage =
    "the address database file changed while open; the rules answered without it";

std::string_view CutAtNul(std::string_view text) {
  const std::size_t nul = text.find('\0');
  return nul == std::string_view::npos ? text : text.substr(0, nul);
}

// A UTF-8 text whose trimmed form is this long is TooLong whatever it holds:
// no character takes more than twice the bytes in UTF-8 that it counts for.
constexpr std::size_t kSurelyTooLongUtf8 = 2 * kMaxInputBytes;

std::string_view TrimAsciiSpace(std::string_view text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && IsSingleByteSpace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && IsSingleByteSpace(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

void ToUtf8(std::string_view bytes, const std::vector<char32_t>& characters, std::string& out) {
  out.clear();
  PrivateToUtf8(bytes, characters, out);
}

}  // namespace

namespace {

HangulRomanizer MakeEngine(Style style, bool privateCodes) {
  HangulRomanizer engine(style);
  if (privateCodes) EngineAccess::UsePrivateCodes(engine);
  return engine;
}

}  // namespace

struct Workspace::Parts {
  HangulRomanizer engines[2][2] = {{MakeEngine(Style::Classic, false), MakeEngine(Style::Classic, true)},
                                   {MakeEngine(Style::Official, false), MakeEngine(Style::Official, true)}};
  AddressConverter converters[2];
  OfficialConverters official;
  // The typed-form reader's clean text and its conversion, apart from the
  // first reading until they are known to be better.
  TypedForm typed;
  Doubt doubt;
  std::string corrected;
  std::string typedOutput;
  AddressFields typedFields;
  std::string composed;  // UTF-8 with loose jamo composed
  PrivateText text;
  Result result;
  std::string romanized;

  HangulRomanizer& Engine(Style style, bool privateCodes) { return engines[style == Style::Official][privateCodes]; }
};

Workspace::Workspace() : m_parts(std::make_unique<Parts>()) {}
Workspace::~Workspace() = default;

namespace {

// The workspaces not lent at the moment: as many as were ever lent at once.
class WorkspacePool {
 public:
  std::unique_ptr<Workspace> Take() {
    {
      const std::lock_guard<std::mutex> lock(m_mutex);
      if (!m_free.empty()) {
        std::unique_ptr<Workspace> w = std::move(m_free.back());
        m_free.pop_back();
        return w;
      }
    }
    return std::make_unique<Workspace>();
  }

  void Give(std::unique_ptr<Workspace> w) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_free.push_back(std::move(w));
  }

 private:
  std::mutex m_mutex;
  std::vector<std::unique_ptr<Workspace>> m_free;
};

WorkspacePool& Pool() {
  static WorkspacePool pool;
  return pool;
}

}  // namespace

LentWorkspace::LentWorkspace() : m_workspace(Pool().Take()) {}
LentWorkspace::~LentWorkspace() { Pool().Give(std::move(m_workspace)); }

std::string_view TrimWhitespace(std::string_view text) {
  // Trailing first. A run of whitespace after a byte that cannot lead a
  // double-byte character stands at character boundaries; after one that
  // can, the text is stepped over from the start, double-byte characters
  // whole, so a byte that follows a lead byte is never taken for whitespace.
  std::size_t end = text.size();
  while (end > 0 && IsSingleByteSpace(static_cast<unsigned char>(text[end - 1]))) --end;
  if (end > 0 && end < text.size() && IsCp949LeadByte(static_cast<unsigned char>(text[end - 1]))) {
    end = text.size();
    for (std::size_t i = 0; i < text.size();) {
      if (IsSingleByteSpace(static_cast<unsigned char>(text[i]))) {
        if (end == text.size()) end = i;
        ++i;
      } else {
        end = text.size();
        i += Cp949CharLength(text, i);
      }
    }
  }
  text = text.substr(0, end);
  std::size_t lead = 0;
  while (lead < text.size() && IsSingleByteSpace(static_cast<unsigned char>(text[lead]))) ++lead;
  return text.substr(lead);
}

namespace {

// Eight bytes none of which is a space, CR or LF, at p.
inline bool EightWithoutSpaces(const char* p) {
  using namespace platform;
  const std::uint64_t v = Load8(p);
  return (BytesEqual(v, ' ') | BytesEqual(v, '\n') | BytesEqual(v, '\r')) == 0;
}

// True if text has no CR, no LF and no two spaces in a row: then it is its
// own normal form, whatever its characters. Eight bytes at a time.
bool IsNormal(std::string_view text) {
  using platform::kEachByte, platform::ZeroBytes;
  bool spaceBefore = false;
  std::size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    const std::uint64_t v = platform::Load8(text.data() + i);
    const std::uint64_t spaces = ZeroBytes(v ^ (kEachByte * ' '));
    if (ZeroBytes(v ^ (kEachByte * '\n')) | ZeroBytes(v ^ (kEachByte * '\r')) |
            (spaces & (spaces << 8 | spaces >> 8)) ||
        (spaceBefore && text[i] == ' ')) {
      return false;
    }
    spaceBefore = text[i + 7] == ' ';
  }
  for (; i < text.size(); ++i) {
    if (text[i] == '\n' || text[i] == '\r' || (spaceBefore && text[i] == ' ')) return false;
    spaceBefore = text[i] == ' ';
  }
  return true;
}

// One pass, a character at a time: CR LF and LF become a space, and a space
// (a character of its own) right after one goes. Utf8: the text is valid
// UTF-8, where every byte under 0x80 is a character, so runs of other bytes
// go eight at a time; else CP949, stepped over a character at a time.
template <bool Utf8>
void NormalizeSpaces(std::string_view text, std::string& out) {
  if (IsNormal(text)) {  // most texts
    out.assign(text);
    return;
  }
  out.resize(text.size());
  char* o = out.data();
  bool afterSpace = false;
  for (std::size_t i = 0; i < text.size();) {
    if (Utf8 && text.size() - i >= 8 && EightWithoutSpaces(text.data() + i)) {
      std::memcpy(o, text.data() + i, 8);
      o += 8;
      i += 8;
      afterSpace = false;
      continue;
    }
    const char b = text[i];
    const bool crlf = b == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
    if (b == ' ' || b == '\n' || crlf) {
      if (!afterSpace) *o++ = ' ';
      afterSpace = true;
      i += crlf ? 2 : 1;
      continue;
    }
    afterSpace = false;
    const std::size_t len = Utf8 ? 1 : Cp949CharLength(text, i);
    for (std::size_t k = 0; k < len; ++k) *o++ = text[i + k];
    i += len;
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
}

}  // namespace

void NormalizeWhitespaceInto(std::string_view text, std::string& out) { NormalizeSpaces<false>(text, out); }

std::string NormalizeWhitespace(std::string_view text) {
  std::string s;
  NormalizeWhitespaceInto(text, s);
  return s;
}

void ConvertBytesInto(std::string_view text, const Options& options, bool privateCodes, std::string_view country,
                      bool withFields, Result& result) {
  LentWorkspace workspace;
  ConvertBytesInto(text, options, privateCodes, country, withFields, result, workspace.get());
}

namespace {

// The fields of result, kept from its last conversion when it had some, so
// that their strings are reused.
AddressFields& ReusedFields(Result& result) { return result.fields ? *result.fields : result.fields.emplace(); }

void WarnPostcodeDiffers(std::string_view typed, std::string_view data, std::vector<Warning>& warnings) {
  warnings.push_back(Warning{"postcode-differs", "the postcode typed, " + std::string(typed) +
                                                     ", is not the building's; the data's " + std::string(data) +
                                                     " is written"});
}

// The first reading stands unless it shows a typed form, or read words as
// details where it found no street. (A building the data does not hold is
// the doubts' to explain, not the reader's.)
bool FirstReadingStands(const ReadingSigns& signs) { return (signs.street || !signs.details) && !signs.typedForm; }

// The converter's reading of the typed form, into result; false, touching
// nothing, when it reads no address. tried: the converter was run.
bool UseTypedForm(const Options& options, bool privateCodes, std::string_view country, bool withFields, Result& result,
                  Workspace::Parts& parts, bool& tried) {
  TypedForm& form = parts.typed;
  tried = false;
  if (!ReadTypedForm(result.normalized, privateCodes, options.database, form)) return false;
  tried = true;
  parts.typedFields.oldPostcode.clear();
  if (!parts.official.Convert(form.text, country, privateCodes, parts.typedOutput,
                              withFields ? &parts.typedFields : nullptr,
                              DatabaseUse{options.database, options.keepLot})) {
    return false;
  }
  result.output.swap(parts.typedOutput);
  result.warnings = form.warnings;
  const ReadingSigns& signs = parts.official.LastSigns(privateCodes);
  if (!signs.typedPostcode.empty()) WarnPostcodeDiffers(signs.typedPostcode, signs.dataPostcode, result.warnings);
  if (!withFields) return true;
  AddressFields& fields = ReusedFields(result);
  std::swap(fields, parts.typedFields);
  if (form.oldPostcode.empty()) return true;
  // The data's six-digit code, given as the old postcode or, from older
  // data, as the postcode.
  const std::string& data = !fields.oldPostcode.empty() ? fields.oldPostcode : fields.postcode;
  const bool dataHasOne = data.size() == 7 && data[3] == '-';
  if (dataHasOne && data != form.oldPostcode) WarnPostcodeDiffers(form.oldPostcode, data, result.warnings);
  if (fields.oldPostcode.empty()) fields.oldPostcode = dataHasOne ? data : form.oldPostcode;
  return true;
}

constexpr bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

bool IsAsciiNumber(std::string_view word) {
  return !word.empty() && std::all_of(word.begin(), word.end(), IsAsciiDigit);
}

// A word of the rules' reading before a number that they read as no road
// (개포르 516): the road as typed, for the data to be asked about.
bool GuessRoad(std::string_view text, TypedAddress& typed) {
  static constexpr std::string_view kUnits[] = {"\xBD\xC3", "\xB1\xBA", "\xB1\xB8", "\xC0\xBE",
                                                "\xB8\xE9", "\xB5\xBF", "\xB0\xA1", "\xB8\xAE"};
  std::string_view before;
  for (std::size_t start = 0, words = 0; start < text.size(); ++words) {
    std::size_t end = text.find(' ', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view word = text.substr(start, end - start);
    start = end + 1;
    while (!word.empty() && word.back() == ',') word.remove_suffix(1);
    const std::size_t dash = word.find('-');
    const bool number =
        IsAsciiNumber(word.substr(0, dash)) && (dash == std::string_view::npos || IsAsciiNumber(word.substr(dash + 1)));
    // A post-office box (사서함) is numbered, and no road.
    const bool box = before.size() >= 6 && before.substr(before.size() - 6) == "\xBB\xE7\xBC\xAD\xC7\xD4";
    if (number && before.size() >= 4 && words >= 2 && !box &&
        std::find(std::begin(kUnits), std::end(kUnits), before.substr(before.size() - 2)) == std::end(kUnits)) {
      typed.road = before;
      typed.branch = {};
      typed.number = word;
      return true;
    }
    // Syllables, or the letters of initials (ㄱㅍㄹ).
    const bool hangul =
        !word.empty() && static_cast<unsigned char>(word[0]) >= 0xA4 && static_cast<unsigned char>(word.back()) >= 0xA1;
    before = hangul ? word : std::string_view();
  }
  return false;
}

// With the data, where it gave no building or no postcode: why, with real
// addresses near, and the one road one jamo off read instead where it has
// the building.
void CheckWithData(const Options& options, bool privateCodes, std::string_view country, bool withFields,
                   std::string_view text, Result& result, Workspace::Parts& parts) {
  const ReadingSigns& signs = parts.official.LastSigns(privateCodes);
  const TypedAddress& read = parts.official.LastTyped(privateCodes);
  Doubt& doubt = parts.doubt;
  if (signs.fromDatabase && read.road.empty() && !signs.dataGaveStreet) {
    // A lot the data answered without its street: more than one building stands there.
    DoubtLotAddress(*options.database, read, doubt);
    result.warnings.insert(result.warnings.end(), doubt.warnings.begin(), doubt.warnings.end());
    result.suggestions = doubt.suggestions;
    return;
  }
  if (signs.fromDatabase && signs.dataGavePostcode) return;
  // A road the rules could not read is guessed only where they read no street.
  if (read.road.empty() && (!read.number.empty() || signs.street)) return;
  TypedAddress typed = read;
  if (typed.road.empty() && !GuessRoad(text, typed)) return;
  DoubtRoadAddress(*options.database, typed, signs.fromDatabase, signs.dataGavePostcode, doubt);
  if (!doubt.road.empty()) {
    const std::size_t begin = static_cast<std::size_t>(typed.road.data() - text.data());
    const std::string_view last = typed.branch.empty() ? typed.road : typed.branch;
    const std::size_t end = static_cast<std::size_t>(last.data() + last.size() - text.data());
    std::string& corrected = parts.corrected;
    corrected.assign(text.substr(0, begin));
    Utf8ToCp949(doubt.road, corrected);  // appends
    corrected.append(text.substr(end));
    parts.typedFields.oldPostcode.clear();
    if (parts.official.Convert(corrected, country, privateCodes, parts.typedOutput,
                               withFields ? &parts.typedFields : nullptr,
                               DatabaseUse{options.database, options.keepLot}) &&
        parts.official.LastSigns(privateCodes).fromDatabase) {
      result.output.swap(parts.typedOutput);
      if (withFields) std::swap(ReusedFields(result), parts.typedFields);
    }
  }
  result.warnings.insert(result.warnings.end(), doubt.warnings.begin(), doubt.warnings.end());
  result.suggestions = doubt.suggestions;
}

// The official style: the text as the converter reads it, and where a
// quick pass or the reading itself shows a typed form, the reader's clean
// form of it.
bool ConvertOfficial(const Options& options, bool privateCodes, std::string_view country, bool withFields,
                     Result& result, Workspace::Parts& parts) {
  const DatabaseUse use{options.database, options.keepLot, privateCodes ? &parts.text.characters : nullptr};
  AddressFields* fields = withFields ? &ReusedFields(result) : nullptr;
  if (fields) fields->oldPostcode.clear();
  bool read = parts.official.Convert(result.normalized, country, privateCodes, result.output, fields, use);
  const ReadingSigns& signs = parts.official.LastSigns(privateCodes);
  if (read && FirstReadingStands(signs)) {
    if (!signs.typedPostcode.empty()) WarnPostcodeDiffers(signs.typedPostcode, signs.dataPostcode, result.warnings);
    if (options.database) CheckWithData(options, privateCodes, country, withFields, result.normalized, result, parts);
    return true;
  }
  bool tried = false;
  std::string_view readText = result.normalized;
  if (UseTypedForm(options, privateCodes, country, withFields, result, parts, tried)) {
    readText = parts.typed.text;
    read = true;
  } else if (!read) {
    return false;
  } else if (tried) {
    // The converter's state is the typed form's: the text as it stands, again.
    if (fields) fields->oldPostcode.clear();
    read = parts.official.Convert(result.normalized, country, privateCodes, result.output, fields, use);
  }
  const ReadingSigns& again = parts.official.LastSigns(privateCodes);
  if (read && readText == result.normalized && !again.typedPostcode.empty()) {
    WarnPostcodeDiffers(again.typedPostcode, again.dataPostcode, result.warnings);
  }
  if (read && options.database) CheckWithData(options, privateCodes, country, withFields, readText, result, parts);
  return read;
}

// ConvertBytesInto but for result.fields, which it writes only when it
// returns true, and leaves as they were otherwise.
bool ConvertBytesKeepingFields(std::string_view text, const Options& options, bool privateCodes,
                               std::string_view country, bool withFields, Result& result, Workspace& workspace) {
  result.normalized.clear();
  result.output.clear();
  const std::string_view trimmed = TrimWhitespace(CutAtNul(text));
  if (trimmed.size() > kMaxInputBytes) {
    result.status = ConversionStatus::TooLong;
    return false;
  }
  if (trimmed.empty()) {
    result.status = ConversionStatus::Empty;
    return false;
  }
  NormalizeWhitespaceInto(trimmed, result.normalized);

  Workspace::Parts& parts = workspace.parts();
  if (options.style == Style::Official) {
    if (ConvertOfficial(options, privateCodes, country, withFields, result, parts)) {
      result.status = ConversionStatus::Address;
      return withFields;
    }
  } else {
    AddressConverter& converter = parts.converters[privateCodes];
    ConverterAccess::Reset(converter, privateCodes);
    converter.SetInput(result.normalized);
    if (converter.Recognize()) {
      char buffer[kOutputBufferBytes + 1];
      converter.Render(buffer);
      result.output = buffer;
      result.status = ConversionStatus::Address;
      return false;
    }
  }
  std::string why;
  if (options.style == Style::Official && WhyNotAnAddress(result.normalized, why)) {
    result.warnings.push_back(Warning{"not-an-address", std::move(why)});
  }
  HangulRomanizer& romanizer = parts.Engine(options.style, privateCodes);
  romanizer.Romanize(result.normalized);
  romanizer.GetResult(result.output);
  result.status = ConversionStatus::PlainText;
  return false;
}

}  // namespace

void ConvertBytesInto(std::string_view text, const Options& options, bool privateCodes, std::string_view country,
                      bool withFields, Result& result, Workspace& workspace) {
  result.warnings.clear();
  result.suggestions.clear();
  bool fields = ConvertBytesKeepingFields(text, options, privateCodes, country, withFields, result, workspace);
  if (options.database && options.style == Style::Official &&
      (DatabaseChanged(*options.database) ||
       // What may have come from the data is checked after it was read; a
       // text romanized as it stands, with nothing to say, took nothing.
       ((result.status == ConversionStatus::Address || !result.warnings.empty() || !result.suggestions.empty()) &&
        !DatabaseIntact(*options.database)))) {
    Options rules = options;
    rules.database = nullptr;
    result.warnings.clear();
    result.suggestions.clear();
    fields = ConvertBytesKeepingFields(text, rules, privateCodes, country, withFields, result, workspace);
    result.warnings.push_back({kDatabaseChangedWarning, kDatabaseChangedMessage});
  }
  if (!fields) result.fields.reset();
}

Result ConvertBytes(std::string_view text, const Options& options, bool privateCodes, std::string_view country,
                    bool withFields) {
  Result result;
  ConvertBytesInto(text, options, privateCodes, country, withFields, result);
  return result;
}

namespace {

// Utf8ToPrivate into parts.text, with loose jamo composed: they have no
// CP949 form, so a text without private codes has none, and only one with
// them is looked at again.
bool ToPrivateComposed(std::string_view utf8, Workspace::Parts& parts) {
  const bool clean = Utf8ToPrivate(utf8, parts.text);
  if (parts.text.characters.empty() || !HasLooseJamo(utf8)) return clean;
  ComposeHangul(utf8, parts.composed);
  return Utf8ToPrivate(parts.composed, parts.text) && clean;
}

// The conversion of UTF-8 text into result, in bytes with private codes; the
// codes' characters are in text. False when the text is surely too long, and
// then nothing was converted.
bool ConvertPrivate(std::string_view utf8, const Options& options, bool* invalidUtf8, bool withFields,
                    Workspace& workspace) {
  PrivateText& text = workspace.parts().text;
  utf8 = CutAtNul(utf8);
  if (TrimAsciiSpace(utf8).size() > kSurelyTooLongUtf8) {
    if (invalidUtf8) *invalidUtf8 = !IsValidUtf8(utf8);
    return false;
  }
  const bool clean = ToPrivateComposed(utf8, workspace.parts());
  if (invalidUtf8) *invalidUtf8 = !clean;
  // The country is encoded with the text, so that both share one set of codes.
  const std::size_t textBytes = text.bytes.size();
  if (!options.country.empty()) AppendUtf8ToPrivate(options.country, text);
  const std::string_view bytes(text.bytes);
  ConvertBytesInto(bytes.substr(0, textBytes), options, true, bytes.substr(textBytes), withFields,
                   workspace.parts().result, workspace);
  return true;
}

}  // namespace

ConversionStatus AppendConvertedUtf8(std::string_view utf8, const Options& options, std::string& out,
                                     bool* invalidUtf8) {
  LentWorkspace workspace;
  return AppendConvertedUtf8(utf8, options, out, workspace.get(), invalidUtf8);
}

ConversionStatus AppendConvertedUtf8(std::string_view utf8, const Options& options, std::string& out,
                                     Workspace& workspace, bool* invalidUtf8) {
  if (!ConvertPrivate(utf8, options, invalidUtf8, false, workspace)) return ConversionStatus::TooLong;
  const Workspace::Parts& parts = workspace.parts();
  PrivateToUtf8(parts.result.output, parts.text.characters, out);
  return parts.result.status;
}

namespace {

// A caller that hands over a text with a NUL in it is told that the rest
// was dropped, not left to believe all of it was converted.
void NoteCutAtNul(std::string_view utf8, Result& result) {
  if (utf8.find('\0') == std::string_view::npos) return;
  result.warnings.push_back(Warning{std::string(kWarningTextCutAtNul),
                                    "the text ended at a NUL character; what followed it was not converted"});
}

}  // namespace

void ConvertUtf8Into(std::string_view utf8, const Options& options, bool* invalidUtf8, bool withFields, Result& result,
                     Workspace& workspace) {
  const PrivateText& text = workspace.parts().text;
  const Result& r = workspace.parts().result;
  bool invalid = false;
  const bool converted = ConvertPrivate(utf8, options, &invalid, withFields, workspace);
  if (invalidUtf8) *invalidUtf8 = invalid;
  if (!converted) {
    result.status = ConversionStatus::TooLong;
    result.normalized.clear();
    result.output.clear();
    result.fields.reset();
    result.warnings.clear();
    result.suggestions.clear();
    NoteCutAtNul(utf8, result);
    return;
  }
  result.status = r.status;
  if (invalid || r.normalized.empty()) {
    ToUtf8(r.normalized, text.characters, result.normalized);
  } else {
    // Valid UTF-8 comes back from its CP949 and private codes as it went in,
    // character for character, so its normalised form is made from it
    // directly, with the same rules: no round trip through the codes.
    NormalizeSpaces<true>(TrimAsciiSpace(CutAtNul(utf8)), result.normalized);
  }
  ToUtf8(r.output, text.characters, result.output);
  result.warnings = r.warnings;  // written in UTF-8 on either path
  result.suggestions = r.suggestions;
  NoteCutAtNul(utf8, result);
  if (!r.fields) {
    result.fields.reset();
    return;
  }
  // Kept from the last result when there was one, so that its strings are reused.
  AddressFields& f = result.fields ? *result.fields : result.fields.emplace();
  ToUtf8(r.fields->detail, text.characters, f.detail);
  ToUtf8(r.fields->street, text.characters, f.street);
  ToUtf8(r.fields->district, text.characters, f.district);
  ToUtf8(r.fields->region, text.characters, f.region);
  ToUtf8(r.fields->postcode, text.characters, f.postcode);
  ToUtf8(r.fields->country, text.characters, f.country);
  f.source = r.fields->source;
  ToUtf8(r.fields->oldPostcode, text.characters, f.oldPostcode);
}

Result ConvertUtf8(std::string_view utf8, const Options& options, bool* invalidUtf8, bool withFields) {
  Result result;
  LentWorkspace lent;
  ConvertUtf8Into(utf8, options, invalidUtf8, withFields, result, lent.get());
  return result;
}

void AppendRomanizedUtf8(std::string_view utf8, Style style, std::string& out, Workspace& workspace,
                         bool* invalidUtf8) {
  utf8 = CutAtNul(utf8);
  // No character takes more than four bytes: a longer text has more units
  // than the engine takes.
  if (utf8.size() > 4 * kMaxUnits) {
    if (invalidUtf8) *invalidUtf8 = !IsValidUtf8(utf8);
    return;
  }
  Workspace::Parts& parts = workspace.parts();
  const bool clean = ToPrivateComposed(utf8, parts);
  if (invalidUtf8) *invalidUtf8 = !clean;
  HangulRomanizer& romanizer = parts.Engine(style, true);
  romanizer.Romanize(parts.text.bytes);
  romanizer.GetResult(parts.romanized);
  PrivateToUtf8(parts.romanized, parts.text.characters, out);
}

std::string RomanizeUtf8(std::string_view utf8, Style style, bool* invalidUtf8) {
  std::string out;
  LentWorkspace workspace;
  AppendRomanizedUtf8(utf8, style, out, workspace.get(), invalidUtf8);
  return out;
}

}  // namespace detail

Result Convert(std::string_view utf8, const Options& options) {
  bool invalid = false;
  Result result = detail::ConvertUtf8(utf8, options, &invalid, options.withFields);
  result.replacedInvalid = invalid;
  return result;
}

ConversionStatus AppendConverted(std::string_view utf8, const Options& options, std::string& out,
                                 bool* replacedInvalid) {
  return detail::AppendConvertedUtf8(utf8, options, out, replacedInvalid);
}

namespace {

ConversionStatus AppendConvertedWarned(std::string_view utf8, const Options& options, std::string& out,
                                       bool* replacedInvalid, std::vector<Warning>* warnings,
                                       detail::Workspace& workspace) {
  const ConversionStatus status = detail::AppendConvertedUtf8(utf8, options, out, workspace, replacedInvalid);
  if (warnings) {
    const std::vector<Warning>& given = workspace.parts().result.warnings;
    warnings->assign(given.begin(), given.end());
  }
  return status;
}

}  // namespace

ConversionStatus AppendConverted(std::string_view utf8, const Options& options, std::string& out, bool* replacedInvalid,
                                 std::vector<Warning>* warnings) {
  detail::LentWorkspace workspace;
  return AppendConvertedWarned(utf8, options, out, replacedInvalid, warnings, workspace.get());
}

ConversionWorkspace::ConversionWorkspace() : m_workspace(new detail::Workspace) {}

ConversionWorkspace::~ConversionWorkspace() { delete m_workspace; }

ConversionStatus ConversionWorkspace::AppendConverted(std::string_view utf8, const Options& options, std::string& out,
                                                      bool* replacedInvalid) {
  return detail::AppendConvertedUtf8(utf8, options, out, *m_workspace, replacedInvalid);
}

ConversionStatus ConversionWorkspace::AppendConverted(std::string_view utf8, const Options& options, std::string& out,
                                                      bool* replacedInvalid, std::vector<Warning>* warnings) {
  return AppendConvertedWarned(utf8, options, out, replacedInvalid, warnings, *m_workspace);
}

void ConversionWorkspace::Convert(std::string_view utf8, const Options& options, Result& result) {
  bool invalid = false;
  detail::ConvertUtf8Into(utf8, options, &invalid, options.withFields, result, *m_workspace);
  result.replacedInvalid = invalid;
}

void ConversionWorkspace::AppendRomanized(std::string_view utf8, Style style, std::string& out, bool* replacedInvalid) {
  detail::AppendRomanizedUtf8(utf8, style, out, *m_workspace, replacedInvalid);
}

std::string Romanize(std::string_view utf8, Style style, bool* replacedInvalid) {
  return detail::RomanizeUtf8(utf8, style, replacedInvalid);
}

Result ConvertInput(std::string_view cp949, const Options& options) {
  std::string country;
  Utf8ToCp949(options.country, country);
  return detail::ConvertBytes(cp949, options, false, country, options.withFields);
}

std::string RomanizeInput(std::string_view cp949, Style style) {
  detail::LentWorkspace workspace;
  HangulRomanizer& romanizer = workspace.get().parts().Engine(style, false);
  romanizer.Romanize(cp949);
  std::string out;
  romanizer.GetResult(out);
  return out;
}

const char* ConversionStatusName(ConversionStatus status) {
  switch (status) {
    case ConversionStatus::TooLong: return "TooLong";
    case ConversionStatus::Empty: return "Empty";
    case ConversionStatus::Address: return "Address";
    case ConversionStatus::PlainText: return "PlainText";
  }
  return "";
}

const char* StyleName(Style style) { return style == Style::Official ? "official" : "classic"; }

bool ParseStyle(std::string_view name, Style& style) {
  if (name == "classic") {
    style = Style::Classic;
    return true;
  }
  if (name == "official") {
    style = Style::Official;
    return true;
  }
  return false;
}

}  // namespace jasokit
