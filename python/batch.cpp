// The texts go through in chunks: the calling thread reads a chunk's texts
// into UTF-8 and makes its results into str objects under the GIL, while
// worker threads, which never take the GIL, convert the chunks in between.
// So the serial part, which Python allows one thread at a time, overlaps
// the conversion instead of adding to it.
#include "batch.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

#include "frontend/batch_engine.h"
#include "jasokit/convert.h"

namespace jasokit::python {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

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

// The items of a batch, read where they are: a list's or tuple's, or those
// of the object array behind a numpy array or a pandas Series. Any other
// iterable is read into a list, once.
class Items {
 public:
  explicit Items(py::handle texts) {
    if (PyList_Check(texts.ptr()) || PyTuple_Check(texts.ptr())) {
      m_sequence = py::reinterpret_borrow<py::object>(texts);
    } else if (!ReadObjectArray(texts)) {
      m_sequence = py::reinterpret_steal<py::object>(PySequence_List(texts.ptr()));
      if (!m_sequence) throw py::error_already_set();
    }
    m_size = m_sequence ? static_cast<std::size_t>(PySequence_Fast_GET_SIZE(m_sequence.ptr())) : m_size;
  }

  std::size_t size() const { return m_size; }

  // Item i, borrowed; the GIL must be held. Another thread may change a list
  // while the GIL is released, so its size is checked each time.
  PyObject* operator[](std::size_t i) const {
    if (!m_sequence) {
      PyObject* item = *reinterpret_cast<PyObject* const*>(m_data + static_cast<std::ptrdiff_t>(i) * m_stride);
      return item ? item : Py_None;  // numpy's reading of a null object
    }
    if (static_cast<std::size_t>(PySequence_Fast_GET_SIZE(m_sequence.ptr())) != m_size) {
      throw std::runtime_error("texts changed size during the call");
    }
    return PySequence_Fast_GET_ITEM(m_sequence.ptr(), static_cast<Py_ssize_t>(i));
  }

 private:
  // A one-dimensional array of objects given by __array__, as numpy's array
  // interface describes it; false for anything else.
  bool ReadObjectArray(py::handle texts) {
    if (!py::hasattr(texts, "__array__")) return false;
    py::object array = texts.attr("__array__")();
    if (!py::hasattr(array, "__array_interface__")) return false;
    const py::dict face = array.attr("__array_interface__");
    const py::tuple shape = face["shape"];
    if (std::string(py::str(face["typestr"])) != "|O" || shape.size() != 1) return false;
    const py::object strides = face.contains("strides") ? py::object(face["strides"]) : py::none();
    m_stride = strides.is_none() ? static_cast<std::ptrdiff_t>(sizeof(PyObject*))
                                 : strides.cast<py::tuple>()[0].cast<std::ptrdiff_t>();
    m_data = reinterpret_cast<const char*>(face["data"].cast<py::tuple>()[0].cast<std::uintptr_t>());
    m_size = shape[0].cast<std::size_t>();
    m_array = std::move(array);
    return true;
  }

  py::object m_sequence;  // a list or tuple, or null for an array
  py::object m_array;     // keeps the array's items where m_data points
  const char* m_data = nullptr;
  std::ptrdiff_t m_stride = 0;
  std::size_t m_size = 0;
};

// Texts in a chunk: few enough that a chunk's texts and results stay in
// cache (a quarter or more faster than one pass over a million names), and
// a worker's turn costs far more than handing the chunk over.
constexpr std::size_t kChunkTexts = 1024;

struct Chunk {
  std::size_t first = 0, count = 0;
  std::string input, output;
  std::vector<std::size_t> inputEnds, outputEnds;
  std::vector<std::pair<std::size_t, py::object>> kept;  // missing values, by place in the chunk
};

// Workspaces for the calling threads, kept from call to call so that their
// engines stay warm; a Python thread outlives its batches, and the library
// keeps no per-thread state of its own.
class CallerWorkspaces {
 public:
  std::unique_ptr<ConversionWorkspace> Take() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_free.empty()) return std::make_unique<ConversionWorkspace>();
    std::unique_ptr<ConversionWorkspace> w = std::move(m_free.back());
    m_free.pop_back();
    return w;
  }
  void Give(std::unique_ptr<ConversionWorkspace> w) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_free.push_back(std::move(w));
  }

 private:
  std::mutex m_mutex;
  std::vector<std::unique_ptr<ConversionWorkspace>> m_free;
};

