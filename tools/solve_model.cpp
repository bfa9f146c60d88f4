#include "tools/solve_model.h"

#include <karvon/karvon.h>

#include <cmath>
#include <cstddef>
#include <iostream>
#include <limits>
#include <memory>

#include "common/lp.h"
#include "driver/problem_input.h"
#include "driver/storage.h"
#include "model/deck_builder.h"
#include "modelio/model_writer.h"

namespace tools {
namespace {

constexpr double kUnknown = std::numeric_limits<double>::quiet_NaN();

}  // namespace

karvon::Model standard_form(const model::Model& m) {
  karvon::Model s;
  const std::size_t n = m.columns.size();
  s.sense = m.maximize ? karvon::Sense::kMaximize : karvon::Sense::kMinimize;
  s.offset = m.objective_constant;
  s.sparse.start.push_back(0);
  for (std::size_t j = 0; j < n; ++j) {
    const model::ModelColumn& c = m.columns[j];
    s.cost.push_back(c.cost);
    s.col_lower.push_back(c.lower);
    s.col_upper.push_back(c.upper);
    s.col_names.push_back(c.name);
    if (c.integer) s.integer_columns.push_back(static_cast<std::int32_t>(j));
    for (const auto& [row, a] : c.entries) {
      s.sparse.index.push_back(row);
      s.sparse.value.push_back(a);
    }
    s.sparse.start.push_back(static_cast<std::int64_t>(s.sparse.index.size()));
  }
  for (const model::ModelRow& r : m.rows) {
    s.row_lower.push_back(r.lower);
    s.row_upper.push_back(r.upper);
    s.row_names.push_back(r.name);
  }
  return s;
}

namespace {

// `values`, or as many unknowns as there should be when the solver left
// none.
std::vector<double> or_unknown(const std::vector<double>& values,
                               std::size_t size) {
  return values.size() == size ? values : std::vector<double>(size, kUnknown);
}

// The solver's steps printed on standard output as the driver prints them
// with IOUT = 6: the model's tableau (the one the standard-form entry
// builds) prepared as the driver prepares a deck, and solved again by
// LINEAR with the print unit 6.
void print_tableau(const model::Model& m) {
  const model::BuildResult built = model::build_deck(modelio::as_minimum(m));
  if (!built.ok) return;
  const model::Deck& d = built.deck;
  const auto s = std::make_unique<driver::Storage>();
  s->IUNIT = -1;
  s->IOUT = 6;
  s->M = d.M;
  s->N = d.N;
  s->NBOUND = static_cast<std::int32_t>(d.bounds.size());
  lp::MatrixRef a = s->a();
  for (std::int32_t i = 1; i <= d.M; ++i) {
    for (std::int32_t j = 1; j <= d.N; ++j) {
      a(i, j) = d.rows[static_cast<std::size_t>(i - 1)]
                      [static_cast<std::size_t>(j - 1)];
    }
  }
  for (std::int32_t k = 1; k <= s->NBOUND; ++k) {
    s->bound()(k) = d.bounds[static_cast<std::size_t>(k - 1)];
  }
  for (std::int32_t i = 1; i < d.M; ++i) {
    s->row()(i) = d.row_kinds[static_cast<std::size_t>(i - 1)];
  }
  driver::prepare(*s);
  std::cout.flush();
  karvon::LINEAR(s->A, s->ROW, s->COL, s->BOUND, s->X, s->M, s->N, s->NV,
                 s->STATUS, s->ITER, lp::kLda, lp::kNcol, s->ASAVE, s->ROW0,
                 s->COL0, s->IUNIT, s->IOUT);
  karvon::close_units();
}

}  // namespace

ModelSolution model_solution(const model::Model& m,
                             const karvon::ModelResult& r) {
  ModelSolution s;
  s.status = r.status;
  s.quality = r.quality;
  s.relaxed_integers = r.relaxed_integers;
  s.iterations = r.iterations;
  s.objective = r.x.empty() ? kUnknown : r.objective;
  s.values = or_unknown(r.x, m.columns.size());
  s.activities = or_unknown(r.row_activity, m.rows.size());
  s.duals = or_unknown(r.row_duals, m.rows.size());
  s.reduced_costs = or_unknown(r.reduced_costs, m.columns.size());
  if (r.col_status.size() == m.columns.size() &&
      r.row_status.size() == m.rows.size()) {
    s.col_status = r.col_status;
    s.row_status = r.row_status;
  }
  return s;
}

SolveAttempt solve_model(const model::Model& m, bool tableau,
                         const karvon::SolveOptions& limits) {
  SolveAttempt attempt;
  karvon::Model standard = standard_form(m);
  standard.options = limits;
  const karvon::ModelResult r = karvon::solve(standard);
  if (r.status == karvon::ModelStatus::kRefused ||
      r.status == karvon::ModelStatus::kTooLarge) {
    attempt.refusal = r.message;
    return attempt;
  }
  if (tableau) print_tableau(m);
  attempt.solution = model_solution(m, r);
  attempt.solved = true;
  return attempt;
}

}  // namespace tools
