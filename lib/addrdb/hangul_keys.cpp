#include "addrdb/hangul_keys.h"

#include <algorithm>
#include <utility>

namespace jasokit::detail::addrdb {

namespace {

constexpr char32_t kFirstSyllable = 0xAC00;
constexpr char32_t kLastSyllable = 0xD7A3;
constexpr char32_t kFirstJamo = 0x3131;   // ㄱ
constexpr char32_t kFirstVowel = 0x314F;  // ㅏ
constexpr char32_t kLastJamo = 0x3163;    // ㅣ
constexpr unsigned kVowels = 21, kFinals = 28;

// Initial consonant index (0..18) -> its compatibility jamo.
constexpr char32_t kInitialJamo[19] = {0x3131, 0x3132, 0x3134, 0x3137, 0x3138, 0x3139, 0x3141, 0x3142, 0x3143, 0x3145,
                                       0x3146, 0x3147, 0x3148, 0x3149, 0x314A, 0x314B, 0x314C, 0x314D, 0x314E};
// Compatibility consonant (from ㄱ) -> initial index, -1 for a cluster.
constexpr int kInitialOf[30] = {0,  1, -1, 2, -1, -1, 3,  4,  5,  -1, -1, -1, -1, -1, -1,
                                -1, 6, 7,  8, -1, 9,  10, 11, 12, 13, 14, 15, 16, 17, 18};
// Compatibility consonant (from ㄱ) -> final index, 0 for none.
constexpr int kFinalOf[30] = {1,  2,  3,  4, 5,  6,  7,  0,  8,  9, 10, 11, 12, 13, 14,
                              15, 16, 17, 0, 18, 19, 20, 21, 22, 0, 23, 24, 25, 26, 27};

struct Pair {
  int first, second, joined;
};
// Two vowels (indexes) that make one.
constexpr Pair kVowelPairs[] = {{8, 0, 9},   {8, 1, 10},   {8, 20, 11}, {13, 4, 14},
                                {13, 5, 15}, {13, 20, 16}, {18, 20, 19}};
// Two consonants (compatibility offsets) that make one final cluster.
constexpr Pair kFinalPairs[] = {{0, 20, 2},  {3, 23, 4},  {3, 29, 5},  {8, 0, 9},   {8, 16, 10}, {8, 17, 11},
                                {8, 20, 12}, {8, 27, 13}, {8, 28, 14}, {8, 29, 15}, {17, 20, 19}};

int Joined(const Pair* pairs, std::size_t n, int a, int b) {
  for (std::size_t i = 0; i < n; ++i) {
    if (pairs[i].first == a && pairs[i].second == b) return pairs[i].joined;
  }
  return -1;
}

// The two-set layout: a..z, then A..Z where shift types another jamo.
constexpr char32_t kLayoutLower[26] = {0x3141, 0x3160, 0x314A, 0x3147, 0x3137, 0x3139, 0x314E, 0x3157, 0x3151,
                                       0x3153, 0x314F, 0x3163, 0x3161, 0x315C, 0x3150, 0x3154, 0x3142, 0x3131,
                                       0x3134, 0x3145, 0x3155, 0x314D, 0x3148, 0x314C, 0x315B, 0x314B};
constexpr char32_t ShiftedJamo(char c) {
  switch (c) {
    case 'Q': return 0x3143;
    case 'W': return 0x3149;
    case 'E': return 0x3138;
    case 'R': return 0x3132;
    case 'T': return 0x3146;
    case 'O': return 0x3152;
    case 'P': return 0x3156;
    default: return kLayoutLower[c - 'A'];
  }
}

bool IsVowelJamo(char32_t c) { return c >= kFirstVowel && c <= kLastJamo; }
bool IsConsonantJamo(char32_t c) { return c >= kFirstJamo && c < kFirstVowel; }

// Composes a run of jamo into syllables as the keyboard would; false when
// a jamo is left alone.
bool Compose(const std::vector<char32_t>& jamo, std::string& out) {
  std::size_t i = 0;
  const auto vowelAt = [&](std::size_t k) { return k < jamo.size() && IsVowelJamo(jamo[k]); };
  const auto consonantAt = [&](std::size_t k) { return k < jamo.size() && IsConsonantJamo(jamo[k]); };
  while (i < jamo.size()) {
    const int initial = consonantAt(i) ? kInitialOf[jamo[i] - kFirstJamo] : -1;
    if (initial < 0 || !vowelAt(i + 1)) return false;
    int vowel = static_cast<int>(jamo[i + 1] - kFirstVowel);
    std::size_t k = i + 2;
    if (vowelAt(k)) {
      const int joined = Joined(kVowelPairs, std::size(kVowelPairs), vowel, static_cast<int>(jamo[k] - kFirstVowel));
      if (joined >= 0) {
        vowel = joined;
        ++k;
      }
    }
    int final = 0;
    if (consonantAt(k) && !vowelAt(k + 1) && kFinalOf[jamo[k] - kFirstJamo] != 0) {
      int offset = static_cast<int>(jamo[k] - kFirstJamo);
      ++k;
      if (consonantAt(k) && !vowelAt(k + 1)) {
        const int joined = Joined(kFinalPairs, std::size(kFinalPairs), offset, static_cast<int>(jamo[k] - kFirstJamo));
        if (joined >= 0) {
          offset = joined;
          ++k;
        }
      }
      final = kFinalOf[offset];
    }
    AppendUtf8(kFirstSyllable + (static_cast<unsigned>(initial) * kVowels + static_cast<unsigned>(vowel)) * kFinals +
                   static_cast<unsigned>(final),
               out);
    i = k;
  }
  return true;
}

}  // namespace

namespace {

// The code point at s[i] and its length; U+FFFD and 1 for an invalid byte.
std::pair<char32_t, std::size_t> CodePointAt(std::string_view s, std::size_t i) {
  const auto b = static_cast<unsigned char>(s[i]);
  const std::size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
  if (n == 0 || i + n > s.size()) return {0xFFFD, 1};
  char32_t c = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
  for (std::size_t k = 1; k < n; ++k) {
    const auto t = static_cast<unsigned char>(s[i + k]);
    if ((t & 0xC0) != 0x80) return {0xFFFD, 1};
    c = c << 6 | (t & 0x3F);
  }
  return {c, n};
}

}  // namespace

std::vector<char32_t> CodePoints(std::string_view s) {
  std::vector<char32_t> out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const auto [c, n] = CodePointAt(s, i);
    out.push_back(c);
    i += n;
  }
  return out;
}

void AppendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool IsSyllable(char32_t c) { return c >= kFirstSyllable && c <= kLastSyllable; }
bool IsInitialJamo(char32_t c) { return IsConsonantJamo(c); }

std::string InitialsOf(std::string_view utf8) {
  std::string out;
  for (const char32_t c : CodePoints(utf8)) {
    AppendUtf8(IsSyllable(c) ? kInitialJamo[(c - kFirstSyllable) / (kVowels * kFinals)] : c, out);
  }
  return out;
}

bool IsInitials(std::string_view utf8) {
  bool any = false;
  for (const char32_t c : CodePoints(utf8)) {
    if (IsConsonantJamo(c)) {
      any = true;
    } else if (c < '0' || c > '9') {
      return false;
    }
  }
  return any;
}

std::vector<std::uint32_t> JamoOf(std::string_view utf8) {
  std::vector<std::uint32_t> out;
  for (const char32_t c : CodePoints(utf8)) {
    if (!IsSyllable(c)) {
      out.push_back(0x10000 + c);
      continue;
    }
    const unsigned s = c - kFirstSyllable;
    out.push_back(1 + s / (kVowels * kFinals));
    out.push_back(100 + s / kFinals % kVowels);
    if (s % kFinals != 0) out.push_back(200 + s % kFinals);
  }
  return out;
}

