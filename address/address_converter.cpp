// Placeholder until the address recogniser lands: nothing is an address.
#include "address/address_converter.h"

#include <cstring>

namespace jasokit {

std::string RomanizeName(HangulRomanizer& romanizer, const std::string& name) {
  std::string out;
  romanizer.Romanize(name.c_str());
  romanizer.GetResult(out);
  return out;
}

void Render(const std::vector<std::string>&, char* buffer) { buffer[0] = '\0'; }

void AddressConverter::SetInput(const char*) {}
bool AddressConverter::Recognize() { return false; }
void AddressConverter::Render(char* buffer) const { jasokit::Render(m_parts, buffer); }
std::string AddressConverter::RomanizeName(const std::string& name) {
  return jasokit::RomanizeName(m_romanizer, name);
}

}  // namespace jasokit
