#pragma once
// Personal names in Roman letters as passports and forms write them: family
// name first, then the given name as one word, each syllable with its own
// letters and no sound change between syllables.
#include <string>
#include <string_view>

#include "jasokit/convert.h"
#include "jasokit/export.h"

namespace jasokit {

// Where a family name's spelling comes from.
enum class SurnameTable {
  // The spelling most passports use (Kim, Lee, Park), for the family names a
  // public survey of passport spellings covers; any other family name is
  // written as Rr does.
  Common,
  // The letters of the Revised Romanization (Gim, I, Bak).
  Rr,
};

// "common" or "rr".
JASOKIT_API const char* SurnameTableName(SurnameTable table);
// Reads "common" or "rr"; false for anything else.
JASOKIT_API bool ParseSurnameTable(std::string_view name, SurnameTable& table);

// The longest text the programs read as one name (romanize --name,
// GET /v1/romanize?names=1): four UTF-8 bytes for each unit Romanize takes.
inline constexpr std::size_t kMaxPersonNameBytes = 4 * kMaxRomanizeUnits;

struct NameOptions {
  SurnameTable surnames = SurnameTable::Common;
  bool hyphen = false;      // Hong Gil-dong
  bool givenFirst = false;  // Gildong Hong
  bool upper = false;       // HONG GILDONG
};

struct NameResult {
  // False when the text is no plausible name (blank, or more than five
  // syllables before any space): output is then the text romanized in the
  // official style, and family and given are empty.
  bool isName = false;
  std::string family;
  std::string given;
  std::string output;
  // The table the family name's spelling came from: Rr when Common was asked
  // for a family name the survey does not cover.
  SurnameTable surnameTable = SurnameTable::Rr;
};

// Romanizes one UTF-8 name. A space decides where the family name ends
// (황보 영, 김 연아). Without one, a name of three or more syllables that
// starts with a two-syllable family name (남궁, 황보, 제갈...) has that family
// name, so 남궁민 is Namgung Min; write 남 궁민 for Nam Gungmin.
// Characters that are not Hangul syllables pass through unchanged; invalid
// UTF-8 becomes U+FFFD; the text ends at its first NUL byte.
JASOKIT_API NameResult RomanizeName(std::string_view utf8, const NameOptions& options = {});

}  // namespace jasokit
