// The ranked search behind AddressDatabase::Lookup: what a user types,
// read every way it may have been meant, each reading's buildings scored.
//
// Score (0..100), highest first; ties by postcode, then by address:
//   100 the building named: road and number, lot, postcode, the English
//    90 a building whose whole name is the query (85: name starts so, 75:
//       holds it, 70: holds each of its words)
//    80 a building of the road named without a number (70: of a road the
//       query starts)
//    72 a building of the dong, ri, eup or myeon named, by lot (in an eup
//       or myeon road by road)
//    60 another building of the road whose number was asked, nearest first
//   less 15 a jamo slip in the road's name (at most two), 20 the road named
//       by initial consonants, 10 text typed with the English layout on;
//   plus 2 for each place (region, district, town, dong) of the query the
//       building lies in. Where some building lies in every place named,
//       only those are listed.
#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "addrdb/address_db_reader.h"
#include "addrdb/hangul_keys.h"
#include "addrdb/search_index.h"
#include "addrdb/sorted_index.h"
#include "address/typed_form.h"

namespace jasokit {

using namespace detail::addrdb;

namespace {

enum class Kind { kAddress, kRoad, kLot, kBuilding, kDong, kPostcode, kOldPostcode, kEnglish, kFuzzy };
constexpr const char* kKindNames[] = {"address",  "road",         "lot",     "building", "dong",
                                      "postcode", "old_postcode", "english", "fuzzy"};

constexpr int kScoreExact = 100;
constexpr int kScoreName = 90;
constexpr int kScoreSubLot = 90;
constexpr int kScoreNameStart = 85;
constexpr int kScoreRoad = 80;
constexpr int kScoreNameHolds = 75;
constexpr int kScoreDong = 72;
constexpr int kScoreRoadStart = 70;
constexpr int kScoreNameWords = 70;
constexpr int kScoreSameRoad = 60;
constexpr int kSlipPenalty = 15;
constexpr int kInitialsPenalty = 20;
constexpr int kLayoutPenalty = 10;
constexpr int kPlaceBonus = 2;

// Rows kept per search (more are only counted), and the candidates a
// reading examines at most, so that no query costs more than a bounded walk.
constexpr std::size_t kMaxHits = 4096;
constexpr std::size_t kMaxNames = 2048;
constexpr std::size_t kMaxRoads = 512;
constexpr std::size_t kMaxPrefixEntries = 4096;
constexpr std::size_t kMaxSlipCandidates = 256;
constexpr std::size_t kMaxPlaceChecks = 512;
constexpr std::size_t kMaxSlipNames = 16;

constexpr std::string_view kNoOldCodes = "the data has no six-digit postcodes";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool AllDigits(std::string_view t) { return !t.empty() && std::all_of(t.begin(), t.end(), IsDigit); }
bool EndsWith(std::string_view t, std::string_view tail) {
  return t.size() >= tail.size() && t.substr(t.size() - tail.size()) == tail;
}
bool StartsWith(std::string_view t, std::string_view head) {
  return t.size() >= head.size() && t.substr(0, head.size()) == head;
}
bool HasAsciiLetter(std::string_view t) {
  return std::any_of(t.begin(), t.end(), [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); });
}
std::size_t Units(std::string_view t) {
  return static_cast<std::size_t>(std::count_if(t.begin(), t.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

bool IsRoadWord(std::string_view w) { return w.size() > 3 && (EndsWith(w, "로") || EndsWith(w, "길")); }
bool IsBranchWord(std::string_view w) {
  std::size_t digits = 0;
  while (digits < w.size() && IsDigit(w[digits])) ++digits;
  const std::string_view rest = w.substr(digits);
  return digits > 0 && (rest == "길" || rest == "번길" || rest == "가길");
}
bool IsLocalityWord(std::string_view w) {
  return w.size() > 3 && !IsDigit(w[0]) &&
         (EndsWith(w, "동") || EndsWith(w, "리") || EndsWith(w, "가") || EndsWith(w, "읍") || EndsWith(w, "면"));
}
// 101동, 1203호, 3층: details of a building, not of its address.
bool IsDetailWord(std::string_view w) {
  return !w.empty() && IsDigit(w[0]) &&
         (EndsWith(w, "동") || EndsWith(w, "호") || EndsWith(w, "층") || EndsWith(w, "호실"));
}

struct Token {
  std::string text;
  std::string glued;  // the word as typed when a number was split from it
};

// Words of a query: separators dropped, ASCII lowercased, details left
// out, a number split from the word it was typed against.
std::vector<Token> Tokens(std::string_view query) {
  std::string clean;
  for (const char c : query) {
    const auto u = static_cast<unsigned char>(c);
    clean += (u < 0x20 || u == 0x7F || c == ',' || c == '(' || c == ')' || c == '[' || c == ']') ? ' ' : c;
  }
  std::vector<Token> tokens;
  std::size_t start = 0;
  while (start < clean.size()) {
    std::size_t end = clean.find(' ', start);
    if (end == std::string::npos) end = clean.size();
    std::string word = AsciiLower(std::string_view(clean).substr(start, end - start));
    start = end + 1;
    if (word.empty() || word == "번지" || IsDetailWord(word)) continue;
    if (EndsWith(word, "번지")) word.resize(word.size() - std::string_view("번지").size());
    // The digits typed against a Korean word: 개포로516, 지하12, 산12.
    std::size_t cut = word.size();
    while (cut > 0 && (IsDigit(word[cut - 1]) || word[cut - 1] == '-')) --cut;
    if (cut > 0 && cut < word.size() && IsDigit(word[cut]) && static_cast<unsigned char>(word[cut - 1]) >= 0x80) {
      const std::string head = word.substr(0, cut);
      tokens.push_back({head, head == "지하" || head == "산" ? std::string() : word});
      tokens.push_back({word.substr(cut), {}});
      continue;
    }
    tokens.push_back({word, {}});
  }
  return tokens;
}

struct Hit {
  std::uint32_t row;
  int score;
  Kind kind;
  bool placed;
  std::uint32_t order;  // a dong's buildings keep their lot order; 0 for others
};

// Where a building lies, for the place words of a query.
class Places {
 public:
  Places(const detail::DatabaseReader& db, std::vector<std::string> words, bool english)
      : m_db(db), m_words(std::move(words)), m_english(english) {
    for (const std::string& w : m_words) {
      std::vector<std::pair<std::size_t, std::string_view>> regions;
      // A region as people shorten it (서울, 서울시), at the word's start.
      for (std::size_t len = 6; len <= w.size() && len <= 18; len += 3) {
        const std::string_view roman = RegionRoman(std::string_view(w).substr(0, len));
        if (!roman.empty()) regions.emplace_back(len, roman);
      }
      m_regions.push_back(std::move(regions));
      m_keys.push_back(EnglishKey(w));
    }
  }

  bool empty() const { return m_words.empty(); }

  // How many words name a place of the row; all: whether every one does.
  int Count(const RoadRecord& road, const RowRecord& row, bool& all) {
    int n = 0;
    all = true;
    for (std::size_t i = 0; i < m_words.size(); ++i) {
      const bool ok = m_english ? English(road, m_keys[i]) : Korean(road, row, i, m_words[i]);
      n += ok ? 1 : 0;
      all = all && ok;
    }
    return n;
  }

 private:
  // The word as one or more of the row's place names run together.
  bool Korean(const RoadRecord& road, const RowRecord& row, std::size_t i, std::string_view rest, int depth = 0) {
    if (rest.empty()) return true;
    if (depth > 6) return false;
    const std::string_view city = m_db.Str(road.city);
    const std::size_t space = city.find(' ');
    const std::string_view names[] = {
        m_db.Str(road.region),
        city,
        space == std::string_view::npos ? std::string_view() : city.substr(0, space),
        space == std::string_view::npos ? std::string_view() : city.substr(space + 1),
        m_db.Str(road.town),
        m_db.Str(row.dong),
        m_db.Str(row.ri),
    };
    for (const std::string_view n : names) {
      if (!n.empty() && StartsWith(rest, n) && Korean(road, row, i, rest.substr(n.size()), depth + 1)) return true;
    }
    if (rest.size() != m_words[i].size()) return false;  // a short region only at the start
    for (const auto& [len, roman] : m_regions[i]) {
      if (roman == RegionOf(road) && Korean(road, row, i, rest.substr(len), depth + 1)) return true;
    }
    return false;
  }

  bool English(const RoadRecord& road, const std::string& key) {
    if (key.empty()) return true;
    for (const StrRef s : {road.regionEn, road.cityEn, road.townEn}) {
      const std::string whole = EnglishKey(m_db.Str(s));
      if (whole == key) return true;
      // "Yeongtong-gu, Suwon-si": each part.
      std::string_view text = m_db.Str(s);
      while (!text.empty()) {
        std::size_t end = text.find_first_of(", ");
        if (end == std::string_view::npos) end = text.size();
        if (EnglishKey(text.substr(0, end)) == key) return true;
        text.remove_prefix(std::min(text.size(), end + 1));
      }
    }
    return false;
  }

  std::string_view RegionOf(const RoadRecord& road) {
    auto [it, added] = m_regionRoman.try_emplace(road.region);
    if (added) it->second = RegionRoman(m_db.Str(road.region));
    return it->second;
  }

  const detail::DatabaseReader& m_db;
  std::vector<std::string> m_words;
  bool m_english;
  std::vector<std::vector<std::pair<std::size_t, std::string_view>>> m_regions;
  std::vector<std::string> m_keys;
  std::unordered_map<StrRef, std::string_view> m_regionRoman;
};

// A road name as read from the query, with what reading it cost.
struct RoadReading {
  std::string name;
  int score;  // of a building of it with the number asked
  Kind kind;
  bool ownsNumber = false;  // the number typed is part of the name (논현로8 -> 논현로8길)
};

class Search {
 public:
  Search(const detail::DatabaseReader& db, std::size_t limit, int penalty, bool layout)
      : m_db(db), m_limit(std::max<std::size_t>(limit, 1)), m_penalty(penalty), m_layout(layout) {}

  void Run(const std::vector<Token>& tokens, std::string_view query);

  std::vector<Hit> hits;
  std::size_t total = 0, placedTotal = 0;
  bool anyPlaced = false, askedPlaces = false;
  mutable bool damaged = false;  // a reference of the file led outside its section
  std::string note;

 private:
  void Add(std::uint32_t row, int score, Kind kind, Places& places) {
    const auto r = m_db.Row(row);
    const auto road = r ? m_db.Road(r->road) : std::nullopt;
    if (!road) {
      damaged = true;
      return;
    }
    bool all = true;
    const int named = places.Count(*road, *r, all);
    ++total;
    m_good += all ? 1 : 0;
    if (all && !places.empty()) {
      ++placedTotal;
      anyPlaced = true;
    }
    if (hits.size() >= kMaxHits) return;
    if (m_layout) kind = Kind::kFuzzy;
    const auto order = kind == Kind::kDong ? static_cast<std::uint32_t>(hits.size() + 1) : 0u;
    hits.push_back({row, std::min(100, score - m_penalty + named * kPlaceBonus), kind, all, order});
  }

  bool Postcode(std::string_view word);
  void Codes(Section index, std::uint32_t RowRecord::*field, std::uint32_t code, Kind kind);
  bool Roads(const std::vector<Token>& tokens);
  std::vector<RoadReading> ReadRoad(const Token& token, std::vector<std::string>& places) const;
  void RoadRows(std::vector<RoadReading> readings, const Number* number, Places& places, Kind numbered);
  void OneRoad(const RoadReading& reading, const RoadRecord& road, const Number* number, Places& places, Kind numbered);
  std::pair<std::size_t, std::size_t> LotRange(std::string_view locality, const std::uint32_t* main) const;
  void AddLots(std::size_t first, std::size_t last, int score, Kind kind, Places& places,
               const std::function<int(const RowRecord&)>& adjust);
  bool Lot(const std::vector<Token>& tokens);
  void RoadStarts(const std::vector<Token>& tokens);
  bool Locality(const std::vector<Token>& tokens);
  void Names(const std::vector<Token>& tokens);
  void NameRows(std::string_view word, const std::vector<std::string>& others, Places& places, bool joined);
  // A building name that holds a word: its score, first entry, string.
  struct Named {
    int score;
    std::uint32_t id;
    StrRef ref;
    std::string lower;
  };
  std::vector<Named> NamesHolding(std::string_view word, bool joined) const;
  static bool HoldsOthers(const Named& n, const std::vector<std::string>& others, std::vector<Places>& otherPlaces,
                          const RoadRecord& road, const RowRecord& row);
  bool English(std::string_view query);
  std::vector<std::string> EnglishRoads(const std::string& key) const;
  bool EnglishRun(const std::vector<std::string>& names, std::size_t from, std::size_t len, const Number* number);

  bool RoadExists(std::string_view name) const {
    bool found = false;
    m_db.ForRoadsNamed(name, [&](std::uint32_t, const RoadRecord&) { found = true; });
    return found;
  }
  void RoadsStarting(std::string_view prefix, std::vector<RoadReading>& out, int score, bool ownsNumber) const;
  void SlipRoads(std::string_view word, std::vector<RoadReading>& out, int score) const;
  void InitialRoads(std::string_view word, std::vector<RoadReading>& out, int score) const;

  // Adds the rows [first, end) of a road, at most m_limit of them; the rest
  // are counted as lying where the last one added lies.
  void AddRun(std::size_t first, std::size_t end, int score, Kind kind, Places& places);
  void SameRoad(const RoadRecord& road, const std::vector<std::uint32_t>& exact, const Number& number, int score,
                Kind kind, Places& places);

  const detail::DatabaseReader& m_db;
  std::size_t m_limit;
  std::size_t m_good = 0;  // hits in every place named
  int m_penalty;
  bool m_layout;
};

void Search::Run(const std::vector<Token>& tokens, std::string_view query) {
  if (tokens.empty()) return;
  if (tokens.size() == 1 && Postcode(tokens[0].text)) return;
  if (HasAsciiLetter(query) && English(query)) return;
  if (Roads(tokens) || Lot(tokens)) return;
  // A dong's own buildings, not those named after it.
  if (!Locality(tokens)) Names(tokens);
  if (hits.empty()) RoadStarts(tokens);
}

bool Search::Postcode(std::string_view word) {
  std::string digits(word);
  if (digits.size() == 7 && digits[3] == '-') digits.erase(3, 1);
  if (!AllDigits(digits) || (digits.size() != 5 && digits.size() != 6)) return false;
  std::uint32_t code = static_cast<std::uint32_t>(std::stoul(digits));
  if (digits.size() == 6) {
    code += kSixDigits;
    // Six-digit codes sort last among the current ones, where older data has them.
    const std::size_t current = m_db.Count(kPostcodes);
    const auto last = current == 0 ? std::nullopt : m_db.Row(m_db.IndexAt(kPostcodes, current - 1));
    if (m_db.Count(kOldPostcodes) == 0 && (!last || last->postcode < kSixDigits)) note = kNoOldCodes;
  }
  Codes(kPostcodes, &RowRecord::postcode, code, Kind::kPostcode);
  Codes(kOldPostcodes, &RowRecord::oldPostcode, code, digits.size() == 6 ? Kind::kOldPostcode : Kind::kPostcode);
  return true;
}

void Search::Codes(Section index, std::uint32_t RowRecord::*field, std::uint32_t code, Kind kind) {
  const std::size_t n = m_db.Count(index);
  auto at = [&](std::size_t k) {
    const auto row = m_db.Row(m_db.IndexAt(index, k));
    damaged = damaged || !row;
    return row ? (*row).*field : 0;
  };
  const std::size_t lo = FirstNotBefore(0, n, [&](std::size_t k) { return at(k) < code; });
  Places none(m_db, {}, false);
  for (std::size_t k = lo; k < n && at(k) == code; ++k) Add(m_db.IndexAt(index, k), kScoreExact, kind, none);
}

// Whether tokens[i] may be a road's name: a word ending in 로 or 길,
// initial consonants, or a Korean word before a number (a slip).
bool MayBeRoad(const std::vector<Token>& tokens, std::size_t i, std::size_t next) {
  const std::string& w = tokens[i].text;
  if (IsRoadWord(w) || IsInitials(w)) return true;
  const bool numberAfter =
      next < tokens.size() && (tokens[next].text == "지하" || AllDigits(tokens[next].text.substr(0, 1)));
  const bool hangul = !w.empty() && static_cast<unsigned char>(w[0]) >= 0x80 && !IsDetailWord(w) && w != "지하";
  return hangul && numberAfter && !IsLocalityWord(w);
}

// The number at tokens[next] ([지하] NUMBER); false when there is none.
bool NumberAt(const std::vector<Token>& tokens, std::size_t next, Number& number) {
  if (next >= tokens.size()) return false;
  if (tokens[next].text == "지하") {
    if (next + 1 >= tokens.size() || !ParseNumber(tokens[next + 1].text, number)) return false;
    number.marked = true;
    return true;
  }
  return ParseNumber(tokens[next].text, number);
}

// [PLACES] ROAD [BRANCH] [지하] [NUMBER] [DETAILS]
bool Search::Roads(const std::vector<Token>& tokens) {
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const std::string& w = tokens[i].text;
    const bool branch = i + 1 < tokens.size() && IsBranchWord(tokens[i + 1].text) && IsRoadWord(w);
    const std::size_t next = branch ? i + 2 : i + 1;
    if (!MayBeRoad(tokens, i, next)) continue;
    const Token road = branch ? Token{w + tokens[i + 1].text, {}} : tokens[i];
    std::vector<std::string> placeWords;
    for (std::size_t k = 0; k < i; ++k) placeWords.push_back(tokens[k].text);
    const std::vector<RoadReading> readings = ReadRoad(road, placeWords);
    if (readings.empty()) continue;
    Number number;
    const bool numbered = NumberAt(tokens, next, number);
    // Words that name no place: marks and numbers of another reading.
    placeWords.erase(
        std::remove_if(placeWords.begin(), placeWords.end(),
                       [](const std::string& p) { return p.empty() || p == "지하" || p == "산" || AllDigits(p); }),
        placeWords.end());
    Places places(m_db, placeWords, false);
    askedPlaces = askedPlaces || !places.empty();
    RoadRows(readings, numbered ? &number : nullptr, places, Kind::kAddress);
    if (!hits.empty()) return true;
  }
  return false;
}

std::vector<RoadReading> Search::ReadRoad(const Token& token, std::vector<std::string>& places) const {
  std::vector<RoadReading> out;
  const std::string& w = token.text;
  // 논현로8: the start of a longer road comes before 논현로 8.
  if (!token.glued.empty()) RoadsStarting(token.glued, out, kScoreExact, true);
  if (RoadExists(w)) {
    out.push_back({w, out.empty() ? kScoreExact : kScoreExact - 3, Kind::kAddress});
    return out;
  }
  // 강남구개포로: places typed against the road.
  for (std::size_t p = 1; p < w.size(); ++p) {
    if ((w[p] & 0xC0) == 0x80) continue;
    const std::string tail = w.substr(p);
    if (IsRoadWord(tail) && RoadExists(tail)) {
      places.push_back(w.substr(0, p));
      out.push_back({tail, kScoreExact, Kind::kAddress});
      return out;
    }
  }
  if (!out.empty()) return out;
  if (IsInitials(w)) {
    InitialRoads(w, out, kScoreExact - kInitialsPenalty);
    return out;
  }
  if (IsRoadWord(w)) RoadsStarting(w, out, kScoreRoadStart + 20, false);
  if (out.empty()) SlipRoads(w, out, kScoreExact);
  return out;
}

void Search::RoadsStarting(std::string_view prefix, std::vector<RoadReading>& out, int score, bool ownsNumber) const {
  const std::size_t n = m_db.Count(kRoadNames);
  std::uint32_t head, tail;
  NamePrefix(prefix, head, tail);
  const std::uint64_t want = std::uint64_t{head} << 32 | tail;
  const std::size_t bytes = std::min<std::size_t>(prefix.size(), 8);
  const std::uint64_t mask = bytes == 8 ? ~0ull : ~(~0ull >> (8 * bytes));
  auto keyAt = [&](std::size_t k) {
    const auto e = *m_db.Record<RoadNameEntry>(kRoadNames, k);
    return std::uint64_t{e.head} << 32 | e.tail;
  };
  const std::size_t lo = FirstNotBefore(0, n, [&](std::size_t k) { return keyAt(k) < want; });
  std::vector<std::string_view> names;
  for (std::size_t k = lo; k < n && k - lo < kMaxPrefixEntries && (keyAt(k) & mask) == (want & mask); ++k) {
    const auto road = m_db.Road(m_db.Record<RoadNameEntry>(kRoadNames, k)->road);
    if (!road) continue;
    const std::string_view name = m_db.Str(road->name);
    if (name.size() > prefix.size() && StartsWith(name, prefix)) names.push_back(name);
  }
  std::sort(names.begin(), names.end(),
            [](std::string_view a, std::string_view b) { return Units(a) != Units(b) ? Units(a) < Units(b) : a < b; });
  names.erase(std::unique(names.begin(), names.end()), names.end());
  const std::size_t typed = Units(prefix);
  for (const std::string_view name : names) {
    if (out.size() >= kMaxRoads) break;
    const int extra = static_cast<int>(std::min<std::size_t>(Units(name) - typed, 10));
    out.push_back({std::string(name), score - (extra - 1), Kind::kRoad, ownsNumber});
  }
}

void Search::SlipRoads(std::string_view word, std::vector<RoadReading>& out, int score) const {
  if (Units(word) < 2) return;
  std::vector<std::uint32_t> keys;
  SlipKeys(word, keys);
  const std::vector<std::uint32_t> typed = JamoOf(word);
  std::unordered_set<StrRef> seen;
  std::vector<std::pair<unsigned, std::string_view>> found;
  const std::string_view section = m_db.sections[kSearchFirst + kSlipRoads];
  // SlipKeys gives the keys of one unknown character first: a name they
  // find ends the search before the wider keys.
  const std::size_t singles = std::min(keys.size(), Units(word));
  for (std::size_t n = 0; n < keys.size() && seen.size() < kMaxSlipCandidates; ++n) {
    if (n == singles && !found.empty()) break;
    const auto [first, last] = KeyRange(section, keys[n]);
    for (std::size_t k = first; k < last && seen.size() < kMaxSlipCandidates; ++k) {
      const auto road = m_db.Road(KeyAt(section, k).id);
      if (!road || !seen.insert(road->name).second) continue;
      const std::string_view name = m_db.Str(road->name);
      const unsigned d = JamoDistance(typed, JamoOf(name), 2);
      if (d >= 1 && d <= 2) found.emplace_back(d, name);
    }
    std::sort(found.begin(), found.end());
  }
  // The nearest names only, a few.
  for (const auto& [d, name] : found) {
    if (out.size() >= kMaxSlipNames || d > found.front().first) break;
    out.push_back({std::string(name), score - static_cast<int>(d) * kSlipPenalty, Kind::kFuzzy});
  }
}

void Search::InitialRoads(std::string_view word, std::vector<RoadReading>& out, int score) const {
  const std::string_view section = m_db.sections[kSearchFirst + kInitialRoads];
  const auto [first, last] = KeyRange(section, KeyHash(word, kInitialSeed));
  for (std::size_t k = first; k < last && out.size() < kMaxRoads; ++k) {
    const auto road = m_db.Road(KeyAt(section, k).id);
    if (road && InitialsOf(m_db.Str(road->name)) == word)
      out.push_back({std::string(m_db.Str(road->name)), score, Kind::kFuzzy});
  }
}

void Search::AddRun(std::size_t first, std::size_t end, int score, Kind kind, Places& places) {
  std::size_t added = 0;
  for (std::size_t i = first; i < end && added < m_limit; ++i, ++added)
    Add(static_cast<std::uint32_t>(i), score, kind, places);
  if (added == 0 || end - first <= added) return;
  const std::size_t rest = end - first - added;
  total += rest;
  if (!hits.empty() && hits.back().placed && !places.empty()) placedTotal += rest;
}

void Search::SameRoad(const RoadRecord& road, const std::vector<std::uint32_t>& exact, const Number& number, int score,
                      Kind kind, Places& places) {
  const std::size_t first = road.firstRow;
  const std::size_t end =
      first + std::min<std::size_t>(road.rowCount, m_db.Count(kRows) - std::min<std::size_t>(first, m_db.Count(kRows)));
  if (first >= end) return;
  // Where the number would be: the rows on either side of it, nearest first.
  const std::uint32_t want = RowKey(number.marked, number.main, number.sub);
  const std::size_t lo = FirstNotBefore(first, end, [&](std::size_t k) {
    const RowRecord r = *m_db.Row(k);
    return RowKey(r.flags & kBasement, r.main, r.sub) < want;
  });
  std::size_t after = lo, before = lo;
  std::size_t added = 0;
  const std::size_t others = end - first - exact.size();
  while (added < m_limit && (before > first || after < end)) {
    std::size_t i;
    if (after < end && (before == first || after - lo <= lo - before)) {
      i = after++;
    } else {
      i = --before;
    }
    if (std::find(exact.begin(), exact.end(), static_cast<std::uint32_t>(i)) != exact.end()) continue;
    Add(static_cast<std::uint32_t>(i), score, kind, places);
    ++added;
  }
  if (others > added) {
    total += others - added;
    if (!hits.empty() && hits.back().placed && !places.empty()) placedTotal += others - added;
  }
}

void Search::RoadRows(std::vector<RoadReading> readings, const Number* number, Places& places, Kind numbered) {
  std::stable_sort(readings.begin(), readings.end(),
                   [](const RoadReading& a, const RoadReading& b) { return a.score > b.score; });
  for (const RoadReading& reading : readings) {
    const bool sound = m_db.ForRoadsNamed(
        reading.name, [&](std::uint32_t, const RoadRecord& road) { OneRoad(reading, road, number, places, numbered); });
    damaged = damaged || !sound;
  }
}

void Search::OneRoad(const RoadReading& reading, const RoadRecord& road, const Number* number, Places& places,
                     Kind numbered) {
  const std::size_t rows = m_db.Count(kRows);
  if (road.firstRow >= rows || road.rowCount > rows - road.firstRow) {
    damaged = true;
    return;
  }
  const std::size_t end = road.firstRow + road.rowCount;
  const bool fuzzy = reading.kind == Kind::kFuzzy;
  const Kind exactKind = fuzzy ? Kind::kFuzzy : numbered;
  const Kind roadKind = fuzzy ? Kind::kFuzzy : numbered == Kind::kEnglish ? Kind::kEnglish : Kind::kRoad;
  if (reading.ownsNumber || !number) {
    const int score = reading.ownsNumber ? reading.score : reading.score - (kScoreExact - kScoreRoad);
    // Enough to fill the list from better readings: the rest are counted.
    if (m_good >= 2 * m_limit) {
      total += road.rowCount;
      placedTotal += road.rowCount;
    } else {
      AddRun(road.firstRow, end, score, reading.ownsNumber ? Kind::kRoad : roadKind, places);
    }
    return;
  }
  const bool full = m_good >= 2 * m_limit;
  std::vector<std::uint32_t> exact;
  if (!m_db.RowsOfRoad(road, number, exact)) damaged = true;
  for (const std::uint32_t i : exact) Add(i, reading.score, exactKind, places);
  if (full) {
    // The buildings with the number are read; the rest of the road counted.
    total += road.rowCount - exact.size();
    placedTotal += road.rowCount - exact.size();
    return;
  }
  SameRoad(road, exact, *number, reading.score - (kScoreExact - kScoreSameRoad), roadKind, places);
}

std::vector<std::string> PlaceWords(const std::vector<Token>& tokens, std::size_t skipFirst, std::size_t skipLast) {
  std::vector<std::string> words;
  for (std::size_t k = 0; k < tokens.size(); ++k) {
    const std::string& w = tokens[k].text;
    if (k >= skipFirst && k < skipLast) continue;
    if (w.empty() || w == "지하" || w == "산" || AllDigits(w) || IsDetailWord(w)) continue;
    words.push_back(w);
  }
  return words;
}

// [PLACES] START: the start of a road's name, when nothing else is found.
void Search::RoadStarts(const std::vector<Token>& tokens) {
  const std::string& w = tokens.back().text;
  if (Units(w) < 2 || static_cast<unsigned char>(w[0]) < 0x80 || IsInitials(w)) return;
  std::vector<RoadReading> readings;
  RoadsStarting(w, readings, kScoreRoadStart + (kScoreExact - kScoreRoad), false);
  if (readings.empty()) return;
  Places places(m_db, PlaceWords(tokens, tokens.size() - 1, tokens.size()), false);
  askedPlaces = askedPlaces || !places.empty();
  RoadRows(std::move(readings), nullptr, places, Kind::kRoad);
}

// The entries [first, last) of the lots index in the dong or ri, and with
// the lot's main number when main is given.
std::pair<std::size_t, std::size_t> Search::LotRange(std::string_view locality, const std::uint32_t* main) const {
  const std::size_t n = m_db.Count(kLots);
  auto key = [&](std::size_t k) {
    const auto row = m_db.Row(m_db.IndexAt(kLots, k));
    if (!row) return std::make_pair(std::string_view(), std::uint32_t{0});
    return std::make_pair(m_db.Str(row->ri != 0 ? row->ri : row->dong), main ? row->lotMain : 0u);
  };
  const auto want = std::make_pair(locality, main ? *main : 0u);
  const std::size_t first = FirstNotBefore(0, n, [&](std::size_t k) { return key(k) < want; });
  return {first, FirstNotBefore(first, n, [&](std::size_t k) { return key(k) <= want; })};
}

// Adds the rows of lots index entries [first, last): every one while the
// places need checking (up to kMaxPlaceChecks), else m_limit; the rest are
// counted as lying where those checked do.
void Search::AddLots(std::size_t first, std::size_t last, int score, Kind kind, Places& places,
                     const std::function<int(const RowRecord&)>& adjust) {
  const std::size_t detailed = std::min(last - first, places.empty() ? m_limit : kMaxPlaceChecks);
  std::size_t placed = 0;
  for (std::size_t k = first; k < first + detailed; ++k) {
    const std::uint32_t r = m_db.IndexAt(kLots, k);
    const auto row = m_db.Row(r);
    if (!row) continue;
    Add(r, score + (adjust ? adjust(*row) : 0), kind, places);
    placed += !hits.empty() && hits.back().placed ? 1 : 0;
  }
  const std::size_t rest = last - first - detailed;
  total += rest;
  if (detailed > 0) placedTotal += rest * placed / detailed;
}

// [PLACES] LOCALITY [산] NUMBER[번지]
bool Search::Lot(const std::vector<Token>& tokens) {
  for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
    if (!IsLocalityWord(tokens[i].text)) continue;
    std::size_t at = i + 1;
    Number lot;
    const bool mountain = tokens[at].text == "산";
    if (mountain) ++at;
    if (at >= tokens.size() || !ParseNumber(tokens[at].text, lot)) continue;
    lot.marked = mountain;
    Places places(m_db, PlaceWords(tokens, i, at + 1), false);
    askedPlaces = askedPlaces || !places.empty();
    // The lot and its sub-lots (185 finds 185-3 too, below 185 itself).
    const auto [first, last] = LotRange(tokens[i].text, &lot.main);
    AddLots(first, last, kScoreExact, Kind::kLot, places, [&](const RowRecord& row) {
      const bool same = row.lotSub == lot.sub && ((row.flags & kMountain) != 0) == lot.marked;
      return same ? 0 : -(kScoreExact - kScoreSubLot);
    });
    if (!hits.empty()) return true;
  }
  return false;
}

// [PLACES] DONG, RI, EUP or MYEON: its buildings, by lot in a dong or ri,
// road by road in an eup or myeon.
bool Search::Locality(const std::vector<Token>& tokens) {
  for (std::size_t i = tokens.size(); i-- > 0;) {
    const std::string& w = tokens[i].text;
    if (!IsLocalityWord(w)) continue;
    Places places(m_db, PlaceWords(tokens, i, i + 1), false);
    const auto [first, last] = LotRange(w, nullptr);
    if (first < last) {
      askedPlaces = askedPlaces || !places.empty();
      AddLots(first, last, kScoreDong, Kind::kDong, places, nullptr);
      return true;
    }
    const std::string_view section = m_db.sections[kSearchFirst + kLocalityRoads];
    const auto range = KeyRange(section, KeyHash(w, kLocalitySeed));
    const std::size_t rows = m_db.Count(kRows);
    const std::size_t before = total;
    for (std::size_t k = range.first; k < range.second && k - range.first < kMaxRoads; ++k) {
      const auto road = m_db.Road(KeyAt(section, k).id);
      if (!road || road->firstRow >= rows || m_db.Str(road->town) != w) continue;
      const std::size_t end = road->firstRow + std::min<std::size_t>(road->rowCount, rows - road->firstRow);
      if (hits.size() >= m_limit && places.empty()) {
        total += end - road->firstRow;
        continue;
      }
      AddRun(road->firstRow, end, kScoreDong, Kind::kDong, places);
    }
    if (total > before) {
      askedPlaces = askedPlaces || !places.empty();
      return true;
    }
  }
  return false;
}

// The entries of the name grams of word's rarest pair of characters.
std::pair<std::size_t, std::size_t> RarestGram(std::string_view section, const std::vector<char32_t>& units) {
  std::pair<std::size_t, std::size_t> best{0, 0};
  std::string gram;
  for (std::size_t i = 0; i + 1 < units.size(); ++i) {
    gram.clear();
    AppendUtf8(units[i], gram);
    AppendUtf8(units[i + 1], gram);
    const auto range = KeyRange(section, KeyHash(gram, kGramSeed));
    if (i == 0 || range.second - range.first < best.second - best.first) best = range;
  }
  return best;
}

std::vector<Search::Named> Search::NamesHolding(std::string_view word, bool joined) const {
  std::vector<Named> found;
  const std::vector<char32_t> units = CodePoints(word);
  if (units.size() < 2) return found;
  const std::string_view section = m_db.sections[kSearchFirst + kNameGrams];
  const auto best = RarestGram(section, units);
  for (std::size_t k = best.first; k < best.second && k - best.first < kMaxNames; ++k) {
    const std::uint32_t id = KeyAt(section, k).id;
    const auto entry = m_db.Record<NameEntry>(kNames, id);
    if (!entry) continue;
    std::string lower = AsciiLower(m_db.Str(entry->name));
    const std::size_t at = lower.find(word);
    if (at == std::string::npos) continue;
    const int score = !joined         ? kScoreNameWords
                      : lower == word ? kScoreName
                      : at == 0       ? kScoreNameStart
                                      : kScoreNameHolds;
    found.push_back({score, id, entry->name, std::move(lower)});
  }
  // The best names first, so that a full list stops at the lesser ones.
  std::stable_sort(found.begin(), found.end(), [](const Named& a, const Named& b) { return a.score > b.score; });
  return found;
}

// Whether each of others is in the name or names a place of the row.
bool Search::HoldsOthers(const Named& n, const std::vector<std::string>& others, std::vector<Places>& otherPlaces,
                         const RoadRecord& road, const RowRecord& row) {
  for (std::size_t o = 0; o < others.size(); ++o) {
    bool placed = false;
    if (n.lower.find(others[o]) == std::string::npos && otherPlaces[o].Count(road, row, placed) == 0) return false;
  }
  return true;
}

void Search::NameRows(std::string_view word, const std::vector<std::string>& others, Places& places, bool joined) {
  std::vector<Places> otherPlaces;
  for (const std::string& o : others) otherPlaces.emplace_back(m_db, std::vector<std::string>{o}, false);
  const std::size_t names = m_db.Count(kNames);
  for (const Named& n : NamesHolding(word, joined)) {
    for (std::size_t j = n.id; j < names; ++j) {
      const auto e = m_db.Record<NameEntry>(kNames, j);
      if (!e || e->name != n.ref) break;
      // Enough to fill the list from better names: the rest are counted.
      if (m_good >= 2 * m_limit && others.empty()) {
        ++total;
        ++placedTotal;
        continue;
      }
      const auto row = m_db.Row(e->row);
      const auto road = row ? m_db.Road(row->road) : std::nullopt;
      if (!road) {
        damaged = true;
      } else if (HoldsOthers(n, others, otherPlaces, *road, *row)) {
        Add(e->row, n.score, Kind::kBuilding, places);
      }
    }
  }
}

void Search::Names(const std::vector<Token>& tokens) {
  std::vector<std::string> words;
  std::string joined;
  for (const Token& t : tokens) {
    const std::string& w = t.text;
    if (w == "지하" || w == "산") continue;
    joined += w;
    // A number belongs to the name before it (래미안 1차, 주공2단지).
    if (!AllDigits(w) || words.empty()) words.push_back(w);
  }
  Places none(m_db, {}, false);
  NameRows(joined, {}, none, true);
  if (words.size() < 2) return;
  std::vector<std::string> byLength = words;
  std::stable_sort(byLength.begin(), byLength.end(),
                   [](const std::string& a, const std::string& b) { return Units(a) > Units(b); });
  for (std::size_t i = 0; i < byLength.size(); ++i) {
    std::vector<std::string> others;
    for (std::size_t k = 0; k < byLength.size(); ++k) {
      if (k != i) others.push_back(byLength[k]);
    }
    const std::size_t before = hits.size();
    NameRows(byLength[i], others, none, false);
    if (hits.size() > before) return;
  }
}

// The words of an English query, lowercased, commas and brackets dropped;
// its first number (B12 a basement's) taken out into number.
std::vector<std::string> EnglishWords(std::string_view query, Number& number, bool& numbered) {
  std::string clean(query);
  for (char& c : clean) {
    if (c == ',' || c == '\t' || c == '(' || c == ')') c = ' ';
  }
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start < clean.size()) {
    std::size_t end = clean.find(' ', start);
    if (end == std::string::npos) end = clean.size();
    const std::string w = AsciiLower(std::string_view(clean).substr(start, end - start));
    start = end + 1;
    if (w.empty()) continue;
    const bool basement = w.size() > 1 && w[0] == 'b' && IsDigit(w[1]);
    if (!numbered && ParseNumber(basement ? std::string_view(w).substr(1) : std::string_view(w), number)) {
      number.marked = basement;
      numbered = true;
    } else {
      names.push_back(w);
    }
  }
  return names;
}

// The Korean names of the roads whose English reduces to key.
std::vector<std::string> Search::EnglishRoads(const std::string& key) const {
  const std::string_view section = m_db.sections[kSearchFirst + kEnglishRoads];
  const auto [first, last] = KeyRange(section, KeyHash(key, kEnglishSeed));
  std::vector<std::string> roads;
  for (std::size_t k = first; k < last && roads.size() < kMaxRoads; ++k) {
    const auto road = m_db.Road(KeyAt(section, k).id);
    if (road && EnglishKey(m_db.Str(road->nameEn)) == key) roads.emplace_back(m_db.Str(road->name));
  }
  std::sort(roads.begin(), roads.end());
  roads.erase(std::unique(roads.begin(), roads.end()), roads.end());
  return roads;
}

// The buildings of the roads named by names[from, from + len) in English,
// the other words their places.
bool Search::EnglishRun(const std::vector<std::string>& names, std::size_t from, std::size_t len,
                        const Number* number) {
  std::string key;
  for (std::size_t k = from; k < from + len; ++k) key += EnglishKey(names[k]);
  if (key.empty()) return false;
  const std::vector<std::string> roads = EnglishRoads(key);
  if (roads.empty()) return false;
  std::vector<std::string> placeWords(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(from));
  placeWords.insert(placeWords.end(), names.begin() + static_cast<std::ptrdiff_t>(from + len), names.end());
  Places places(m_db, placeWords, true);
  askedPlaces = askedPlaces || !places.empty();
  std::vector<RoadReading> readings;
  for (const std::string& r : roads) readings.push_back({r, kScoreExact, Kind::kEnglish});
  RoadRows(readings, number, places, Kind::kEnglish);
  // Roads of one Korean name may differ in English: only those named.
  hits.erase(std::remove_if(hits.begin(), hits.end(),
                            [&](const Hit& h) {
                              const auto row = m_db.Row(h.row);
                              const auto road = row ? m_db.Road(row->road) : std::nullopt;
                              return !road || EnglishKey(m_db.Str(road->nameEn)) != key;
                            }),
             hits.end());
  return !hits.empty();
}

// NUMBER ROAD [PLACES] or [PLACES] ROAD [NUMBER], in the data's English:
// the longest run of words that is a road's English.
bool Search::English(std::string_view query) {
  Number number;
  bool numbered = false;
  const std::vector<std::string> names = EnglishWords(query, number, numbered);
  for (std::size_t len = names.size(); len > 0; --len) {
    for (std::size_t from = 0; from + len <= names.size(); ++from) {
      if (EnglishRun(names, from, len, numbered ? &number : nullptr)) return true;
    }
  }
  return false;
}

// One row once, at its best score; where some lie in every place named,
// only those. Returns how many there are in all.
std::size_t Settle(Search& search) {
  std::vector<Hit>& hits = search.hits;
  std::sort(hits.begin(), hits.end(),
            [](const Hit& a, const Hit& b) { return a.row != b.row ? a.row < b.row : a.score > b.score; });
  const std::size_t found = hits.size();
  hits.erase(std::unique(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) { return a.row == b.row; }),
             hits.end());
  const std::size_t repeated = found - hits.size();
  std::size_t total = search.total;
  if (search.askedPlaces && search.anyPlaced) {
    hits.erase(std::remove_if(hits.begin(), hits.end(), [](const Hit& h) { return !h.placed; }), hits.end());
    total = search.placedTotal;
  }
  return std::max(hits.size(), total > repeated ? total - repeated : 0);
}

}  // namespace

