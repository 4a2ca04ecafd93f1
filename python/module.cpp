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

#include "address/conversion.h"  // the batch conversion, output only
#include "jasokit/address_db.h"
#include "jasokit/convert.h"
#include "jasokit/cp949.h"
#include "jasokit/style.h"
#include "jasokit/version.h"
#include "jasokit/zip.h"

namespace py = pybind11;

void BindAddressDb(py::module_& m);  // address_db.cpp

namespace {

constexpr char32_t kReplacement = 0xFFFD;

[[noreturn]] void ThrowTypeError(const std::string& what, py::handle object) {
  throw py::type_error(what + " must be str, not " + Py_TYPE(object.ptr())->tp_name);
}

template <typename Unit>
char* EncodeUtf8(const Unit* units, Py_ssize_t length, char* out) {
  for (Py_ssize_t i = 0; i < length; ++i) {
    char32_t c = units[i];
    if (c < 0x80) {
      *out++ = static_cast<char>(c);
      continue;
    }
    if (c >= 0xD800 && c <= 0xDFFF) c = kReplacement;
    if (c < 0x800) {
      *out++ = static_cast<char>(0xC0 | (c >> 6));
    } else {
      if (c < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (c >> 12));
      } else {
        *out++ = static_cast<char>(0xF0 | (c >> 18));
        *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      }
      *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    }
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

// Appends the UTF-8 form of a str to out, straight from its code points: no
// copy cached in the object, and a lone surrogate (which has no UTF-8 form)
// becomes U+FFFD, as invalid UTF-8 does in the library.
void AppendUtf8(PyObject* s, std::string& out) {
  const Py_ssize_t length = PyUnicode_GET_LENGTH(s);
  const void* data = PyUnicode_DATA(s);
  if (PyUnicode_IS_ASCII(s)) {
    out.append(static_cast<const char*>(data), static_cast<std::size_t>(length));
    return;
  }
  const std::size_t start = out.size();
  const int kind = PyUnicode_KIND(s);
  out.resize(start + static_cast<std::size_t>(length) * (kind == PyUnicode_1BYTE_KIND ? 2 : kind == PyUnicode_2BYTE_KIND ? 3 : 4));
  char* begin = &out[start];
  char* end = kind == PyUnicode_1BYTE_KIND   ? EncodeUtf8(static_cast<const Py_UCS1*>(data), length, begin)
              : kind == PyUnicode_2BYTE_KIND ? EncodeUtf8(static_cast<const Py_UCS2*>(data), length, begin)
                                             : EncodeUtf8(static_cast<const Py_UCS4*>(data), length, begin);
  out.resize(start + static_cast<std::size_t>(end - begin));
}

// The UTF-8 form of a str argument; what names it in the TypeError for
// anything else.
std::string Utf8(py::handle text, const std::string& what) {
  if (!PyUnicode_Check(text.ptr())) ThrowTypeError(what, text);
  std::string out;
  AppendUtf8(text.ptr(), out);
  return out;
}

py::str Str(std::string_view utf8) { return py::str(utf8.data(), utf8.size()); }

std::string FromCp949(std::string_view cp949) {
  std::string utf8;
  jasokit::Cp949ToUtf8(cp949, utf8);
  return utf8;
}

jasokit::Style StyleArg(py::handle style) {
  const std::string name = Utf8(style, "style");
  jasokit::Style parsed;
  if (!jasokit::ParseStyle(name, parsed)) throw py::value_error("unknown style '" + name + "' (classic or official)");
  return parsed;
}

jasokit::Options OptionsArg(py::handle style, py::handle country, py::handle db = py::none()) {
  jasokit::Options options;
  options.style = StyleArg(style);
  if (!country.is_none()) options.country = Utf8(country, "country");
  // The caller's argument keeps the database alive for the call.
  if (!db.is_none()) options.database = &db.cast<const jasokit::AddressDatabase&>();
  return options;
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
  d["country"] = Str(f.country);
  d["source"] = Str(f.source);
  return std::move(d);
}

// The str objects of a batch's results, shared between equal results: an
// address list repeats its outputs many times over, and each new str costs
// an allocation (and, for a list of millions, page faults) that a shared
// one does not. Only ASCII results, which compare as their bytes, are shared.
class ResultStrings {
 public:
  // Room for about as many different results as the batch has texts.
  explicit ResultStrings(std::size_t texts) {
    std::size_t slots = 16;
    while (slots < texts && slots < kMaxSlots) slots *= 2;
    m_slots.assign(slots, nullptr);
  }
  ~ResultStrings() {
    for (PyObject* s : m_slots) Py_XDECREF(s);
  }
  ResultStrings(const ResultStrings&) = delete;
  ResultStrings& operator=(const ResultStrings&) = delete;

  // A new reference to a str of utf8, or null with a Python error set.
  PyObject* Get(std::string_view utf8) {
    std::uint32_t h = 2166136261u;  // FNV-1a
    bool ascii = true;
    for (char c : utf8) {
      h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
      ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    }
    if (!ascii) return PyUnicode_FromStringAndSize(utf8.data(), static_cast<Py_ssize_t>(utf8.size()));
    PyObject*& slot = m_slots[h & (m_slots.size() - 1)];
    if (slot && static_cast<std::size_t>(PyUnicode_GET_LENGTH(slot)) == utf8.size() &&
        utf8.compare(0, utf8.size(), static_cast<const char*>(PyUnicode_DATA(slot)), utf8.size()) == 0) {
      Py_INCREF(slot);
      return slot;
    }
    PyObject* s = PyUnicode_FromStringAndSize(utf8.data(), static_cast<Py_ssize_t>(utf8.size()));
    if (!s) return nullptr;
    Py_XDECREF(slot);
    Py_INCREF(s);
    slot = s;
    return s;
  }

 private:
  static constexpr std::size_t kMaxSlots = std::size_t{1} << 17;
  std::vector<PyObject*> m_slots;
};

py::list ConvertMany(py::handle texts, py::handle style, py::handle country, py::handle db) {
  const jasokit::Options options = OptionsArg(style, country, db);
  // A str is an iterable of str too, but never meant as one here.
  if (PyUnicode_Check(texts.ptr())) throw py::type_error("texts must be an iterable of str, not str");
  // A list of our own: nothing else can resize it while the GIL is released.
  const py::list items = py::reinterpret_steal<py::list>(PySequence_List(texts.ptr()));
  if (!items) throw py::error_already_set();
  const std::size_t count = items.size();
  py::list results(count);
  // In slices small enough that a slice's texts and results stay in cache (a
  // quarter or more faster than one pass over a million names); each slice
  // hands the GIL over once.
  constexpr std::size_t kSlice = 1024;
  std::string input, output;
  std::vector<std::size_t> inputEnds, outputEnds;
  ResultStrings strings(count);
  for (std::size_t first = 0; first < count; first += kSlice) {
    const std::size_t last = std::min(count, first + kSlice);
    input.clear();
    inputEnds.clear();
    for (std::size_t i = first; i < last; ++i) {
      PyObject* text = PyList_GET_ITEM(items.ptr(), i);
      if (!PyUnicode_Check(text)) ThrowTypeError("texts[" + std::to_string(i) + "]", text);
      AppendUtf8(text, input);
      inputEnds.push_back(input.size());
    }
    output.clear();
    outputEnds.clear();
    {
      py::gil_scoped_release release;
      const std::string_view all(input);
      std::size_t begin = 0;
      for (const std::size_t end : inputEnds) {
        jasokit::detail::AppendConvertedUtf8(all.substr(begin, end - begin), options, output);
        outputEnds.push_back(output.size());
        begin = end;
      }
    }
    std::size_t begin = 0;
    for (std::size_t i = first; i < last; ++i) {
      const std::size_t end = outputEnds[i - first];
      PyObject* s = strings.Get(std::string_view(output).substr(begin, end - begin));
      if (!s) throw py::error_already_set();
      PyList_SET_ITEM(results.ptr(), i, s);
      begin = end;
    }
  }
  return results;
}

// A record of the table with its texts in UTF-8.
struct ZipRecord {
  std::string zipCode, province, district, locality, detail;
};

class ZipTable {
 public:
  explicit ZipTable(const std::string& path) {
    jasokit::ZipLoadStatus status;
    {
      py::gil_scoped_release release;
      status = m_db.Load(path);
    }
    if (status != jasokit::ZipLoadStatus::Ok) {
      PyErr_SetString(PyExc_OSError, jasokit::ZipLoadMessage(status));
      throw py::error_already_set();
    }
  }

  std::vector<ZipRecord> Find(py::handle name) const {
    std::vector<std::pair<std::string, jasokit::ZipRecordView>> hits;
    std::string query;
    if (Query(name, query)) {
      for (const jasokit::ZipRecordView& r : m_db.FindAll(query)) hits.emplace_back(jasokit::FormatSearchLine(r), r);
    }
    std::sort(hits.begin(), hits.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<ZipRecord> records;
    records.reserve(hits.size());
    for (const auto& [line, r] : hits) {
      records.push_back({FromCp949(r.zipCode), FromCp949(r.province), FromCp949(r.district), FromCp949(r.locality),
                         FromCp949(r.detail)});
    }
    return records;
  }

  py::list Lines(py::handle name) const {
    py::list lines;
    std::string query;
    if (Query(name, query)) {
      for (const std::string& line : jasokit::FormatSearchLines(m_db, query)) lines.append(Str(FromCp949(line)));
    }
    return lines;
  }

  std::size_t size() const { return m_db.size(); }

 private:
  // False for a name with no CP949 form: the table cannot hold it, and its
  // '?' stand-ins could only give false hits.
  static bool Query(py::handle name, std::string& query) { return jasokit::Utf8ToCp949(Utf8(name, "name"), query); }

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
                             "and country ('' where absent); else None.")
      .def("__repr__", [](const jasokit::Result& r) {
        return "jasokit.Result(status='" + std::string(jasokit::ConversionStatusName(r.status)) +
               "', normalized=" + Repr(Str(r.normalized)) + ", output=" + Repr(Str(r.output)) + ")";
      });

  m.def(
      "convert",
      [](py::handle text, py::handle style, py::handle country, py::handle db) {
        const jasokit::Options options = OptionsArg(style, country, db);
        return jasokit::Convert(Utf8(text, "text"), options);
      },
      py::arg("text"), py::arg("style") = "classic", py::arg("country") = py::none(), py::arg("db") = py::none(),
      "convert(text, style='classic', country=None, db=None) -> Result\n\n"
      "Converts one text: a Korean postal address (its first word a province or\n"
      "metropolitan city) is rewritten in English, any other text is romanized.\n"
      "style is 'classic' (words in reverse order, ending in S.KOREA) or\n"
      "'official' (the official English address format and the Revised\n"
      "Romanization); country replaces 'Republic of Korea' at the end of an\n"
      "official-style address; db, an AddressDB, writes an official-style\n"
      "address whose building it holds from its data. The text ends at its\n"
      "first NUL character; a lone\n"
      "surrogate counts as U+FFFD.");

  m.def("convert_many", &ConvertMany, py::arg("texts"), py::arg("style") = "classic", py::arg("country") = py::none(),
        py::arg("db") = py::none(),
        "convert_many(texts, style='classic', country=None, db=None) -> list[str]\n\n"
        "convert(text, style, country, db).output for every str of an iterable (a list,\n"
        "a generator, a pandas Series), '' for empty and refused texts. The loop\n"
        "runs without the GIL.");

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
      .def("__len__", &ZipTable::size, "The number of records.")
      .def("__repr__", [](const ZipTable& t) { return "<jasokit.ZipTable of " + std::to_string(t.size()) + " records>"; });

  // help() and repr() show them where users find them.
  for (const char* name : {"Result", "ZipRecord"}) m.attr(name).attr("__module__") = "jasokit";
}
