// jasokit lookup: postcodes and addresses from the address database.
#include <iterator>
#include <string>

#include "cli/addrdb_source.h"
#include "cli/cli.h"
#include "cli/options.h"
#include "frontend/input.h"
#include "frontend/json.h"
#include "jasokit/address_db.h"
#include "jasokit/zip.h"

namespace jasokit::cli {

namespace {

constexpr std::size_t kMaxQueryBytes = 1024;

constexpr const char* kLookupHelp =
    "usage: jasokit lookup [--addrdb FILE] [--json] [QUERY...]\n"
    "\n"
    "Looks each QUERY up in the address database (see 'jasokit addrdb --help'),\n"
    "or each line of standard input when no QUERY is given. A QUERY is a\n"
    "road-name address with or without its number (테헤란로 152), a lot-number\n"
    "address (역삼동 737), a road name, the start of a building name, a\n"
    "five-digit postcode, or a six-digit one (135-080 or 135080). Words before\n"
    "a road or dong (서울 강남구) narrow it down.\n"
    "\n"
    "Each match is one line: postcode, road-name address (with the building\n"
    "name in brackets), lot-number address and the official English, joined\n"
    "by TABs; ordered by postcode, then by address. At most 100 matches are\n"
    "listed; how many more there are is reported on standard error.\n"
    "\n"
    "options:\n"
    "  --addrdb FILE  the database (default: $JASOKIT_ADDRDB, else\n"
    "                 $XDG_DATA_HOME/jasokit/address.db or\n"
    "                 ~/.local/share/jasokit/address.db)\n"
    "  --json         one JSON object per QUERY, on one line: {\"query\": QUERY,\n"
    "                 \"matches\": [{\"postcode\", \"address\", \"lot\", \"english\",\n"
    "                 \"building\", \"old_postcode\"}], \"more\": N}\n"
    "  --help         show this help\n"
    "\n"
    "A query with no match is reported on standard error as \"찾지 못했습니다.\".\n"
    "\n"
    "exit status: 0 every query matched, 1 no database could be opened, it\n"
    "is damaged, or its file changed while open, 2 usage error, 3 input/output\n"
    "error, 4 some query matched nothing\n";

class Lookup {
 public:
  Lookup(CliIo& io, const AddressDatabase& db, bool json) : m_io(io), m_db(db), m_json(json) {}

  bool Query(const HeldLine& input) {
    const std::string_view query = input.overLong() ? std::string_view() : input.text();
    const AddressLookupResult result = m_db.Lookup(query);
    if (result.status != AddressDbStatus::Ok) {
      // Told once; the queries after it get no answers either.
      if (!m_changed) m_io.Error(std::string("jasokit lookup: ") + AddressDbStatusMessage(result.status) + "\n");
      m_changed = true;
      return true;
    }
    if (result.damaged) {
      m_damaged = true;
      m_io.Error(std::string("jasokit lookup: ") + AddressDbStatusMessage(AddressDbStatus::Damaged) +
                 " (see 'jasokit addrdb verify')\n");
    } else if (result.matches.empty()) {
      m_missed = true;
      m_io.Error("'" + std::string(query) + "': " + kNotFoundMessageUtf8 + "\n");
    }
    m_out.clear();
    if (m_json) {
      AppendLookupJson(query, result, m_out);
      m_out += '\n';
      return m_io.Write(m_out);
    }
    for (const AddressMatch& m : result.matches) {
      m_out += m.postcode + '\t' + m.address + '\t' + m.lot + '\t' + m.english + '\n';
    }
    if (result.more > 0) {
      m_io.Error("'" + std::string(query) + "': " + std::to_string(result.more) + " more matches not listed\n");
    }
    return m_io.Write(m_out);
  }

  bool missed() const { return m_missed; }
  bool damaged() const { return m_damaged; }
  bool changed() const { return m_changed; }

 private:
  CliIo& m_io;
  const AddressDatabase& m_db;
  bool m_json;
  bool m_missed = false;
  bool m_damaged = false;
  bool m_changed = false;
  std::string m_out;
};

enum LookupOption : std::size_t { kOptAddrDb, kOptJson };
constexpr OptionRule kLookupOptions[] = {
    {"--addrdb", nullptr, "a FILE"},
    {"--json", nullptr, nullptr},
};

}  // namespace

namespace {

int RunLookup(const ParsedArgs& parsed, CliIo& io) {
  AddressDatabase db;
  switch (OpenAddressDb(parsed.Value(kOptAddrDb), "lookup", io, db)) {
    case AddressDbFound::kOpened: break;
    case AddressDbFound::kNone: io.Error(NoAddressDbMessage("lookup")); return kExitTableError;
    case AddressDbFound::kError: return kExitTableError;
  }
  Lookup lookup(io, db, parsed.Has(kOptJson));
  HeldLine query(kMaxQueryBytes, HeldLine::kStripCr);
  const int status =
      ForEachInput(parsed.operands, io, "lookup", query, [&](const char*, std::size_t) { return lookup.Query(query); });
  if (status != kExitOk) return status;
  if (lookup.damaged() || lookup.changed()) return kExitTableError;
  return lookup.missed() ? kExitNotFound : kExitOk;
}

}  // namespace

constexpr Command kLookupCommand = {
    "lookup",
    "look up current postcodes and addresses in the address database",
    kLookupHelp,
    kLookupOptions,
    std::size(kLookupOptions),
    nullptr,
    RunLookup,
};

}  // namespace jasokit::cli
