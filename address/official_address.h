#pragma once
// Official-style addresses: road-name and lot addresses of today's regions
// in the official English address format.
#include <string>
#include <string_view>

#include "jasokit/convert.h"

namespace jasokit::detail {

inline constexpr std::string_view kOfficialCountry = "Republic of Korea";

// Converts a normalised CP949 text (private codes allowed when privateCodes)
// whose first word, or first after a postcode, names a region. Returns false,
// touching nothing, for any other text. country: empty for kOfficialCountry.
// fields, when given, receives the parts.
bool ConvertOfficialAddress(std::string_view text, std::string_view country, bool privateCodes,
                            std::string& output, AddressFields* fields);

}  // namespace jasokit::detail
