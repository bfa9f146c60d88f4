// The Python module karvon._karvon: the standard-form entry with numpy
// arrays in and out, and with every step of the solve as karvon-trace's
// page when asked. karvon/__init__.py builds linprog on it.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstddef>
#include <cstdint>
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

std::vector<std::string> statuses(const std::vector<karvon::BasisStatus>& v) {
  std::vector<std::string> out;
  out.reserve(v.size());
  for (const karvon::BasisStatus s : v) out.emplace_back(karvon::to_string(s));
  return out;
}

// solve(cost, matrix, row_lower, row_upper, col_lower, col_upper, offset,
// maximize, row_names, col_names, trace, title, max_steps, max_bytes,
// indptr, indices, integer_columns, iteration_limit, time_limit,
// memory_limit) -> dict. The matrix is m x n (any shape with m * n values is
// read by rows), or, when `indptr` is given, compressed by columns: `matrix`
// then holds the values, `indices` their rows (scipy's CSC). With `trace`,
// the dict's "trace" is karvon-trace's page of the solve (titled `title`),
// within the budget of max_steps and max_bytes.
py::dict solve(const Array& cost, const Array& matrix, const Array& row_lower,
               const Array& row_upper, const Array& col_lower,
               const Array& col_upper, double offset, bool maximize,
               std::vector<std::string> row_names,
               std::vector<std::string> col_names, bool trace,
               const std::string& title, std::int32_t max_steps,
               std::int64_t max_bytes, std::vector<std::int64_t> indptr,
               std::vector<std::int32_t> indices,
               std::vector<std::int32_t> integer_columns,
               std::int64_t iteration_limit, double time_limit,
               std::uint64_t memory_limit) {
  karvon::Model m;
  m.sense = maximize ? karvon::Sense::kMaximize : karvon::Sense::kMinimize;
  m.cost = to_vector(cost);
  m.offset = offset;
  if (indptr.empty()) {
    m.matrix = to_vector(matrix);
  } else {
    m.sparse.start = std::move(indptr);
    m.sparse.index = std::move(indices);
    m.sparse.value = to_vector(matrix);
  }
  m.row_lower = to_vector(row_lower);
  m.row_upper = to_vector(row_upper);
  m.col_lower = to_vector(col_lower);
  m.col_upper = to_vector(col_upper);
  m.row_names = std::move(row_names);
  m.col_names = std::move(col_names);
  m.integer_columns = std::move(integer_columns);
  m.options.iteration_limit = iteration_limit;
  m.options.time_limit = time_limit;
  m.options.memory_limit = memory_limit;
  karvon::ModelResult r;
  std::string page;
  {
    // The solve touches nothing of Python's: other threads may run.
    py::gil_scoped_release release;
    if (trace) {
      trace::PageBudget budget({max_steps, max_bytes}, title);
      trace::TracedRun run;
      run.note = trace::trace_model(m, run, budget, &r);
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
  d["col_status"] = statuses(r.col_status);
  d["row_status"] = statuses(r.row_status);
  d["ray"] = to_array(r.ray);
  d["farkas"] = to_array(r.farkas);
  d["relaxed_integers"] = r.relaxed_integers;
  py::dict q;
  q["primal_infeasibility"] = r.quality.primal_infeasibility;
  q["dual_infeasibility"] = r.quality.dual_infeasibility;
  q["duality_gap"] = r.quality.duality_gap;
  q["certified"] = r.quality.certified;
  d["quality"] = q;
  return d;
}

}  // namespace

PYBIND11_MODULE(_karvon, module) {
  module.doc() = "The karvon simplex solver's standard-form entry.";
  module.def(
      "solve", &solve, py::arg("cost"), py::arg("matrix"), py::arg("row_lower"),
      py::arg("row_upper"), py::arg("col_lower"), py::arg("col_upper"),
      py::arg("offset") = 0.0, py::arg("maximize") = false,
      py::arg("row_names") = std::vector<std::string>{},
      py::arg("col_names") = std::vector<std::string>{},
      py::arg("trace") = false, py::arg("title") = "linprog",
      py::arg("max_steps") = trace::Budget{}.max_steps,
      py::arg("max_bytes") = trace::Budget{}.max_bytes,
      py::arg("indptr") = std::vector<std::int64_t>{},
      py::arg("indices") = std::vector<std::int32_t>{},
      py::arg("integer_columns") = std::vector<std::int32_t>{},
      py::arg("iteration_limit") = 0, py::arg("time_limit") = karvon::kInfinity,
      py::arg("memory_limit") = 0);
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
