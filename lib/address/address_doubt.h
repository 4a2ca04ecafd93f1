#pragma once
// What the address data says where it gives no building, or more than one:
// the reason as a warning, real addresses near what was typed as
// suggestions, and the one road within a jamo's reach that has the number.
#include <string>
#include <string_view>
#include <vector>

#include "address/address_match.h"
#include "jasokit/convert.h"

namespace jasokit::detail {

inline constexpr std::size_t kMaxSuggestions = 5;

struct Doubt {
  std::vector<Warning> warnings;
  std::vector<Suggestion> suggestions;
  std::string road;  // UTF-8: the road to read instead of the one typed, or ""

  // The ranges of roads of the places asked about last, of one database.
  struct Place {
    std::string key;
    std::size_t first, last;
  };
  static constexpr std::size_t kPlacesKept = 32;
  std::vector<Place> places;
  const void* placesOf = nullptr;
  std::size_t placesRoads = 0;
};

// typed as the converter read it (its road may be a word the rules could
// not read as one); answered: the data wrote the building, postcodeGiven:
// with its postcode.
void DoubtRoadAddress(const AddressDatabase& db, const TypedAddress& typed, bool answered, bool postcodeGiven,
                      Doubt& out);

// A lot address (typed.locality and number) that the data places on two
// or more buildings: ambiguous, with them as suggestions.
void DoubtLotAddress(const AddressDatabase& db, const TypedAddress& typed, Doubt& out);

}  // namespace jasokit::detail
