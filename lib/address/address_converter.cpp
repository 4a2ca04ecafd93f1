#include "address/address_converter.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "tables/address_tables.h"
#include "romanize/cp949.h"
#include "romanize/hangul_romanizer.h"

namespace jasokit {

namespace detail {

namespace {

// What a state between the first token and the remainder accepts: a token
// ending in one of its units (tried in order), or a post-office box.
struct Expectation {
  AddressState state;
  Unit units[3];
  int unitCount;
  bool postOfficeBox;
  AddressState onMatch;    // then move on to the next token
  AddressState otherwise;  // then look at the same token again
};

using S = AddressState;
inline constexpr Expectation kExpectations[] = {
    {S::ExpectSi, {kUnitSi}, 1, false, S::ExpectProvinceGu, S::ExpectGun},
    {S::ExpectGun, {kUnitGun}, 1, false, S::ExpectGunLocality, S::ExpectLocality},
    {S::ExpectProvinceGu, {kUnitGu}, 1, true, S::ExpectLocality, S::ExpectLocality},
    {S::ExpectLocality, {kUnitDong, kUnitMyeon, kUnitGa}, 3, true, S::Remainder, S::Remainder},
    {S::ExpectMetroGu, {kUnitGu}, 1, false, S::ExpectMetroLocality, S::ExpectMetroLocality},
    {S::ExpectMetroLocality, {kUnitDong, kUnitGa}, 2, true, S::Remainder, S::Remainder},
    {S::ExpectGunLocality, {kUnitEup, kUnitMyeon}, 2, true, S::Remainder, S::Remainder},
};

// The units the remainder still recognises, in the order they are tried.
inline constexpr Unit kRemainderUnits[] = {kUnitRi, kUnitEup, kUnitDong};

const Expectation& FindExpectation(AddressState state) {
  for (const Expectation& e : kExpectations) {
    if (e.state == state) return e;
  }
  return kExpectations[0];  // unreachable: every state but 0, 4 and 9 has a row
}

std::string_view CutEnding(std::string_view token, std::string_view word) {
  return token.substr(0, token.size() - word.size());
}

template <std::size_t N>
const PlaceRow* FindWhole(const PlaceRow (&table)[N], std::string_view token) {
  for (const PlaceRow& row : table) {
    if (row.korean == token) return &row;
  }
  return nullptr;
}

// The two-word city forms, compared with first + " " + second without
// building that string.
const PlaceRow* FindTwoWordForm(std::string_view first, std::string_view second) {
  for (const PlaceRow& row : kMetroCityTwoWordForms) {
    const std::string_view k = row.korean;
    if (k.size() == first.size() + 1 + second.size() && k.compare(0, first.size(), first) == 0 &&
        k[first.size()] == ' ' && k.compare(first.size() + 1, second.size(), second) == 0) {
      return &row;
    }
  }
  return nullptr;
}

// The metropolitan city at tokens[i], in one word or two; used tells how
// many.
const PlaceRow* FindMetroCity(const std::vector<std::string>& tokens, std::size_t i, std::size_t& used) {
  used = 1;
  if (i + 1 < tokens.size()) {
    if (const PlaceRow* row = FindTwoWordForm(tokens[i], tokens[i + 1])) {
      used = 2;
      return row;
    }
  }
  return FindWhole(kMetroCities, tokens[i]);
}

// The unit ending of token that e expects (the first in its order), as a
// syllable and the suffix it becomes; nothing when token has none.
std::optional<UnitSyllable> MatchUnit(const Expectation& e, std::string_view token) {
  for (int u = 0; u < e.unitCount; ++u) {
    const UnitSyllable& unit = kUnitSyllables[e.units[u]];
    if (EndsWith(token, unit.syllable)) return unit;
  }
  if (e.postOfficeBox && EndsWith(token, kPostOfficeBox)) return UnitSyllable{kPostOfficeBox, kPostOfficeBoxSuffix};
  return std::nullopt;
}

}  // namespace

void RomanizeName(HangulRomanizer& romanizer, std::string_view name, std::string& out) {
  if (name.empty()) return;
  romanizer.Romanize(name);
  EngineAccess::AppendResult(romanizer, out);
}

std::size_t CutAtCharacter(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text.size();
  // The text goes on past the cut, so a lead byte before it always starts a
  // two-byte character.
  std::size_t end = 0;
  while (end < limit) {
    const std::size_t len = IsCp949LeadByte(static_cast<unsigned char>(text[end])) ? 2 : 1;
    if (end + len > limit) break;
    end += len;
  }
  return end;
}

void Render(const std::vector<std::string>& parts, char* buffer) {
  // Straight into buffer: where the text is cut depends on its first
  // kOutputBufferBytes + 1 bytes only, and the buffer holds that many.
  constexpr std::size_t kRoom = kOutputBufferBytes + 1;
  std::size_t size = 0;
  const auto put = [&](const char* bytes, std::size_t count) {
    if (size < kRoom) std::memcpy(buffer + size, bytes, std::min(count, kRoom - size));
    size += count;
  };
  for (auto it = parts.rbegin(); it != parts.rend() && size <= kOutputBufferBytes; ++it) {
    put(it->data(), it->size());
    put(" ", 1);
  }
  // Never end on half a double-byte character.
  const std::size_t used = CutAtCharacter(std::string_view(buffer, std::min(size, kRoom)), kOutputBufferBytes);
  buffer[used] = '\0';
}

void ConverterAccess::Reset(AddressConverter& converter, bool privateCodes) {
  converter.m_tokens.clear();
  converter.m_parts.clear();
  EngineAccess::SetPrivateCodes(converter.m_romanizer, privateCodes);
}

}  // namespace detail

using namespace detail;

void AddressConverter::SetInput(const char* text) {
  SetInput(text == nullptr ? std::string_view() : std::string_view(text, std::strlen(text)));
}

void AddressConverter::SetInput(std::string_view text) {
  const std::size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  if (text.empty()) return;
  m_tokens.clear();
  std::size_t start = 0;
  for (std::size_t p = 0; p < text.size(); ++p) {
    if (text[p] == ' ') {
      m_tokens.emplace_back(text.substr(start, p - start));
      start = p + 1;
    }
  }
  if (start < text.size()) m_tokens.emplace_back(text.substr(start));
}

bool AddressConverter::Recognize() {
  if (m_tokens.empty()) return false;
  m_parts.clear();
  m_parts.reserve(m_tokens.size() + 1);
  m_parts.emplace_back(kCountry);

  AddressState state = AddressState::ExpectProvince;
  std::size_t i = 0;
  const std::size_t count = m_tokens.size();
  while (i < count) {
    const std::string_view token = m_tokens[i];
    switch (state) {
      case AddressState::ExpectProvince:
        if (const PlaceRow* row = FindWhole(kProvinces, token)) {
          m_parts.emplace_back(row->roman);
          state = AddressState::ExpectSi;
          ++i;
        } else {
          state = AddressState::ExpectMetroCity;
        }
        break;

      case AddressState::ExpectMetroCity: {
        std::size_t used = 1;
        const PlaceRow* row = FindMetroCity(m_tokens, i, used);
        if (row == nullptr) return false;
        m_parts.emplace_back(row->roman);
        state = AddressState::ExpectMetroGu;
        i += used;
        break;
      }

      case AddressState::Remainder:
        ClassifyRemainder(token);
        ++i;
        break;

      default: {
        const Expectation& e = FindExpectation(state);
        if (const std::optional<UnitSyllable> unit = MatchUnit(e, token)) {
          AddUnitPart(CutEnding(token, unit->syllable), unit->suffix);
          state = e.onMatch;
          ++i;
        } else {
          state = e.otherwise;
        }
        break;
      }
    }
  }
  return true;
}

void AddressConverter::ClassifyRemainder(std::string_view token) {
  for (Unit u : kRemainderUnits) {
    const UnitSyllable& unit = kUnitSyllables[u];
    if (EndsWith(token, unit.syllable)) {
      AddUnitPart(CutEnding(token, unit.syllable), unit.suffix);
      return;
    }
  }
  for (const BuildingWordRow& row : kBuildingWords) {
    if (EndsWith(token, row.korean)) {
      AddUnitPart(CutEnding(token, row.korean), "");
      m_parts.back() += ' ';
      m_parts.back().append(row.english);
      return;
    }
  }
  AddUnitPart(token, "");
}

void AddressConverter::AddUnitPart(std::string_view name, std::string_view suffix) {
  m_parts.emplace_back();
  RomanizeName(m_romanizer, name, m_parts.back());
  m_parts.back().append(suffix);
}

void AddressConverter::Render(char* buffer) const { detail::Render(m_parts, buffer); }

}  // namespace jasokit
