// jasokit lookup: postcodes and addresses from the address database.
#include <iterator>
#include <optional>
#include <string>

#include "cli/addrdb_source.h"
#include "cli/cli.h"
#include "cli/options.h"
#include "frontend/codec.h"
#include "frontend/input.h"
#include "frontend/json.h"
#include "jasokit/address_db.h"
#include "jasokit/zip.h"

namespace jasokit::cli {

namespace {

constexpr const char* kLookupHelp =
    "usage: jasokit lookup [--addrdb FILE] [--json] [--limit N] [QUERY...]\n"
    "\n"
    "Searches the address database (see 'jasokit addrdb --help') for each\n"
    "QUERY, or each line of standard input when no QUERY is given. A QUERY is\n"
    "what a user would type: a road-name address (테헤란로 152, 강남구개포로516,\n"
    "with details such as 101동 1203호 after it), the start of a road name\n"
    "(논현로8), a lot-number address (역삼동 737, 737번지), a building's name or\n"
    "any of its words (주공, g-heim), a dong, ri, eup or myeon, a five-digit\n"
    "postcode or a six-digit one (135-080), the data's English (516 Gaepo-ro,\n"
    "Gangnam-gu), initial consonants (ㄱㅍㄹ 516), Korean typed with the\n"
    "English keyboard layout (rovhfh 516), or a road name with a slip or two.\n"
    "Places in the query (서울 강남구) narrow the list.\n"
    "\n"
    "Each match is one line: postcode, road-name address (with the building\n"
    "name in brackets), lot-number address and the official English, joined\n"
    "by TABs; the best match first. At most N matches are listed; how many\n"
    "more there are is reported on standard error.\n"
    "\n"
    "options:\n"
    "  --addrdb FILE  the database (default: $JASOKIT_ADDRDB, else\n"
    "                 $XDG_DATA_HOME/jasokit/address.db or\n"
    "                 ~/.local/share/jasokit/address.db)\n"
    "  --json         one JSON object per QUERY, on one line: {\"query\": QUERY,\n"
    "                 \"matches\": [{\"postcode\", \"address\", \"lot\", \"english\",\n"
    "                 \"building\", \"old_postcode\", \"score\", \"matched\"}],\n"
    "                 \"more\": N}, and \"note\" when the data cannot answer\n"
    "  --limit N      list at most N matches a query (default 100)\n"
    "  --help         show this help\n"
    "\n"
    "A query with no match is reported on standard error as \"찾지 못했습니다.\".\n"
    "\n"
    "exit status: 0 every query matched, 1 no database could be opened, it\n"
    "is damaged, or its file changed while open,\n"
    "2 usage error (also an empty query, or one longer than 1024 bytes),\n"
    "3 input/output error, 4 some query matched nothing\n";

bool Blank(std::string_view text) { return text.find_first_not_of(" \t\r\n\v\f") == std::string_view::npos; }

std::string Visible(std::string_view text) {
  std::string out;
  AppendVisible(text, true, out);
  return out;
}

class Lookup {
 public:
  Lookup(CliIo& io, const AddressDatabase& db, bool json, std::size_t limit)
      : m_io(io), m_db(db), m_json(json), m_limit(limit) {}

