// solve(const Model&): a model in its own terms, checked, sized against
// the memory it would need, taken into the model road's sparse form and
// solved there; the answer comes back checked against the model as given,
// with its measures, and is reported in the model's own terms.

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "karvon/karvon.h"
#include "simplex/solve.h"

namespace karvon {
namespace {

ModelResult refuse(ModelStatus status, std::string message) {
  ModelResult r;
  r.status = status;
  r.message = std::move(message);
  return r;
}

// Row or column `index` (from 0) by its name, or by its number when unnamed.
std::string name_of(const std::vector<std::string>& names, const char* what,
                    std::size_t index) {
  if (index < names.size())
    return std::string(what) + " '" + names[index] + "'";
  return std::string(what) + " " + std::to_string(index + 1);
}

// A side or bound this large is no side or bound at all.
constexpr double kAbsent = 1e30;

std::string check_sparse(const Model& m, std::size_t rows, std::size_t n) {
  const SparseMatrix& a = m.sparse;
  const bool by_columns = a.format == SparseMatrix::Format::kColumnwise;
  if (!by_columns && a.format != SparseMatrix::Format::kRowwise)
    return "the sparse matrix's format is neither columnwise nor rowwise";
  if (!m.matrix.empty()) return "the matrix is given both dense and sparse";
  const std::size_t lines = by_columns ? n : rows;
  const std::size_t other = by_columns ? rows : n;
  if (a.start.size() != lines + 1) {
    return "the sparse matrix has " + std::to_string(a.start.size()) +
           " starts for " + std::to_string(lines) +
           (by_columns ? " columns" : " rows") + " (one more is needed)";
  }
  if (a.index.size() != a.value.size()) {
    return "the sparse matrix has " + std::to_string(a.index.size()) +
           " indices for " + std::to_string(a.value.size()) + " values";
  }
  if (a.start.front() != 0 ||
      a.start.back() != static_cast<std::int64_t>(a.index.size()))
    return "the sparse matrix's starts do not run from 0 to its entries";
  for (std::size_t k = 0; k < lines; ++k) {
    if (a.start[k + 1] < a.start[k])
      return "the sparse matrix's starts go down at " + std::to_string(k);
  }
  for (std::size_t e = 0; e < a.index.size(); ++e) {
    if (a.index[e] < 0 || static_cast<std::size_t>(a.index[e]) >= other) {
      return "the sparse matrix has an entry in " +
             std::string(by_columns ? "row " : "column ") +
             std::to_string(a.index[e] + 1) + " of " + std::to_string(other);
    }
    if (!std::isfinite(a.value[e]))
      return "the sparse matrix has a value that is not finite";
  }
  return {};
}

// The checks of solve(); an empty string when the model keeps every rule.
std::string check(const Model& m) {
  const std::size_t n = m.cost.size();
  const std::size_t rows = m.row_lower.size();
  if (m.row_upper.size() != rows) {
    return "there are " + std::to_string(m.row_upper.size()) +
           " upper sides for " + std::to_string(rows) + " lower sides of rows";
  }
  if (!m.col_lower.empty() && m.col_lower.size() != n) {
    return "there are " + std::to_string(m.col_lower.size()) +
           " lower bounds for " + std::to_string(n) + " columns";
  }
  if (!m.col_upper.empty() && m.col_upper.size() != n) {
    return "there are " + std::to_string(m.col_upper.size()) +
           " upper bounds for " + std::to_string(n) + " columns";
  }
  if (!m.sparse.start.empty()) {
    std::string e = check_sparse(m, rows, n);
    if (!e.empty()) return e;
  } else if (m.matrix.size() != rows * n) {
    return "the matrix has " + std::to_string(m.matrix.size()) +
           " values for " + std::to_string(rows) + " rows of " +
           std::to_string(n) + " columns";
  }
  if (rows > std::size_t(INT32_MAX) - 1 || n > std::size_t(INT32_MAX) - 1)
    return "the model has more rows or columns than can be numbered";
  if (!m.row_names.empty() && m.row_names.size() != rows)
    return "there are " + std::to_string(m.row_names.size()) + " row names";
  if (!m.col_names.empty() && m.col_names.size() != n)
    return "there are " + std::to_string(m.col_names.size()) + " column names";
  if (m.sense != Sense::kMinimize && m.sense != Sense::kMaximize)
    return "the sense is neither minimise nor maximise";
  if (!std::isfinite(m.offset)) return "the objective's offset is not finite";
  for (const std::int32_t j : m.integer_columns) {
    if (j < 0 || static_cast<std::size_t>(j) >= n)
      return "integer column " + std::to_string(j) + " is not a column";
  }
  if (std::isnan(m.options.time_limit) || m.options.time_limit < 0)
    return "the time limit is negative or NaN";
  if (m.options.iteration_limit < 0) return "the iteration limit is negative";
  for (std::size_t j = 0; j < n; ++j) {
    const std::string column = name_of(m.col_names, "column", j);
    if (!std::isfinite(m.cost[j]))
      return "the cost of " + column + " is not finite";
    const double lo = m.col_lower.empty() ? 0.0 : m.col_lower[j];
    const double hi = m.col_upper.empty() ? kInfinity : m.col_upper[j];
    if (std::isnan(lo) || lo == kInfinity)
      return "the lower bound of " + column + " is NaN or +infinity";
    if (std::isnan(hi) || hi == -kInfinity)
      return "the upper bound of " + column + " is NaN or -infinity";
  }
  for (std::size_t i = 0; i < rows; ++i) {
    const std::string row = name_of(m.row_names, "row", i);
    if (std::isnan(m.row_lower[i]) || m.row_lower[i] == kInfinity)
      return "the lower side of " + row + " is NaN or +infinity";
    if (std::isnan(m.row_upper[i]) || m.row_upper[i] == -kInfinity)
      return "the upper side of " + row + " is NaN or -infinity";
  }
  for (std::size_t e = 0; e < m.matrix.size(); ++e) {
    if (!std::isfinite(m.matrix[e])) {
      return "the coefficient of " + name_of(m.col_names, "column", e % n) +
             " in " + name_of(m.row_names, "row", e / n) + " is not finite";
    }
  }
  return {};
}

// A number as a person writes it: 3, 0.25, 1e+14.
std::string number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", v);
  return text;
}

std::string quoted_name(const std::vector<std::string>& names, char prefix,
                        std::size_t index) {
  return "'" +
         (index < names.size()
              ? names[index]
              : std::string(1, prefix) + std::to_string(index + 1)) +
         "'";
}

double lower_of(double v) { return v <= -kAbsent ? -kInfinity : v; }
double upper_of(double v) { return v >= kAbsent ? kInfinity : v; }

// The model minimised, by columns, with every bound explicit: entries at
// one position are added up, zeros left out.
simplex::Problem problem_of(const Model& m) {
  const std::size_t n = m.cost.size();
  const std::size_t rows = m.row_lower.size();
  const double sense = static_cast<double>(m.sense);
  simplex::Problem p;
  p.rows = static_cast<std::int32_t>(rows);
  p.cols = static_cast<std::int32_t>(n);
  p.start.assign(n + 1, 0);
  std::vector<std::vector<std::pair<std::int32_t, double>>> by_column;
  if (m.sparse.start.empty()) {
    for (std::size_t j = 0; j < n; ++j) {
      for (std::size_t i = 0; i < rows; ++i) {
        const double a = m.matrix[i * n + j];
        if (a != 0.0) {
          p.index.push_back(static_cast<std::int32_t>(i));
          p.value.push_back(a);
        }
      }
      p.start[j + 1] = static_cast<std::int64_t>(p.index.size());
    }
  } else {
    by_column.resize(n);
    const SparseMatrix& a = m.sparse;
    const bool by_columns = a.format == SparseMatrix::Format::kColumnwise;
    const std::size_t lines = by_columns ? n : rows;
    for (std::size_t l = 0; l < lines; ++l) {
      for (auto e = a.start[l]; e < a.start[l + 1]; ++e) {
        const auto k = static_cast<std::size_t>(e);
        const std::size_t j = by_columns ? l : std::size_t(a.index[k]);
        const auto i =
            static_cast<std::int32_t>(by_columns ? std::size_t(a.index[k]) : l);
        by_column[j].emplace_back(i, a.value[k]);
      }
    }
    for (std::size_t j = 0; j < n; ++j) {
      auto& c = by_column[j];
      std::sort(c.begin(), c.end(),
                [](const auto& x, const auto& y) { return x.first < y.first; });
      for (std::size_t k = 0; k < c.size();) {
        double sum = 0;
        const std::int32_t i = c[k].first;
        for (; k < c.size() && c[k].first == i; ++k) sum += c[k].second;
        if (sum != 0.0) {
          p.index.push_back(i);
          p.value.push_back(sum);
        }
      }
      p.start[j + 1] = static_cast<std::int64_t>(p.index.size());
      std::vector<std::pair<std::int32_t, double>>().swap(c);
    }
  }
  p.cost.resize(n);
  p.col_lower.resize(n);
  p.col_upper.resize(n);
  for (std::size_t j = 0; j < n; ++j) {
    p.cost[j] = sense * m.cost[j];
    p.col_lower[j] = lower_of(m.col_lower.empty() ? 0.0 : m.col_lower[j]);
    p.col_upper[j] = upper_of(m.col_upper.empty() ? kInfinity : m.col_upper[j]);
  }
  p.row_lower.resize(rows);
  p.row_upper.resize(rows);
  for (std::size_t i = 0; i < rows; ++i) {
    p.row_lower[i] = lower_of(m.row_lower[i]);
    p.row_upper[i] = upper_of(m.row_upper[i]);
  }
  return p;
}

// Bounds or sides that cross: infeasible without a solve.
std::string crossing(const Model& m, const simplex::Problem& p) {
  for (std::size_t j = 0; j < std::size_t(p.cols); ++j) {
    if (p.col_lower[j] > p.col_upper[j]) {
      return "column " + quoted_name(m.col_names, 'C', j) +
             " has its lower bound " + number(p.col_lower[j]) +
             " above its upper bound " + number(p.col_upper[j]);
    }
  }
  for (std::size_t i = 0; i < std::size_t(p.rows); ++i) {
    if (p.row_lower[i] > p.row_upper[i]) {
      return "row " + quoted_name(m.row_names, 'R', i) +
             " has its lower side above its upper side";
    }
  }
  return {};
}

// Half of the machine's memory: a fair share when the caller sets none.
std::uint64_t default_memory_limit() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long size = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || size <= 0) return std::uint64_t(4) << 30;
  return std::uint64_t(pages) * std::uint64_t(size) / 2;
}

