#pragma once
// Batches of texts for the Python module: read from Python objects, run on
// every core, and made into str objects in input order.
#include <pybind11/pybind11.h>

#include <string>

#include "jasokit/convert.h"

namespace jasokit::python {

namespace py = pybind11;

[[noreturn]] void ThrowTypeError(const std::string& what, py::handle object);

// Appends the UTF-8 form of a str to out, straight from its code points: no
// copy cached in the object, and a lone surrogate (which has no UTF-8 form)
// becomes U+FFFD, as invalid UTF-8 does in the library.
void AppendUtf8(PyObject* s, std::string& out);

// What a batch does to each text: the output of Convert, or Romanize.
struct BatchJob {
  bool romanize = false;
  Options options;  // romanize reads the style only
};

// The job's results for every str of texts (any iterable; a list, a tuple
// and a numpy array or pandas Series of objects are read in place), in
// order, on threads threads (None: every core). An item that is not a str is
// a TypeError naming it as what[i], unless isMissing is not None and the item
// is None, a float NaN or true by isMissing(item): then the result is the
// item itself.
py::list RunBatch(py::handle texts, const BatchJob& job, py::handle threads, py::handle isMissing,
                  const std::string& what);

}  // namespace jasokit::python