unsigned JamoDistance(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b, unsigned limit) {
  const std::size_t n = a.size(), m = b.size();
  if ((n > m ? n - m : m - n) > limit) return limit + 1;
  std::vector<unsigned> row(m + 1), next(m + 1);
  for (std::size_t j = 0; j <= m; ++j) row[j] = static_cast<unsigned>(j);
  for (std::size_t i = 1; i <= n; ++i) {
    next[0] = static_cast<unsigned>(i);
    unsigned best = next[0];
    for (std::size_t j = 1; j <= m; ++j) {
      next[j] = std::min({row[j] + 1, next[j - 1] + 1, row[j - 1] + (a[i - 1] == b[j - 1] ? 0u : 1u)});
      best = std::min(best, next[j]);
    }
    if (best > limit) return limit + 1;
    row.swap(next);
  }
  return std::min(row[m], limit + 1);
}

std::string FromKeyboardLayout(std::string_view text) {
  std::string out;
  std::vector<char32_t> run;
  const auto flush = [&] {
    const bool ok = run.empty() || Compose(run, out);
    run.clear();
    return ok;
  };
  for (const char c : text) {
    const bool lower = c >= 'a' && c <= 'z', upper = c >= 'A' && c <= 'Z';
    if (lower || upper) {
      run.push_back(lower ? kLayoutLower[c - 'a'] : ShiftedJamo(c));
      continue;
    }
    if (!flush()) return {};
    out += c;
  }
  if (!flush()) return {};
  return out;
}

std::string EnglishKey(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c >= 'A' && c <= 'Z') {
      out += static_cast<char>(c - 'A' + 'a');
    } else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
      out += c;
    }
  }
  return out;
}

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::uint32_t KeyHash(std::string_view bytes, std::uint32_t seed) {
  std::uint32_t h = 2166136261u ^ seed;
  for (const char c : bytes) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
  return h;
}

void SlipKeys(std::string_view utf8, std::vector<std::uint32_t>& out) {
  const std::vector<char32_t> units = CodePoints(utf8);
  const std::size_t n = units.size();
  if (n < 2 || n > 16) return;
  std::string key;
  const auto emit = [&](std::size_t a, std::size_t b) {
    key.clear();
    for (std::size_t k = 0; k < n; ++k) AppendUtf8(k == a || k == b ? U'*' : units[k], key);
    out.push_back(KeyHash(key, kSlipSeed));
  };
  for (std::size_t a = 0; a < n; ++a) emit(a, a);
  if (n < 4 || n > 8) return;
  for (std::size_t a = 0; a < n; ++a) {
    for (std::size_t b = a + 1; b < n; ++b) emit(a, b);
  }
}

std::string ToKeyboardLayout(std::string_view utf8) {
  // Initial, vowel and final indexes as the keys that type them.
  static constexpr const char* kInitialKeys[19] = {"r", "R", "s", "e", "E", "f", "a", "q", "Q", "t",
                                                   "T", "d", "w", "W", "c", "z", "x", "v", "g"};
  static constexpr const char* kVowelKeys[21] = {"k",  "o", "i", "O",  "j",  "p",  "u", "P", "h",  "hk", "ho",
                                                 "hl", "y", "n", "nj", "np", "nl", "b", "m", "ml", "l"};
  static constexpr const char* kFinalKeys[28] = {"",   "r",  "R",  "rt", "s",  "sw", "sg", "e", "f",  "fr",
                                                 "fa", "fq", "ft", "fx", "fv", "fg", "a",  "q", "qt", "t",
                                                 "T",  "d",  "w",  "c",  "z",  "x",  "v",  "g"};
  std::string out;
  for (const char32_t c : CodePoints(utf8)) {
    if (!IsSyllable(c)) {
      AppendUtf8(c, out);
      continue;
    }
    const unsigned s = c - kFirstSyllable;
    out += kInitialKeys[s / (kVowels * kFinals)];
    out += kVowelKeys[s / kFinals % kVowels];
    out += kFinalKeys[s % kFinals];
  }
  return out;
}

}  // namespace jasokit::detail::addrdb