CallerWorkspaces& Callers() {
  static CallerWorkspaces callers;
  return callers;
}

void Run(const BatchJob& job, std::string_view text, std::string& out, ConversionWorkspace& workspace) {
  if (job.romanize) {
    workspace.AppendRomanized(text, job.options.style, out);
  } else {
    workspace.AppendConverted(text, job.options, out);
  }
}

void ConvertChunk(const BatchJob& job, Chunk& chunk, ConversionWorkspace& workspace) {
  const std::string_view all(chunk.input);
  std::size_t begin = 0;
  for (const std::size_t end : chunk.inputEnds) {
    Run(job, all.substr(begin, end - begin), chunk.output, workspace);
    chunk.outputEnds.push_back(chunk.output.size());
    begin = end;
  }
}

bool IsMissing(PyObject* item, py::handle isMissing) {
  if (item == Py_None || (PyFloat_Check(item) && std::isnan(PyFloat_AS_DOUBLE(item)))) return true;
  const py::object answer = isMissing(py::handle(item));
  return answer.ptr() == Py_True;
}

// One call's batch on the programs' batch engine: the caller reads and makes
// str objects under the GIL and converts without it while it waits.
class Batch {
 public:
  Batch(const BatchJob& job, const Items& items, py::handle isMissing, std::string what)
      : m_job(job), m_items(items), m_isMissing(isMissing), m_what(std::move(what)), m_strings(items.size()) {}

  py::list Results(std::size_t threads) {
    const std::size_t chunks = (m_items.size() + kChunkTexts - 1) / kChunkTexts;
    threads = std::max<std::size_t>(1, std::min(threads, chunks));
    py::list results(m_items.size());
    std::unique_ptr<ConversionWorkspace> helper = Callers().Take();
    std::size_t next = 0;  // the first text of the next chunk
    const auto read = [&](Chunk& chunk) {
      if (next == m_items.size()) return cli::ChunkRead::kEnd;
      const py::gil_scoped_acquire gil;
      Read(chunk, next);
      next += chunk.count;
      return cli::ChunkRead::kChunk;
    };
    const auto convert = [this](Chunk& chunk, ConversionWorkspace& workspace) {
      ConvertChunk(m_job, chunk, workspace);
    };
    const auto write = [&](Chunk& chunk) {
      const py::gil_scoped_acquire gil;
      Make(chunk, results.ptr());
      if (PyErr_CheckSignals() != 0) throw py::error_already_set();
      return true;
    };
    {
      const py::gil_scoped_release release;
      cli::BatchEngine engine(threads - 1);
      engine.RunOrdered<Chunk>(read, convert, write, helper.get());
    }
    Callers().Give(std::move(helper));
    return results;
  }

 private:
  // The chunk's texts in UTF-8.
  void Read(Chunk& chunk, std::size_t first) {
    chunk.first = first;
    chunk.count = std::min(kChunkTexts, m_items.size() - first);
    chunk.input.clear();
    chunk.inputEnds.clear();
    chunk.output.clear();
    chunk.outputEnds.clear();
    chunk.kept.clear();
    for (std::size_t i = 0; i < chunk.count; ++i) {
      PyObject* item = m_items[first + i];
      if (PyUnicode_Check(item)) {
        AppendUtf8(item, chunk.input);
      } else if (!m_isMissing.is_none() && IsMissing(item, m_isMissing)) {
        chunk.kept.emplace_back(i, py::reinterpret_borrow<py::object>(item));
      } else {
        ThrowTypeError(m_what + "[" + std::to_string(first + i) + "]", item);
      }
      chunk.inputEnds.push_back(chunk.input.size());
    }
  }

