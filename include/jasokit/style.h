#pragma once
// The two ways Jaso_Kit writes Korean in Roman letters.
#include <string_view>

#include "jasokit/export.h"

namespace jasokit {

enum class Style {
  // The 2003 rules: its own sound-change table, addresses in reverse order
  // ending in "S.KOREA". The default everywhere.
  Classic,
  // Today's rules: the Revised Romanization of Korean, road-name addresses
  // and the official English address format.
  Official,
};

// "classic" or "official".
JASOKIT_API const char* StyleName(Style style);
// Reads "classic" or "official"; false for anything else.
JASOKIT_API bool ParseStyle(std::string_view name, Style& style);

}  // namespace jasokit
