// jasokit.AddressDB: the address database from Python.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <string>

#include "frontend/address_db_open.h"
#include "jasokit/address_db.h"

namespace py = pybind11;

namespace {

// OSError for a file that cannot be read, ValueError for one that is no
// sound database, with the programs' messages.
std::unique_ptr<jasokit::AddressDatabase> OpenDb(py::object path) {
  std::string named;
  if (!path.is_none()) named = py::str(path).cast<std::string>();
  auto db = std::make_unique<jasokit::AddressDatabase>();
  const jasokit::cli::AddressDbOpening o = jasokit::cli::FindAddressDb(path.is_none() ? nullptr : &named, *db);
  if (o.found == jasokit::cli::AddressDbFound::kOpened) return db;
  if (o.path.empty()) {
    PyErr_SetString(PyExc_OSError, ("no address database at " + jasokit::DefaultAddressDbPath() +
                                    "; build one with 'jasokit addrdb build SOURCE... --install'")
                                       .c_str());
    throw py::error_already_set();
  }
  PyErr_SetString(o.unreadable ? PyExc_OSError : PyExc_ValueError, (o.path + ": " + o.problem).c_str());
  throw py::error_already_set();
}

py::list Lookup(const jasokit::AddressDatabase& db, const std::string& query, std::size_t limit) {
  if (limit == 0) throw py::value_error("limit must be 1 or more");
  const jasokit::AddressLookupResult result = db.Lookup(query, limit);
  if (result.status != jasokit::AddressDbStatus::Ok) {
    PyErr_SetString(PyExc_OSError,
                    (std::string(jasokit::AddressDbStatusMessage(result.status)) + "; open it again").c_str());
    throw py::error_already_set();
  }
  py::list matches;
  for (const jasokit::AddressMatch& m : result.matches) {
    py::dict d;
    d["postcode"] = m.postcode;
    d["address"] = m.address;
    d["lot"] = m.lot;
    d["english"] = m.english;
    d["building"] = m.building;
    d["old_postcode"] = m.oldPostcode;
    d["score"] = m.score;
    d["matched"] = m.matched;
    matches.append(std::move(d));
  }
  return matches;
}

}  // namespace

void BindAddressDb(py::module_& m) {
  // From import on, a database file cut short under the interpreter makes
  // lookup raise instead of ending the process (SIGBUS); other faults go to
  // the handler there was.
  static const jasokit::AddressDbFaultGuard guard;
  py::class_<jasokit::AddressDatabase>(m, "AddressDB",
                                       "The address database built by 'jasokit addrdb build': Korea Post's\n"
                                       "per-building postcode data, mapped from its file.")
      .def(py::init(&OpenDb), py::arg("path") = py::none(),
           "AddressDB(path=None)\n\n"
           "Opens the database at path (str or os.PathLike); None: $JASOKIT_ADDRDB, else\n"
           "$XDG_DATA_HOME/jasokit/address.db or ~/.local/share/jasokit/address.db.\n"
           "OSError when it cannot be read (or, for None, when there is none),\n"
           "ValueError when it is no address database, is damaged or of another\n"
           "format version.")
      .def("lookup", &Lookup, py::arg("query"), py::arg("limit") = jasokit::AddressDatabase::kDefaultLimit,
           "lookup(query, limit=100) -> list[dict]\n\n"
           "The ranked search of 'jasokit lookup': the buildings a query names (an\n"
           "address however typed, a road, a building's name or words, a dong, a\n"
           "postcode, the English...), at most limit, the best first; each a dict of\n"
           "postcode, address, lot, english, building, old_postcode, score and matched.\n"
           "OSError once the file was cut short or written over in place since it\n"
           "was opened (a file replaced by rename leaves this one as it was);\n"
           "conversions with it then answer by the rules, with the warning\n"
           "database-changed.");
}
