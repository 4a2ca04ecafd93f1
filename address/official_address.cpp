#include "address/official_address.h"

namespace jasokit::detail {

bool ConvertOfficialAddress(std::string_view, std::string_view, bool, std::string&, AddressFields&) { return false; }

}  // namespace jasokit::detail
