// solve(): LINEAR for a problem in ordinary containers, checked first, so
// that nothing in it can make the solver index outside its arrays or end
// the program.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <new>
#include <set>
#include <string>

#include "api/tableau_run.h"
#include "common/lp.h"
#include "karvon/karvon.h"
#include "solver/linear.h"

namespace karvon {

// The public header restates the solver's vocabulary in C++17 terms.
static_assert(kNoBoundThreshold == lp::kNoBoundThreshold);
static_assert(kOptimal == lp::kOptimal && kUnbounded == lp::kUnbounded &&
              kInfeasible == lp::kInfeasible && kUnsettled == lp::kUnsettled &&
              kIterationLimit == lp::kIterationLimit);

namespace {

// LINEAR's settings here: the initial tableau in ASAVE or not kept at all,
// no prints.
constexpr std::int32_t kSaveInMemory = -1;
constexpr std::int32_t kKeepTableau = 0;
constexpr std::int32_t kNoPrint = 0;

// Labels and counts must leave room for the artificial numbers NV+1, ...
constexpr std::int64_t kMaxCount = std::numeric_limits<std::int32_t>::max() / 4;

Solution refuse(std::string message) {
  Solution s;
  s.error = SolveError::kBadProblem;
  s.message = std::move(message);
  return s;
}

std::string at(const char* what, std::size_t index) {
  std::string s(what);
  s.append(" ");
  s.append(std::to_string(index + 1));
  return s;
}

// The checks of solve(); an empty string when the problem keeps every rule.
std::string check(const Problem& p) {
  const std::size_t m = p.rows.size();
  if (m == 0)
    return "the problem has no rows (the objective row is the last one)";
  const std::size_t n = p.rows.front().size();
  if (n == 0)
    return "the rows have no values (the right-hand side is the last one)";
  if (m + 1 > std::size_t(kMaxCount) || n > std::size_t(kMaxCount) ||
      p.bounds.size() > std::size_t(kMaxCount)) {
    return "the problem is too large";
  }
  for (std::size_t i = 0; i < m; ++i) {
    if (p.rows[i].size() != n) {
      return at("row", i) + " has " + std::to_string(p.rows[i].size()) +
             " values; row 1 has " + std::to_string(n);
    }
    for (std::size_t j = 0; j < n; ++j) {
      if (!std::isfinite(p.rows[i][j])) {
        return at("row", i) + ", " + at("column", j) +
               " is not a finite number";
      }
    }
  }
  if (p.row_labels.size() != m - 1) {
    return "there are " + std::to_string(p.row_labels.size()) +
           " row labels for " + std::to_string(m - 1) + " constraint rows";
  }
  if (p.column_labels.size() != n - 1) {
    return "there are " + std::to_string(p.column_labels.size()) +
           " column labels for " + std::to_string(n - 1) + " columns";
  }
  for (std::size_t k = 0; k < p.bounds.size(); ++k) {
    if (!(p.bounds[k] >= 0))
      return at("the bound of variable", k) + " is negative or NaN";
  }
  // Every label names a different variable among 1..NV. The solver would
  // take a label above NV for an artificial variable and hold it at zero:
  // a slack given no bound would make its row an equation.
  const auto nv = static_cast<std::int64_t>(p.bounds.size());
  std::set<std::int64_t> seen;
  const auto check_label = [&](const char* what, std::size_t index,
                               std::int32_t label) -> std::string {
    const std::int64_t magnitude = std::abs(std::int64_t{label});
    if (magnitude > nv) {
      return at(what, index) + " names variable " + std::to_string(magnitude) +
             ", above the " + std::to_string(nv) +
             " variables that have bounds";
    }
    if (!seen.insert(magnitude).second) {
      return at(what, index) + " names variable " + std::to_string(magnitude) +
             " twice";
    }
    return {};
  };
  for (std::size_t i = 0; i < p.row_labels.size(); ++i) {
    if (p.row_labels[i] == 0) continue;  // an equation
    std::string error = check_label("row label", i, p.row_labels[i]);
    if (!error.empty()) return error;
  }
  for (std::size_t j = 0; j < p.column_labels.size(); ++j) {
    if (p.column_labels[j] == 0) return at("column label", j) + " is 0";
    std::string error = check_label("column label", j, p.column_labels[j]);
    if (!error.empty()) return error;
  }
  return {};
}

detail::TableauRun run(const Problem& p, detail::Restart restart,
                       StepObserver* observer) {
  const auto M = static_cast<std::int32_t>(p.rows.size());
  const auto N = static_cast<std::int32_t>(p.rows.front().size());
  const auto NV = static_cast<std::int32_t>(p.bounds.size());
  const std::int32_t LDA = M + 1;  // row M+1 is the solver's phase-1 row
  const std::int32_t NCOL = N;
  const std::size_t cells = std::size_t(LDA) * std::size_t(NCOL);

  std::vector<double> A(cells, 0.0);
  for (std::int32_t i = 0; i < M; ++i) {
    for (std::int32_t j = 0; j < N; ++j) {
      A[std::size_t(j) * std::size_t(LDA) + std::size_t(i)] =
          p.rows[std::size_t(i)][std::size_t(j)];
    }
  }
  std::vector<double> ASAVE(cells, 0.0);
  std::vector<std::int32_t> ROW = p.row_labels;
  std::vector<std::int32_t> COL = p.column_labels;
  std::vector<std::int32_t> ROW0(ROW.size(), 0);
  std::vector<std::int32_t> COL0(COL.size(), 0);
  // Every label lies within 1..NV (checked); equation rows' artificial
  // variables NV+1, ... never index BOUND or X.
  std::vector<double> BOUND = p.bounds;
  std::vector<double> X(BOUND.size(), 0.0);

  detail::TableauRun r;
  Solution& s = r.solution;
  std::int32_t STATUS = 0;
  std::int32_t ITER = 0;
  const std::int32_t IUNIT =
      restart == detail::Restart::kRecompute ? kSaveInMemory : kKeepTableau;
  try {
    LINEAR(A, ROW, COL, BOUND, X, M, N, NV, STATUS, ITER, LDA, NCOL, ASAVE,
           ROW0, COL0, IUNIT, kNoPrint, observer);
  } catch (const Stop& stop) {
    s.error = SolveError::kStopped;
    s.message = "the solver stopped with code " + std::to_string(stop.code());
    return r;
  }
  s.status = STATUS;
  s.iterations = ITER;
  s.values.assign(X.begin(), X.begin() + NV);
  s.objective = -A[std::size_t(N - 1) * std::size_t(LDA) + std::size_t(M - 1)];
  r.LDA = LDA;
  r.A = std::move(A);
  r.ROW = std::move(ROW);
  return r;
}

}  // namespace

namespace detail {

TableauRun run_tableau(const Problem& problem, Restart restart,
                       StepObserver* observer) {
  const std::string problem_error = check(problem);
  if (!problem_error.empty()) return {refuse(problem_error), 0, {}, {}};
  try {
    return run(problem, restart, observer);
  } catch (const std::bad_alloc&) {
    TableauRun r;
    r.solution.error = SolveError::kNoMemory;
    r.solution.message = "not enough memory for the solver's arrays";
    return r;
  }
}

}  // namespace detail

Solution solve(const Problem& problem, StepObserver* observer) {
  return detail::run_tableau(problem, detail::Restart::kRecompute, observer)
      .solution;
}

}  // namespace karvon
