// jasokit.AddressDB: the address database from Python.
#include "jasokit/address_db.h"

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <string>

namespace py = pybind11;

namespace {

std::unique_ptr<jasokit::AddressDatabase> OpenDb(py::object path) {
  const std::string file = path.is_none() ? jasokit::DefaultAddressDbPath() : py::str(path).cast<std::string>();
  auto db = std::make_unique<jasokit::AddressDatabase>();
  const jasokit::AddressDbStatus status = db->Open(file);
  if (status == jasokit::AddressDbStatus::CannotOpen) {
    throw py::value_error("cannot open the address database " + file +
                          " (build one with 'jasokit addrdb build SOURCE... --install')");
  }
  if (status != jasokit::AddressDbStatus::Ok) {
    throw py::value_error(file + ": " + jasokit::AddressDbStatusMessage(status));
  }
  return db;
}

py::list Lookup(const jasokit::AddressDatabase& db, const std::string& query) {
  const jasokit::AddressLookupResult result = db.Lookup(query);
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
           "ValueError when it is missing, damaged or of another format version.")
      .def("lookup", &Lookup, py::arg("query"),
           "lookup(query) -> list[dict]\n\n"
           "The buildings a query names (a road-name or lot-number address, a road,\n"
           "the start of a building name, a five- or six-digit postcode), at most\n"
           "100, ordered by postcode then address; each a dict of postcode, address,\n"
           "lot, english, building and old_postcode. OSError once the file was cut\n"
           "short or written over in place since it was opened (a file replaced by\n"
           "rename leaves this one as it was); conversions with it then answer by\n"
           "the rules, with the warning database-changed.");
}
