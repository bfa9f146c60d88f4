// solve(const Model&): a model in its own terms, checked, brought into the
// solver's tableau form by the same transformations as mps2deck's decks,
// solved by the tableau-form entry and mapped back: values, activities,
// duals and reduced costs of the model's own rows and columns.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "api/model_deck.h"
#include "api/tableau_run.h"
#include "common/lp.h"
#include "karvon/karvon.h"
#include "model/deck_builder.h"

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
  if (m.matrix.size() != rows * n) {
    return "the matrix has " + std::to_string(m.matrix.size()) +
           " values for " + std::to_string(rows) + " rows of " +
           std::to_string(n) + " columns";
  }
  if (!m.row_names.empty() && m.row_names.size() != rows)
    return "there are " + std::to_string(m.row_names.size()) + " row names";
  if (!m.col_names.empty() && m.col_names.size() != n)
    return "there are " + std::to_string(m.col_names.size()) + " column names";
  if (m.sense != Sense::kMinimize && m.sense != Sense::kMaximize)
    return "the sense is neither minimise nor maximise";
  if (!std::isfinite(m.offset)) return "the objective's offset is not finite";
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
    for (std::size_t j = 0; j < n; ++j) {
      if (!std::isfinite(m.matrix[i * n + j])) {
        return "the coefficient of " + name_of(m.col_names, "column", j) +
               " in " + row + " is not finite";
      }
    }
  }
  return {};
}

// R1, R2, ... and C1, C2, ...: the names of unnamed rows and columns.
std::string numbered(char prefix, std::size_t index) {
  std::string name(1, prefix);
  name += std::to_string(index + 1);
  return name;
}

}  // namespace

namespace detail {

model::Model to_transform(const Model& m) {
  const std::size_t n = m.cost.size();
  const std::size_t rows = m.row_lower.size();
  const double sense = static_cast<double>(m.sense);
  model::Model t;
  t.objective_constant = sense * m.offset;
  for (std::size_t i = 0; i < rows; ++i) {
    t.rows.push_back(
        {i < m.row_names.size() ? m.row_names[i] : numbered('R', i),
         m.row_lower[i], m.row_upper[i]});
  }
  for (std::size_t j = 0; j < n; ++j) {
    model::ModelColumn c;
    c.name = j < m.col_names.size() ? m.col_names[j] : numbered('C', j);
    c.lower = m.col_lower.empty() ? 0.0 : m.col_lower[j];
    c.upper = m.col_upper.empty() ? kInfinity : m.col_upper[j];
    c.cost = sense * m.cost[j];
    for (std::size_t i = 0; i < rows; ++i) {
      const double a = m.matrix[i * n + j];
      if (a != 0.0) c.entries.emplace_back(static_cast<std::int32_t>(i), a);
    }
    t.columns.push_back(std::move(c));
  }
  return t;
}

}  // namespace detail

