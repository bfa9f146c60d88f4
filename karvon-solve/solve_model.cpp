#include "karvon-solve/solve_model.h"

#include <karvon/karvon.h>

#include <cmath>
#include <cstddef>
#include <iostream>
#include <limits>
#include <memory>

#include "common/lp.h"
#include "diag/chkout.h"
#include "modelio/model_writer.h"
#include "modeltools/standard_form.h"

namespace tools {
namespace {

constexpr double kUnknown = std::numeric_limits<double>::quiet_NaN();
constexpr std::int32_t kStandardOutput = 6;

}  // namespace

namespace {

// `values`, or as many unknowns as there should be when the solver left
// none.
std::vector<double> or_unknown(const std::vector<double>& values,
                               std::size_t size) {
  return values.size() == size ? values : std::vector<double>(size, kUnknown);
}

}  // namespace

ModelSolution model_solution(const model::Model& m,
                             const karvon::ModelResult& r) {
  ModelSolution s;
  s.status = r.status;
  s.quality = r.quality;
  s.relaxed_integers = r.relaxed_integers;
  s.iterations = r.iterations;
  // A model without columns has an empty x and still an objective: its
  // constant.
  const bool have_point =
      r.x.size() == m.columns.size() && r.row_activity.size() == m.rows.size();
  s.objective = have_point ? r.objective : kUnknown;
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
  karvon::Model standard = modeltools::standard_form(m);
  standard.options = limits;
  // The steps print as karvon prints a deck's with IOUT = 6: each step of
  // this one solve, on the model's tableau.
  diag::TableauPrint print(kStandardOutput);
  std::cout.flush();
  const karvon::ModelResult r =
      karvon::solve(standard, tableau ? &print : nullptr);
  if (tableau) karvon::close_units();
  if (r.status == karvon::ModelStatus::kRefused ||
      r.status == karvon::ModelStatus::kTooLarge) {
    attempt.refusal = r.message;
    return attempt;
  }
  attempt.solution = model_solution(m, r);
  attempt.solved = true;
  return attempt;
}

}  // namespace tools