std::string megabytes(std::uint64_t bytes) {
  return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MB";
}

ModelStatus status_of(simplex::Status s) {
  switch (s) {
    case simplex::Status::kOptimal:
      return ModelStatus::kOptimal;
    case simplex::Status::kInfeasible:
      return ModelStatus::kInfeasible;
    case simplex::Status::kUnbounded:
      return ModelStatus::kUnbounded;
    case simplex::Status::kIterationLimit:
      return ModelStatus::kIterationLimit;
    case simplex::Status::kTimeLimit:
      return ModelStatus::kTimeLimit;
    case simplex::Status::kNotCertified:
      return ModelStatus::kNotCertified;
    case simplex::Status::kUnsettled:
      break;
  }
  return ModelStatus::kUnsettled;
}

BasisStatus basis_of(simplex::Position p) {
  switch (p) {
    case simplex::Position::kBasic:
      return BasisStatus::kBasic;
    case simplex::Position::kLower:
      return BasisStatus::kLower;
    case simplex::Position::kUpper:
      return BasisStatus::kUpper;
    case simplex::Position::kFree:
      return BasisStatus::kFree;
    case simplex::Position::kFixed:
      break;
  }
  return BasisStatus::kFixed;
}

// The sentence that goes with a status: the measures where a check failed.
std::string message_of(const ModelResult& r) {
  std::string text = to_string(r.status);
  if (r.status == ModelStatus::kNotCertified ||
      r.status == ModelStatus::kUnsettled) {
    text += " (largest relative primal infeasibility " +
            number(r.quality.primal_infeasibility) + ", dual infeasibility " +
            number(r.quality.dual_infeasibility) + ", duality gap " +
            number(r.quality.duality_gap) + ")";
  }
  return text;
}