  bool Query(const HeldLine& input) {
    if (input.overLong()) {
      m_refused = true;
      m_io.Error("jasokit lookup: a query of " + std::to_string(input.size()) + " bytes is too long (at most " +
                 std::to_string(kMaxLookupQueryBytes) + ")\n");
      return true;
    }
    const std::string_view query = input.text();
    if (Blank(query)) {
      m_refused = true;
      m_io.Error("jasokit lookup: an empty query\n");
      return true;
    }
    const AddressLookupResult result = m_db.Lookup(query, m_limit);
    if (result.status != AddressDbStatus::Ok) {
      // Told once; the queries after it get no answers either.
      if (!m_changed) m_io.Error(std::string("jasokit lookup: ") + AddressDbStatusMessage(result.status) + "\n");
      m_changed = true;
      return true;
    }
    if (!result.note.empty()) m_io.Error("'" + Visible(query) + "': " + result.note + "\n");
    if (result.damaged) {
      m_damaged = true;
      m_io.Error(std::string("jasokit lookup: ") + AddressDbStatusMessage(AddressDbStatus::Damaged) +
                 " (see 'jasokit addrdb verify')\n");
    } else if (result.matches.empty()) {
      m_missed = true;
      m_io.Error("'" + Visible(query) + "': " + kNotFoundMessageUtf8 + "\n");
    }
    m_out.clear();
    if (m_json) {
      AppendLookupJson(query, result, m_out);
      m_out += '\n';
      return m_io.Write(m_out);
    }
    // The data's names come out with their control characters escaped: a
    // tab would break the columns, an escape sequence act on the terminal.
    for (const AddressMatch& m : result.matches) {
      for (const std::string* field : {&m.postcode, &m.address, &m.lot, &m.english}) {
        if (field != &m.postcode) m_out += '\t';
        AppendVisible(*field, true, m_out);
      }
      m_out += '\n';
    }
    if (result.more > 0) {
      m_io.Error("'" + Visible(query) + "': " + std::to_string(result.more) + " more matches not listed\n");
    }
    return m_io.Write(m_out);
  }

  bool missed() const { return m_missed; }
  bool damaged() const { return m_damaged; }
  bool refused() const { return m_refused; }
  bool changed() const { return m_changed; }

 private:
  CliIo& m_io;
  const AddressDatabase& m_db;
  bool m_json;
  std::size_t m_limit;
  bool m_missed = false;
  bool m_damaged = false;
  bool m_refused = false;
  bool m_changed = false;
  std::string m_out;
};

enum LookupOption : std::size_t { kOptAddrDb, kOptJson, kOptLimit };
constexpr OptionRule kLookupOptions[] = {
    {kOptAddrDb, "--addrdb", nullptr, "a FILE"},
    {kOptJson, "--json", nullptr, nullptr},
    {kOptLimit, "--limit", nullptr, "a number N"},
};
static_assert(InIdOrder(kLookupOptions));

}  // namespace

namespace {

int RunLookup(const ParsedArgs& parsed, CliIo& io) {
  std::size_t limit = AddressDatabase::kDefaultLimit;
  if (const std::string* text = parsed.Value(kOptLimit)) {
    const std::optional<std::size_t> n = ParseCount(*text);
    if (!n || *n == 0) {
      io.Error("jasokit lookup: --limit needs a number of matches from 1 on, not '" + Visible(*text) + "'\n");
      return kExitUsage;
    }
    limit = *n;
  }
  AddressDatabase db;
  switch (OpenAddressDb(parsed.Value(kOptAddrDb), "lookup", io, db)) {
    case AddressDbFound::kOpened: break;
    case AddressDbFound::kNone: io.Error(NoAddressDbMessage("lookup")); return kExitTableError;
    case AddressDbFound::kError: return kExitTableError;
  }
  Lookup lookup(io, db, parsed.Has(kOptJson), limit);
  HeldLine query(kMaxLookupQueryBytes, HeldLine::kStripCr);
  const bool read =
      ForEachInput(parsed.operands, io, "lookup", query, [&](const char*, std::size_t) { return lookup.Query(query); });
  if (!read) return kExitIo;
  if (lookup.damaged() || lookup.changed()) return kExitTableError;
  if (lookup.refused()) return kExitUsage;
  return lookup.missed() ? kExitNotFound : kExitOk;
}

}  // namespace

constexpr Command kLookupCommand =
    MakeCommand("lookup", "look up current postcodes and addresses in the address database", kLookupHelp,
                kLookupOptions, RunLookup);

}  // namespace jasokit::cli
