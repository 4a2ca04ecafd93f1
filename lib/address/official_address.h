#pragma once
// Official-style addresses: road-name and lot addresses of today's regions
// in the official English address format.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "address/address_match.h"
#include "jasokit/address_db.h"
#include "jasokit/convert.h"

namespace jasokit::detail {

inline constexpr std::string_view kOfficialCountry = "Republic of Korea";
// AddressFields::source.
inline constexpr std::string_view kSourceDatabase = "database";
inline constexpr std::string_view kSourceRules = "rules";

// The address data to write buildings from, if any.
struct DatabaseUse {
  const AddressDatabase* database = nullptr;
  bool keepLot = false;
  // The characters of the text's private codes, which the data's own
  // characters with no CP949 form extend; null for a text in plain CP949.
  std::vector<char32_t>* codes = nullptr;
};

// What a conversion found, for the reader of typed forms to judge it by.
struct ReadingSigns {
  bool number = false;        // a building or lot number
  bool street = false;        // a street (road or locality)
  bool details = false;       // words after the street, or read as none
  bool fromDatabase = false;  // written from the data
  bool dataGavePostcode = false;
  bool dataGaveStreet = false;
  bool typedForm = false;     // a detail, note or road word only a typed form explains
  std::string typedPostcode;  // a typed postcode the data's replaced, or ""
  std::string dataPostcode;   // the data's, written in its place

  // Empties it, keeping the strings' buffers.
  void Clear() {
    number = street = details = fromDatabase = dataGavePostcode = dataGaveStreet = typedForm = false;
    typedPostcode.clear();
    dataPostcode.clear();
  }
};

// The official-style converters, one reading private codes and one not;
// each conversion replaces all their state, and their buffers stay.
class OfficialConverters {
 public:
  OfficialConverters();
  ~OfficialConverters();
  OfficialConverters(const OfficialConverters&) = delete;
  OfficialConverters& operator=(const OfficialConverters&) = delete;

  // Converts a normalised CP949 text (private codes allowed when
  // privateCodes) whose first word, or first after a postcode, names a
  // region. Returns false, touching nothing, for any other text. country:
  // empty for kOfficialCountry. fields, when given, receives the parts.
  // With a database, a building the data holds is written from it.
  bool Convert(std::string_view text, std::string_view country, bool privateCodes, std::string& output,
               AddressFields* fields, const DatabaseUse& use = {});
  // What the last Convert that returned true found.
  const ReadingSigns& LastSigns(bool privateCodes) const;
  // The words of the last address read, as views into its text.
  const TypedAddress& LastTyped(bool privateCodes) const;

 private:
  struct Parts;
  std::unique_ptr<Parts> m_parts;
};

}  // namespace jasokit::detail