ModelResult solve_checked(const Model& m, StepObserver* observer) {
  const std::string error = check(m);
  if (!error.empty()) return refuse(ModelStatus::kRefused, error);
  const std::size_t n = m.cost.size();
  const std::size_t rows = m.row_lower.size();
  const std::uint64_t need =
      simplex::bytes_needed(std::int64_t(rows), std::int64_t(n));
  const std::uint64_t limit = m.options.memory_limit > 0
                                  ? m.options.memory_limit
                                  : default_memory_limit();
  if (need > limit) {
    return refuse(ModelStatus::kTooLarge,
                  "too large: " + std::to_string(rows) + " rows and " +
                      std::to_string(n) + " columns need " + megabytes(need) +
                      " for the tableau; the memory limit is " +
                      megabytes(limit));
  }
  const simplex::Problem p = problem_of(m);
  ModelResult r;
  // Integer columns counted once each, however often they are named.
  std::vector<std::int32_t> integers = m.integer_columns;
  std::sort(integers.begin(), integers.end());
  r.relaxed_integers = static_cast<std::int32_t>(
      std::unique(integers.begin(), integers.end()) - integers.begin());
  const std::string crossed = crossing(m, p);
  if (!crossed.empty()) {
    ModelResult c = refuse(ModelStatus::kInfeasible, crossed);
    c.relaxed_integers = r.relaxed_integers;
    c.quality.certified = true;
    return c;
  }
  simplex::Options options;
  options.iteration_limit = m.options.iteration_limit;
  options.time_limit = m.options.time_limit;
  const simplex::Answer a = simplex::solve(p, options, observer);
  const double sense = static_cast<double>(m.sense);
  r.status = status_of(a.status);
  r.iterations = a.iterations;
  r.x = a.x;
  r.row_activity = a.activity;
  r.objective = m.offset;
  for (std::size_t j = 0; j < n; ++j) r.objective += m.cost[j] * r.x[j];
  if (a.status == simplex::Status::kOptimal ||
      a.status == simplex::Status::kNotCertified) {
    r.row_duals.resize(rows);
    r.reduced_costs.resize(n);
    for (std::size_t i = 0; i < rows; ++i)
      r.row_duals[i] = sense * a.row_duals[i];
    for (std::size_t j = 0; j < n; ++j)
      r.reduced_costs[j] = sense * a.reduced_costs[j];
  }
  r.col_status.resize(n);
  r.row_status.resize(rows);
  for (std::size_t j = 0; j < n; ++j)
    r.col_status[j] = basis_of(a.col_position[j]);
  for (std::size_t i = 0; i < rows; ++i)
    r.row_status[i] = basis_of(a.row_position[i]);
  if (r.status == ModelStatus::kUnbounded) r.ray = a.ray;
  if (r.status == ModelStatus::kInfeasible) r.farkas = a.farkas;
  r.quality.primal_infeasibility = a.measures.primal;
  r.quality.dual_infeasibility = a.measures.dual;
  r.quality.duality_gap = a.measures.gap;
  r.quality.certified = a.certified;
  r.message = message_of(r);
  return r;
}

}  // namespace