AddressLookupResult AddressDatabase::Lookup(std::string_view typedQuery, std::size_t limit) const {
  AddressLookupResult result;
  if (!m_impl) return result;
  // Decomposed Hangul (conjoining jamo, as some systems type it) as syllables.
  std::string composed;
  if (detail::HasLooseJamo(typedQuery)) detail::ComposeHangul(typedQuery, composed);
  const std::string_view query = composed.empty() ? typedQuery : std::string_view(composed);
  auto search = std::make_unique<Search>(*m_impl, limit, 0, false);
  search->Run(Tokens(query), query);
  if (search->hits.empty() && HasAsciiLetter(query)) {
    // Korean typed with the English layout on.
    const std::string typed = FromKeyboardLayout(query);
    if (!typed.empty()) {
      auto again = std::make_unique<Search>(*m_impl, limit, kLayoutPenalty, true);
      again->Run(Tokens(typed), typed);
      if (!again->hits.empty()) search = std::move(again);
    }
  }
  result.note = search->note;
  const std::size_t total = Settle(*search);
  std::vector<Hit>& hits = search->hits;
  auto code = [&](std::uint32_t i) {
    const auto row = m_impl->Row(i);
    return row ? (row->postcode != 0 ? row->postcode : row->oldPostcode) : 0u;
  };
  const std::size_t shown = std::min(limit, hits.size());
  const auto better = [&](const Hit& a, const Hit& b) {
    if (a.score != b.score) return a.score > b.score;
    if (a.order != b.order) return a.order < b.order;
    const std::uint32_t ca = code(a.row), cb = code(b.row);
    return ca != cb ? ca < cb : a.row < b.row;
  };
  std::partial_sort(hits.begin(), hits.begin() + static_cast<std::ptrdiff_t>(shown), hits.end(), better);
  result.damaged = search->damaged;
  for (std::size_t k = 0; k < shown; ++k) {
    AddressMatch m;
    if (!m_impl->Describe(hits[k].row, m)) {
      result.damaged = true;
      continue;
    }
    m.score = hits[k].score;
    m.matched = kKindNames[static_cast<int>(hits[k].kind)];
    result.matches.push_back(std::move(m));
  }
  result.more = total - shown;
  if (!m_impl->Unchanged()) {
    result.matches.clear();
    result.more = 0;
    result.damaged = false;  // what looked damaged was the file changing
    result.status = AddressDbStatus::Changed;
  }
  return result;
}

}  // namespace jasokit
