#include "addrdb/search_index.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "addrdb/hangul_keys.h"
#include "addrdb/sorted_index.h"

namespace jasokit::detail::addrdb {

namespace {

std::string Sorted(std::vector<KeyEntry>& entries) {
  std::sort(entries.begin(), entries.end(),
            [](const KeyEntry& a, const KeyEntry& b) { return a.key != b.key ? a.key < b.key : a.id < b.id; });
  entries.erase(std::unique(entries.begin(), entries.end(),
                            [](const KeyEntry& a, const KeyEntry& b) { return a.key == b.key && a.id == b.id; }),
                entries.end());
  std::string bytes(entries.size() * sizeof(KeyEntry), '\0');
  if (!entries.empty()) std::memcpy(bytes.data(), entries.data(), bytes.size());
  std::vector<KeyEntry>().swap(entries);
  return bytes;
}

void NameGrams(const SearchSource& src, std::vector<KeyEntry>& out) {
  std::vector<std::uint32_t> grams;
  std::string gram;
  for (std::size_t k = 0; k < src.names.size(); ++k) {
    if (k > 0 && src.names[k].name == src.names[k - 1].name) continue;
    const std::vector<char32_t> units = CodePoints(AsciiLower(src.text(src.names[k].name)));
    grams.clear();
    for (std::size_t i = 0; i + 1 < units.size(); ++i) {
      gram.clear();
      AppendUtf8(units[i], gram);
      AppendUtf8(units[i + 1], gram);
      grams.push_back(KeyHash(gram, kGramSeed));
    }
    std::sort(grams.begin(), grams.end());
    grams.erase(std::unique(grams.begin(), grams.end()), grams.end());
    for (const std::uint32_t g : grams) out.push_back({g, static_cast<std::uint32_t>(k)});
  }
}

void LocalityRoads(const SearchSource& src, std::vector<KeyEntry>& out) {
  StrRef lastDong = 0, lastRi = 0;
  std::uint32_t lastRoad = kNoRoad;
  for (const RowRecord& r : src.rows) {
    if (r.road == lastRoad && r.dong == lastDong && r.ri == lastRi) continue;
    lastRoad = r.road;
    lastDong = r.dong;
    lastRi = r.ri;
    for (const StrRef s : {r.dong, r.ri}) {
      if (s != 0) out.push_back({KeyHash(src.text(s), kLocalitySeed), r.road});
    }
  }
  for (std::uint32_t i = 0; i < src.roads.size(); ++i) {
    if (src.roads[i].town != 0) out.push_back({KeyHash(src.text(src.roads[i].town), kLocalitySeed), i});
  }
}

void RoadKeys(const SearchSource& src, std::vector<KeyEntry>& english, std::vector<KeyEntry>& initials,
              std::vector<KeyEntry>& slips) {
  std::unordered_set<StrRef> seen;
  std::vector<std::uint32_t> keys;
  for (std::uint32_t i = 0; i < src.roads.size(); ++i) {
    const RoadRecord& road = src.roads[i];
    const std::string en = EnglishKey(src.text(road.nameEn));
    if (!en.empty()) english.push_back({KeyHash(en, kEnglishSeed), i});
    // One road stands for every road of its name.
    if (!seen.insert(road.name).second) continue;
    const std::string_view name = src.text(road.name);
    initials.push_back({KeyHash(InitialsOf(name), kInitialSeed), i});
    keys.clear();
    SlipKeys(name, keys);
    for (const std::uint32_t k : keys) slips.push_back({k, i});
  }
}

}  // namespace

void BuildSearchSections(const SearchSource& source, std::string (&out)[kSearchSectionCount]) {
  std::vector<KeyEntry> entries;
  NameGrams(source, entries);
  out[kNameGrams] = Sorted(entries);
  LocalityRoads(source, entries);
  out[kLocalityRoads] = Sorted(entries);
  std::vector<KeyEntry> initials, slips;
  RoadKeys(source, entries, initials, slips);
  out[kEnglishRoads] = Sorted(entries);
  out[kInitialRoads] = Sorted(initials);
  out[kSlipRoads] = Sorted(slips);
}

KeyEntry KeyAt(std::string_view section, std::size_t k) {
  KeyEntry e{};
  if ((k + 1) * sizeof(KeyEntry) <= section.size()) std::memcpy(&e, section.data() + k * sizeof(KeyEntry), sizeof e);
  return e;
}

std::pair<std::size_t, std::size_t> KeyRange(std::string_view section, std::uint32_t key) {
  const std::size_t n = section.size() / sizeof(KeyEntry);
  const std::size_t lo = FirstNotBefore(0, n, [&](std::size_t k) { return KeyAt(section, k).key < key; });
  std::size_t end = lo;
  while (end < n && KeyAt(section, end).key == key) ++end;
  return {lo, end};
}

}  // namespace jasokit::detail::addrdb
