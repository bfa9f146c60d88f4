// The Python module karvon._karvon: the standard-form entry with numpy
// arrays in and out, and with every step of the solve as karvon-trace's
// page when asked. karvon/__init__.py builds linprog on it.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

#include "files/files.h"
#include "karvon/karvon.h"
#include "karvon/version.h"
#include "trace/page.h"
#include "trace/trace_run.h"

namespace py = pybind11;

namespace {

using Array = py::array_t<double, py::array::c_style | py::array::forcecast>;

std::vector<double> to_vector(const Array& a) {
  return std::vector<double>(a.data(), a.data() + a.size());
}

Array to_array(const std::vector<double>& v) {
  Array a(static_cast<py::ssize_t>(v.size()));
  std::copy(v.begin(), v.end(), a.mutable_data());
  return a;
}

// solve(cost, matrix, row_lower, row_upper, col_lower, col_upper, offset,
// maximize, row_names, col_names, trace) -> dict. The matrix is m x n (any
// shape with m * n values is read by rows). With `trace`, the dict's "trace"
// is karvon-trace's page of the solve (titled `title`).
py::dict solve(const Array& cost, const Array& matrix, const Array& row_lower,
               const Array& row_upper, const Array& col_lower,
               const Array& col_upper, double offset, bool maximize,
               std::vector<std::string> row_names,
               std::vector<std::string> col_names, bool trace,
               const std::string& title) {
  karvon::Model m;
  m.sense = maximize ? karvon::Sense::kMaximize : karvon::Sense::kMinimize;
  m.cost = to_vector(cost);
  m.offset = offset;
  m.matrix = to_vector(matrix);
  m.row_lower = to_vector(row_lower);
  m.row_upper = to_vector(row_upper);
  m.col_lower = to_vector(col_lower);
  m.col_upper = to_vector(col_upper);
  m.row_names = std::move(row_names);
  m.col_names = std::move(col_names);
  karvon::ModelResult r;
  std::string page;
  {
    // The solve touches nothing of Python's: other threads may run.
    py::gil_scoped_release release;
    if (trace) {
      const trace::TracedRun run = trace::trace_model(m, &r);
      page = trace::page(run.problems, title, run.note);
    } else {
      r = karvon::solve(m);
    }
  }
  py::dict d;
  if (trace) d["trace"] = page;
  d["status"] = karvon::to_string(r.status);
  d["message"] = r.message;
  d["x"] = to_array(r.x);
  d["row_activity"] = to_array(r.row_activity);
  d["objective"] = r.objective;
  d["iterations"] = r.iterations;
  d["row_duals"] = to_array(r.row_duals);
  d["reduced_costs"] = to_array(r.reduced_costs);
  return d;
}

}  // namespace

PYBIND11_MODULE(_karvon, module) {
  module.doc() = "The karvon simplex solver's standard-form entry.";
  module.def("solve", &solve, py::arg("cost"), py::arg("matrix"),
             py::arg("row_lower"), py::arg("row_upper"), py::arg("col_lower"),
             py::arg("col_upper"), py::arg("offset") = 0.0,
             py::arg("maximize") = false,
             py::arg("row_names") = std::vector<std::string>{},
             py::arg("col_names") = std::vector<std::string>{},
             py::arg("trace") = false, py::arg("title") = "linprog");
  // The page written as karvon-trace writes it: whole or not at all, a
  // FIFO or a device straight, the previous file kept when a write fails.
  module.def(
      "write_output",
      [](const std::string& path, const std::string& text) {
        std::string error;
        bool ok = false;
        {
          const py::gil_scoped_release unlocked;
          ok = files::write_output(path, text, error);
        }
        if (!ok) throw std::runtime_error(error);
      },
      py::arg("path"), py::arg("text"));
  module.def("version", [] { return std::string(karvon::version()); });
}
