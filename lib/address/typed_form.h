#pragma once
// Addresses as people type them, for the official style: postcodes in
// brackets or with their label anywhere, old six-digit codes, words run
// together, full-width forms, 번지 lot numbers and a region one letter off.
// The reader rewrites such a text into the clean form the converter reads,
// and names what it read otherwise than typed.
#include <string>
#include <string_view>
#include <vector>

#include "jasokit/address_db.h"
#include "jasokit/convert.h"

namespace jasokit::detail {

struct TypedForm {
  std::string text;         // the clean form, in the text's own bytes
  std::string postcode;     // five digits typed anywhere, or ""
  std::string oldPostcode;  // a six-digit code typed, as 123-456, or ""
  std::vector<Warning> warnings;
};

// Reads text (CP949, with private codes when privateCodes) as typed; false
// when the clean form is the text itself and no postcode was taken out, so
// that the converter's first reading stands. With a database, its districts
// complete a district written without its unit.
bool ReadTypedForm(std::string_view text, bool privateCodes, const AddressDatabase* db, TypedForm& out);

// Why a text (CP949) that the official style romanized as plain text looks
// like an address and was not read as one ("no region", "no number"...);
// false when it does not look like one: no word ends in a unit or a road's
// type.
bool WhyNotAnAddress(std::string_view text, std::string& why);

// Whether UTF-8 text holds conjoining jamo or half-width Hangul letters,
// which ComposeHangul writes as syllables.
bool HasLooseJamo(std::string_view utf8);
// The text with conjoining jamo (U+1100..U+11FF) and half-width Hangul
// letters (U+FFA0..U+FFDC) composed into syllables where they form one; a
// letter that forms none becomes its compatibility letter (U+3131..).
void ComposeHangul(std::string_view utf8, std::string& out);

}  // namespace jasokit::detail