  void Make(Chunk& chunk, PyObject* results) {
    auto kept = chunk.kept.begin();
    std::size_t begin = 0;
    const std::string_view output(chunk.output);
    for (std::size_t i = 0; i < chunk.count; ++i) {
      const std::size_t end = chunk.outputEnds[i];
      PyObject* s = nullptr;
      if (kept != chunk.kept.end() && kept->first == i) {
        s = (kept++)->second.release().ptr();
      } else {
        s = m_strings.Get(output.substr(begin, end - begin));
        if (!s) throw py::error_already_set();
      }
      PyList_SET_ITEM(results, static_cast<Py_ssize_t>(chunk.first + i), s);
      begin = end;
    }
  }

  const BatchJob& m_job;
  const Items& m_items;
  py::handle m_isMissing;
  std::string m_what;
  ResultStrings m_strings;
};

// More threads than cores only cost memory (a stack each): they are capped
// at the cores, with a warning.
std::size_t ThreadsArg(py::handle threads) {
  const std::size_t cores = cli::AllCores();
  if (threads.is_none()) return cores;
  if (!PyLong_Check(threads.ptr()) || PyBool_Check(threads.ptr())) {
    throw py::type_error(std::string("threads must be int or None, not ") + Py_TYPE(threads.ptr())->tp_name);
  }
  int overflow = 0;
  const long long n = PyLong_AsLongLongAndOverflow(threads.ptr(), &overflow);
  if (overflow < 0 || (overflow == 0 && n < 1)) {
    throw py::value_error("threads must be at least 1, not " + std::string(py::str(threads)));
  }
  if (overflow == 0 && static_cast<unsigned long long>(n) <= cores) return static_cast<std::size_t>(n);
  const std::string message = "threads=" + std::string(py::str(threads)) + " is more than the " +
                              std::to_string(cores) + " cores; using " + std::to_string(cores);
  if (PyErr_WarnEx(PyExc_RuntimeWarning, message.c_str(), 2) != 0) throw py::error_already_set();
  return cores;
}

}  // namespace

void ThrowTypeError(const std::string& what, py::handle object) {
  throw py::type_error(what + " must be str, not " + Py_TYPE(object.ptr())->tp_name);
}

void AppendUtf8(PyObject* s, std::string& out) {
  const Py_ssize_t length = PyUnicode_GET_LENGTH(s);
  const void* data = PyUnicode_DATA(s);
  if (PyUnicode_IS_ASCII(s)) {
    out.append(static_cast<const char*>(data), static_cast<std::size_t>(length));
    return;
  }
  const std::size_t start = out.size();
  const int kind = PyUnicode_KIND(s);
  out.resize(start + static_cast<std::size_t>(length) * (kind == PyUnicode_1BYTE_KIND   ? 2
                                                         : kind == PyUnicode_2BYTE_KIND ? 3
                                                                                        : 4));
  char* begin = &out[start];
  char* end = kind == PyUnicode_1BYTE_KIND   ? EncodeUtf8(static_cast<const Py_UCS1*>(data), length, begin)
              : kind == PyUnicode_2BYTE_KIND ? EncodeUtf8(static_cast<const Py_UCS2*>(data), length, begin)
                                             : EncodeUtf8(static_cast<const Py_UCS4*>(data), length, begin);
  out.resize(start + static_cast<std::size_t>(end - begin));
}

py::list RunBatch(py::handle texts, const BatchJob& job, py::handle threads, py::handle isMissing,
                  const std::string& what) {
  const std::size_t threadCount = ThreadsArg(threads);
  // A str is an iterable of str too, but never meant as one here.
  if (PyUnicode_Check(texts.ptr())) throw py::type_error(what + " must be an iterable of str, not str");
  const Items items(texts);
  Batch batch(job, items, isMissing, what);
  return batch.Results(threadCount);
}

}  // namespace jasokit::python
