// jasokit._jasokit: the library's UTF-8 API over Python str. The package's
// __init__.py re-exports it and adds the default table path.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "batch.h"
#include "frontend/address_db_open.h"
#include "frontend/json.h"
#include "frontend/zip_query.h"
#include "jasokit/address_db.h"
#include "jasokit/convert.h"
#include "jasokit/name.h"
#include "jasokit/style.h"
#include "jasokit/version.h"
#include "jasokit/zip.h"

namespace py = pybind11;

void BindAddressDb(py::module_& m);  // address_db.cpp

namespace {

using jasokit::ZipRecord;
using jasokit::python::AppendUtf8;
using jasokit::python::ThrowTypeError;

// The UTF-8 form of a str argument; what names it in the TypeError for
// anything else.
std::string Utf8(py::handle text, const std::string& what) {
  if (!PyUnicode_Check(text.ptr())) ThrowTypeError(what, text);
  std::string out;
  AppendUtf8(text.ptr(), out);
  return out;
}

py::str Str(std::string_view utf8) { return py::str(utf8.data(), utf8.size()); }

jasokit::Style StyleArg(py::handle style) {
  const std::string name = Utf8(style, "style");
  jasokit::Style parsed;
  if (!jasokit::ParseStyle(name, parsed)) throw py::value_error("unknown style '" + name + "' (classic or official)");
  return parsed;
}

// The database the programs use when none is named ($JASOKIT_ADDRDB, else
// the per-user one), opened on first use and again when the path changes.
// A missing file is looked for again at each call; a damaged one is warned
// about once.
py::object DefaultDb() {
  struct Cache {
    std::string path;
    py::object db;
    bool missing = true;
  };
  static Cache* cache = new Cache;  // never destroyed: Python may be gone by then
  const std::string path = jasokit::DefaultAddressDbPath();
  if (path == cache->path && !cache->missing) return cache->db;
  auto db = std::make_unique<jasokit::AddressDatabase>();
  const jasokit::cli::AddressDbOpening opening = jasokit::cli::FindAddressDb(nullptr, *db);
  cache->path = path;
  cache->missing = opening.path.empty();
  cache->db = opening.found == jasokit::cli::AddressDbFound::kOpened ? py::cast(std::move(db)) : py::none();
  if (!opening.problem.empty()) {
    const std::string message = opening.path + ": " + opening.problem + "; converting without the address database";
    if (PyErr_WarnEx(PyExc_RuntimeWarning, message.c_str(), 2) != 0) throw py::error_already_set();
  }
  return cache->db;
}

// The options of a conversion. db: an AddressDB, None (the official style
// uses the programs' default database, if any) or False (none); holder
// keeps the database alive for the call.
jasokit::Options OptionsArg(py::handle style, py::handle country, py::handle db, py::object& holder) {
  jasokit::Options options;
  options.style = StyleArg(style);
  if (!country.is_none()) options.country = Utf8(country, "country");
  if (db.ptr() == Py_False) return options;
  if (!db.is_none() && options.style != jasokit::Style::Official) {
    throw py::value_error("db is for style='official': the classic style never uses the address database");
  }
  if (db.is_none()) {
    holder = options.style == jasokit::Style::Official ? DefaultDb() : py::none();
  } else if (py::isinstance<jasokit::AddressDatabase>(db)) {
    holder = py::reinterpret_borrow<py::object>(db);
  } else {
    throw py::type_error(std::string("db must be AddressDB, None or False, not ") + Py_TYPE(db.ptr())->tp_name);
  }
  if (!holder.is_none()) options.database = &holder.cast<const jasokit::AddressDatabase&>();
  return options;
}

// Each item as a dict of the members.
template <typename T, std::size_t N>
py::list Dicts(const std::vector<T>& items, const jasokit::cli::ListMember<T> (&members)[N]) {
  py::list out;
  for (const T& item : items) {
    py::dict d;
    for (const jasokit::cli::ListMember<T>& m : members) d[m.key] = Str(item.*m.value);
    out.append(std::move(d));
  }
  return out;
}

py::object Fields(const jasokit::Result& r) {
  if (!r.fields) return py::none();
  const jasokit::AddressFields& f = *r.fields;
  py::dict d;
  d["detail"] = Str(f.detail);
  d["street"] = Str(f.street);
  d["district"] = Str(f.district);
  d["region"] = Str(f.region);
  d["postcode"] = Str(f.postcode);
  d["old_postcode"] = Str(f.oldPostcode);
  d["country"] = Str(f.country);
  d["source"] = Str(f.source);
  return std::move(d);
}

py::list ConvertMany(py::handle texts, py::handle style, py::handle country, py::handle threads, py::handle db) {
  py::object holder;
  return jasokit::python::RunBatch(texts, {false, OptionsArg(style, country, db, holder)}, threads, py::none(),
                                   "texts");
}

py::list RomanizeMany(py::handle texts, py::handle style, py::handle threads) {
  jasokit::python::BatchJob job{true, {}};
  job.options.style = StyleArg(style);
  return jasokit::python::RunBatch(texts, job, threads, py::none(), "texts");
}

// convert_many for a column: missing values, as isMissing tells them, are
// kept; what names the column in errors.
py::list ConvertColumn(py::handle texts, py::handle style, py::handle country, py::handle threads, py::handle isMissing,
                       const std::string& what, py::handle db) {
  py::object holder;
  return jasokit::python::RunBatch(texts, {false, OptionsArg(style, country, db, holder)}, threads, isMissing, what);
}

class ZipTable {
 public:
  // OSError for a file that cannot be read, ValueError for one that is no
  // table, with the messages of zip --db.
  explicit ZipTable(const std::string& path) {
    jasokit::ZipLoadStatus status;
    {
      py::gil_scoped_release release;
      status = m_db.Load(path);
    }
    const std::string problem = jasokit::cli::NamedTableProblem(path, status, m_db);
    if (problem.empty()) return;
    if (status == jasokit::ZipLoadStatus::OutOfMemory) throw std::bad_alloc();
    PyErr_SetString(status == jasokit::ZipLoadStatus::Ok ? PyExc_ValueError : PyExc_OSError,
                    (path + ": " + problem).c_str());
    throw py::error_already_set();
  }

