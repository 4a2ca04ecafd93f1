#pragma once
// jasokit romanize --name, which has options of its own.
#include "cli/cli.h"

namespace jasokit::cli {

// Whether --name comes before any "--".
bool AsksForNames(const Args& args);
extern const Command kRomanizeNameCommand;

}  // namespace jasokit::cli