const char* to_string(ModelStatus status) noexcept {
  switch (status) {
    case ModelStatus::kOptimal:
      return "optimal";
    case ModelStatus::kInfeasible:
      return "infeasible";
    case ModelStatus::kUnbounded:
      return "unbounded";
    case ModelStatus::kIterationLimit:
      return "iteration limit";
    case ModelStatus::kUnsettled:
      return "could not settle";
    case ModelStatus::kRefused:
      return "model refused";
    case ModelStatus::kTooLarge:
      return "too large";
    case ModelStatus::kTimeLimit:
      return "time limit";
    case ModelStatus::kNotCertified:
      return "optimal, not certified";
  }
  return "unknown status";
}

const char* to_string(BasisStatus status) noexcept {
  switch (status) {
    case BasisStatus::kBasic:
      return "B";
    case BasisStatus::kLower:
      return "NL";
    case BasisStatus::kUpper:
      return "NU";
    case BasisStatus::kFree:
      return "NF";
    case BasisStatus::kFixed:
      return "NS";
  }
  return "?";
}

ModelResult solve(const Model& model, StepObserver* observer) {
  try {
    return solve_checked(model, observer);
  } catch (const std::bad_alloc&) {
    return refuse(ModelStatus::kRefused, "not enough memory");
  }
}

}  // namespace karvon