namespace {

// The deck as the tableau-form entry takes it, numbered as the driver
// numbers a deck: the deck's columns are variables 1..nc, the slack or
// surplus of each inequality row follows in row order.
Problem to_problem(const model::Deck& d) {
  Problem p;
  p.rows = d.rows;
  auto v = static_cast<std::int32_t>(d.columns.size());
  for (const std::int32_t kind : d.row_kinds)
    p.row_labels.push_back(kind == 0 ? 0 : kind * ++v);
  for (std::size_t j = 0; j < d.columns.size(); ++j)
    p.column_labels.push_back(static_cast<std::int32_t>(j + 1));
  // A deck writes kNoBound, or nothing, for no bound.
  p.bounds.assign(static_cast<std::size_t>(v), lp::kNoBound);
  for (std::size_t k = 0; k < d.bounds.size(); ++k)
    if (d.bounds[k] > 0) p.bounds[k] = d.bounds[k];
  return p;
}

// A finite bound the solver would not enforce: it takes 1e10 and more as
// none.
std::string unenforceable_bound(const Problem& p) {
  for (std::size_t k = 0; k < p.bounds.size(); ++k) {
    const double b = p.bounds[k];
    if (b >= lp::kNoBoundThreshold && b != lp::kNoBound) {
      return "a bound or range width of " + std::to_string(b) +
             " once shifted is beyond what the solver enforces (below 1e10)";
    }
  }
  return {};
}

ModelStatus status_of(std::int32_t STATUS) {
  switch (STATUS) {
    case kOptimal:
      return ModelStatus::kOptimal;
    case kUnbounded:
      return ModelStatus::kUnbounded;
    case kInfeasible:
      return ModelStatus::kInfeasible;
    case kIterationLimit:
      return ModelStatus::kIterationLimit;
    default:
      return ModelStatus::kUnsettled;
  }
}

// Solves B' pi = c_B for the duals of the deck's rows, where B holds the
// final basis's columns in the rows' equation form: a deck column as given,
// the slack of a <= row +e_i, the surplus of a >= row -e_i, an artificial
// variable e_i. Gaussian elimination with partial pivoting. The basis of
// a sound tableau is regular; should B still come out rank-deficient, an
// unknown without a pivot is taken as free and its dual set to 0, which
// solves the system whenever it is consistent: an optimum keeps its status
// whatever the duals.
std::vector<double> deck_duals(const model::Deck& d,
                               const detail::TableauRun& run) {
  const std::size_t m = d.row_kinds.size();
  const std::size_t nc = d.columns.size();
  // build_deck refuses larger decks; the bound keeps the sizes below sane.
  if (m > std::size_t(lp::kMaxConstraintRows)) return {};
  // Which row each slack and each artificial variable belongs to.
  std::vector<std::size_t> slack_row;
  std::vector<std::size_t> equation_row;
  for (std::size_t i = 0; i < m; ++i)
    (d.row_kinds[i] == 0 ? equation_row : slack_row).push_back(i);
  const std::size_t nv = nc + slack_row.size();

  // T = B' with c_B as an extra column: row r is basic variable r's column.
  std::vector<std::vector<double>> t(m, std::vector<double>(m + 1, 0.0));
  for (std::size_t r = 0; r < m; ++r) {
    const auto k = static_cast<std::size_t>(std::abs(run.ROW[r]));
    if (k <= nc) {
      for (std::size_t i = 0; i < m; ++i) t[r][i] = d.rows[i][k - 1];
      t[r][m] = d.rows[m][k - 1];
    } else if (k <= nv) {
      const std::size_t i = slack_row[k - nc - 1];
      t[r][i] = static_cast<double>(d.row_kinds[i]);
    } else {
      t[r][equation_row[k - nv - 1]] = 1.0;
    }
  }
  // pivot_col[p]: the unknown that row p of the echelon form solves for.
  std::vector<std::size_t> pivot_col;
  for (std::size_t col = 0; col < m; ++col) {
    const std::size_t p = pivot_col.size();
    std::size_t best = p;
    for (std::size_t r = p + 1; r < m; ++r)
      if (std::abs(t[r][col]) > std::abs(t[best][col])) best = r;
    if (t[best][col] == 0.0) continue;
    std::swap(t[p], t[best]);
    for (std::size_t r = p + 1; r < m; ++r) {
      const double f = t[r][col] / t[p][col];
      if (f == 0.0) continue;
      for (std::size_t c = col; c <= m; ++c) t[r][c] -= f * t[p][c];
    }
    pivot_col.push_back(col);
  }
  std::vector<double> pi(m, 0.0);
  for (std::size_t p = pivot_col.size(); p-- > 0;) {
    const std::size_t col = pivot_col[p];
    double sum = t[p][m];
    for (std::size_t c = col + 1; c < m; ++c) sum -= t[p][c] * pi[c];
    pi[col] = sum / t[p][col];
  }
  return pi;
}

// Values, activities and, at an optimum, duals and reduced costs of the
// model's own rows and columns.
void map_back(const Model& m, const model::Deck& d,
              const detail::TableauRun& run, ModelResult& r) {
  const std::size_t n = m.cost.size();
  const std::size_t rows = m.row_lower.size();
  const double sense = static_cast<double>(m.sense);
  const std::vector<double>& y = run.solution.values;

  // Fixed columns keep their value; the others are rebuilt from their deck
  // columns, x = shift + sign * y (a free column from two).
  r.x.assign(n, 0.0);
  std::vector<bool> mapped(n, false);
  for (std::size_t j = 0; j < d.columns.size(); ++j) {
    const model::DeckColumn& c = d.columns[j];
    double& x = r.x[c.model_column];
    if (!mapped[c.model_column]) x = c.shift;
    mapped[c.model_column] = true;
    x += c.sign * y[j];
  }
  for (std::size_t j = 0; j < n; ++j)
    if (!mapped[j]) r.x[j] = m.col_lower[j];
  r.row_activity.assign(rows, 0.0);
  for (std::size_t i = 0; i < rows; ++i) {
    for (std::size_t j = 0; j < n; ++j)
      r.row_activity[i] += m.matrix[i * n + j] * r.x[j];
  }
  r.objective = sense * run.solution.objective;
  if (!r.optimal()) return;

  const std::vector<double> pi = deck_duals(d, run);
  r.row_duals.assign(rows, 0.0);
  for (std::size_t i = 0; i < pi.size(); ++i)
    r.row_duals[d.model_rows[i]] = sense * pi[i];
  r.reduced_costs.assign(m.cost.begin(), m.cost.end());
  for (std::size_t i = 0; i < rows; ++i) {
    if (r.row_duals[i] == 0.0) continue;
    for (std::size_t j = 0; j < n; ++j)
      r.reduced_costs[j] -= m.matrix[i * n + j] * r.row_duals[i];
  }
}

ModelResult solve_checked(const Model& given, StepObserver* observer) {
  const std::string error = check(given);
  if (!error.empty()) return refuse(ModelStatus::kRefused, error);
  Model filled_bounds;
  const Model* m = &given;
  if (given.col_lower.empty() || given.col_upper.empty()) {
    filled_bounds = given;
    filled_bounds.col_lower.resize(given.cost.size(), 0.0);
    filled_bounds.col_upper.resize(given.cost.size(), kInfinity);
    m = &filled_bounds;
  }

  const model::BuildResult built = model::build_deck(detail::to_transform(*m));
  switch (built.failure) {
    case model::Failure::kNone:
      break;
    case model::Failure::kInfeasible:
      return refuse(ModelStatus::kInfeasible, built.error);
    case model::Failure::kTooLarge:
      return refuse(ModelStatus::kTooLarge,
                    "too large: " + std::to_string(built.rows) +
                        " constraint rows and " +
                        std::to_string(built.columns) +
                        " columns after the transformation; the solver holds "
                        "at most " +
                        std::to_string(lp::kMaxConstraintRows) + " rows and " +
                        std::to_string(lp::kMaxColumns) + " columns");
    case model::Failure::kRefused:
      return refuse(ModelStatus::kRefused, built.error);
  }
  const Problem problem = to_problem(built.deck);
  const std::string unenforced = unenforceable_bound(problem);
  if (!unenforced.empty()) return refuse(ModelStatus::kRefused, unenforced);

  // LINEAR rebuilds the tableau from the initial one whenever phase 1
  // restarts. On a degenerate problem phase 1 can fail to settle on the
  // rebuilt tableau: it shows infeasibilities of rounding size that phase 1
  // takes up again, restart after restart, or the rebuild cannot re-pivot
  // every exchange. Going on with the tableau it has, as the driver does on
  // a deck that keeps no initial tableau, settles.
  detail::TableauRun run =
      detail::run_tableau(problem, detail::Restart::kRecompute, observer);
  if (run.solution.error == SolveError::kNone &&
      run.solution.status == kUnsettled) {
    run = detail::run_tableau(problem, detail::Restart::kKeepTableau, observer);
  }
  if (run.solution.error != SolveError::kNone) {
    return refuse(
        ModelStatus::kRefused,
        "the solver refused the transformed model: " + run.solution.message);
  }
  ModelResult r;
  r.status = status_of(run.solution.status);
  r.message = to_string(r.status);
  r.iterations = run.solution.iterations;
  map_back(*m, built.deck, run, r);
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