  bool sample() const { return m_db.isSample(); }

  // A name with no CP949 form finds nothing: the table cannot hold it.
  std::vector<ZipRecord> Find(py::handle name) const { return jasokit::FindAllUtf8(m_db, Utf8(name, "name")); }

  py::list Lines(py::handle name) const {
    py::list lines;
    for (const std::string& line : jasokit::FormatSearchLinesUtf8(m_db, Utf8(name, "name"))) lines.append(Str(line));
    return lines;
  }

  std::size_t size() const { return m_db.size(); }

 private:
  jasokit::ZipDatabase m_db;
};

std::string Repr(py::handle value) { return std::string(py::repr(value)); }

}  // namespace

PYBIND11_MODULE(_jasokit, m) {
  m.doc() = "The compiled part of the jasokit package; use the package itself.";
  // The docstrings give the signatures in Python's terms.
  py::options options;
  options.disable_function_signatures();
  BindAddressDb(m);
  m.attr("__version__") = JASOKIT_VERSION_STRING;

  py::class_<jasokit::Result>(m, "Result", "The conversion of one text, as convert() returns it.")
      .def_property_readonly(
          "status", [](const jasokit::Result& r) { return jasokit::ConversionStatusName(r.status); },
          "'Address', 'PlainText', 'Empty' (nothing but spaces) or 'TooLong' (more than 1024 CP949 bytes).")
      .def_property_readonly(
          "normalized", [](const jasokit::Result& r) { return Str(r.normalized); },
          "The text trimmed, line breaks and runs of spaces made single spaces.")
      .def_property_readonly(
          "output", [](const jasokit::Result& r) { return Str(r.output); },
          "The address in English or the romanized text; '' for 'Empty' and 'TooLong'.")
      .def_property_readonly("fields", &Fields,
                             "For an official-style address a dict of detail, street, district, region, postcode "
                             "old_postcode, country and source ('' where absent); else None.")
      .def_property_readonly(
          "warnings", [](const jasokit::Result& r) { return Dicts(r.warnings, jasokit::cli::kWarningMembers); },
          "What was read other than as typed, or is unsure: a list of dicts of code and message; [] if none.")
      .def_property_readonly(
          "suggestions",
          [](const jasokit::Result& r) { return Dicts(r.suggestions, jasokit::cli::kSuggestionMembers); },
          "With a database, where it is unsure (an unknown road or building, several buildings): real "
          "addresses near, as dicts of address, english and postcode; [] if none.")
      .def("__repr__", [](const jasokit::Result& r) {
        return "jasokit.Result(status='" + std::string(jasokit::ConversionStatusName(r.status)) +
               "', normalized=" + Repr(Str(r.normalized)) + ", output=" + Repr(Str(r.output)) + ")";
      });

  m.def(
      "convert",
      [](py::handle text, py::handle style, py::handle country, py::handle db) {
        py::object holder;
        const jasokit::Options options = OptionsArg(style, country, db, holder);
        return jasokit::Convert(Utf8(text, "text"), options);
      },
      py::arg("text"), py::arg("style") = "classic", py::arg("country") = py::none(), py::arg("db") = py::none(),
      "convert(text, style='classic', country=None, db=None) -> Result\n\n"
      "Converts one text: a Korean postal address (its first word a province or\n"
      "metropolitan city) is rewritten in English, any other text is romanized.\n"
      "style is 'classic' (words in reverse order, ending in S.KOREA) or\n"
      "'official' (the official English address format and the Revised\n"
      "Romanization); country replaces 'Republic of Korea' at the end of an\n"
      "official-style address. The official style writes a building the\n"
      "address database holds from its data: db is an AddressDB, None for the\n"
      "one the programs use ($JASOKIT_ADDRDB, else the per-user one, if it\n"
      "exists) or False for none; with the classic style, which never uses it,\n"
      "an AddressDB is a ValueError. The text ends at its first NUL character,\n"
      "with the warning 'text-cut-at-nul'; a lone surrogate counts as U+FFFD.");

  m.def("convert_many", &ConvertMany, py::arg("texts"), py::arg("style") = "classic", py::arg("country") = py::none(),
        py::arg("threads") = py::none(), py::arg("db") = py::none(),
        "convert_many(texts, style='classic', country=None, threads=None, db=None) -> list[str]\n\n"
        "convert(text, style, country, db).output for every str of an iterable (a list,\n"
        "a generator, a pandas Series), in order; '' for empty and refused texts.\n"
        "The texts are converted without the GIL on threads threads: None for\n"
        "every core, 1 for the calling thread only; more than the cores are\n"
        "capped at them, with a RuntimeWarning.");

  m.def("romanize_many", &RomanizeMany, py::arg("texts"), py::arg("style") = "classic", py::arg("threads") = py::none(),
        "romanize_many(texts, style='classic', threads=None) -> list[str]\n\n"
        "romanize(text, style) for every str of an iterable, in order, on threads\n"
        "threads as convert_many.");

  m.def("_convert_column", &ConvertColumn, py::arg("texts"), py::arg("style"), py::arg("country"), py::arg("threads"),
        py::arg("is_missing"), py::arg("what"), py::arg("db") = py::none(),
        "convert_many that keeps the missing values; convert_series calls it.");

  m.def(
      "romanize",
      [](py::handle text, py::handle style) {
        const jasokit::Style parsed = StyleArg(style);
        return Str(jasokit::Romanize(Utf8(text, "text"), parsed));
      },
      py::arg("text"), py::arg("style") = "classic",
      "romanize(text, style='classic') -> str\n\n"
      "Romanizes a text as it stands, never as an address and untrimmed, its first\n"
      "letter upper-cased; '' for a text of more than 1024 characters or a result\n"
      "of more than 1024 bytes.");

  m.def(
      "romanize_name",
      [](py::handle text, py::handle surname, bool hyphen, bool givenFirst, bool upper) {
        jasokit::NameOptions options;
        const std::string table = Utf8(surname, "surname");
        if (!jasokit::ParseSurnameTable(table, options.surnames)) {
          throw py::value_error("unknown surname table '" + table + "' (common or rr)");
        }
        options.hyphen = hyphen;
        options.givenFirst = givenFirst;
        options.upper = upper;
        return Str(jasokit::RomanizeName(Utf8(text, "text"), options).output);
      },
      py::arg("text"), py::arg("surname") = "common", py::arg("hyphen") = false, py::arg("given_first") = false,
      py::arg("upper") = false,
      "romanize_name(text, surname='common', hyphen=False, given_first=False, upper=False) -> str\n\n"
      "Romanizes a personal name as passports write it: 'Hong Gildong'. A space\n"
      "decides where the family name ends; surname='common' spells it as most\n"
      "passports do (Kim, Lee, Park), 'rr' with the Revised Romanization (Gim, I,\n"
      "Bak). A text that is no name (blank, or more than five syllables before a\n"
      "space) is romanized as text in the official style.");

  py::class_<ZipRecord>(m, "ZipRecord", "One row of the zip code table; the texts keep the table's space padding.")
      .def_readonly("zip_code", &ZipRecord::zipCode)
      .def_readonly("province", &ZipRecord::province)
      .def_readonly("district", &ZipRecord::district)
      .def_readonly("locality", &ZipRecord::locality, "The place name the table is searched by.")
      .def_readonly("detail", &ZipRecord::detail)
      .def("__repr__", [](const ZipRecord& r) {
        return "jasokit.ZipRecord(zip_code=" + Repr(Str(r.zipCode)) + ", province=" + Repr(Str(r.province)) +
               ", district=" + Repr(Str(r.district)) + ", locality=" + Repr(Str(r.locality)) +
               ", detail=" + Repr(Str(r.detail)) + ")";
      });

  py::class_<ZipTable>(m, "ZipTable", "The zip code table, loaded whole from a dBASE file of CP949 text.")
      .def(py::init<const std::string&>(), py::arg("path"),
           "ZipTable(path: bytes)\n\nLoads the table at path; OSError with the program's message if it cannot.")
      .def("find", &ZipTable::Find, py::arg("name"),
           "find(name) -> list[ZipRecord]\n\n"
           "The records whose place name is exactly name (spaces count), in the order\n"
           "of lines(name).")
      .def("lines", &ZipTable::Lines, py::arg("name"),
           "lines(name) -> list[str]\n\n"
           "The result lines of name as 'jasokit zip' prints them: zip code, province,\n"
           "district, place name and detail joined by spaces, in ascending order of\n"
           "their CP949 bytes.")
      .def_property_readonly("sample", &ZipTable::sample,
                             "True for the demonstration sample table, whose zip codes are made up.")
      .def("__len__", &ZipTable::size, "The number of records.")
      .def("__repr__",
           [](const ZipTable& t) { return "<jasokit.ZipTable of " + std::to_string(t.size()) + " records>"; });

  // help() and repr() show them where users find them.
  for (const char* name : {"Result", "ZipRecord"}) m.attr(name).attr("__module__") = "jasokit";
}
