#include "simplex/solve.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <memory>

#include "simplex/scaling.h"
#include "simplex/step_view.h"

namespace simplex {
namespace {

// The engine's answer in the problem's own terms, checked.
Answer extract(const Problem& p, const Engine& e, const Scaling& s,
               Outcome outcome) {
  const auto m = std::size_t(p.rows);
  const auto n = std::size_t(p.cols);
  Answer a;
  a.iterations = e.iterations();
  a.x.resize(n);
  a.col_position.resize(n);
  a.row_position.resize(m);
  for (std::size_t j = 0; j < n; ++j) {
    const Position at = e.position(std::int32_t(j));
    a.col_position[j] = at;
    // A nonbasic column takes its bound as given, not as scaled back.
    a.x[j] = at == Position::kLower || at == Position::kFixed ? p.col_lower[j]
             : at == Position::kUpper                         ? p.col_upper[j]
             : at == Position::kFree                          ? 0.0
                                     : e.value(std::int32_t(j)) * s.col[j];
  }
  for (std::size_t i = 0; i < m; ++i)
    a.row_position[i] = e.position(std::int32_t(n + i));
  a.activity = activities(p, a.x);
  a.measures.primal = primal_violation(p, a.x, a.activity);
  switch (outcome) {
    case Outcome::kOptimal: {
      a.row_duals.resize(m);
      for (std::size_t i = 0; i < m; ++i)
        a.row_duals[i] =
            e.reduced_cost(std::int32_t(n + i)) * s.row[i] / s.cost;
      const Measures q =
          optimality(p, a.x, a.activity, a.row_duals, a.reduced_costs);
      a.measures.dual = q.dual;
      a.measures.gap = q.gap;
      a.certified = a.measures.primal <= kCertifyTol && q.dual <= kCertifyTol &&
                    q.gap <= kCertifyTol;
      a.status = a.certified ? Status::kOptimal : Status::kNotCertified;
      break;
    }
    case Outcome::kUnbounded: {
      a.ray.resize(n);
      for (std::size_t j = 0; j < n; ++j) a.ray[j] = e.ray()[j] * s.col[j];
      a.certified =
          a.measures.primal <= kCertifyTol && is_improving_ray(p, a.ray);
      a.status = a.certified ? Status::kUnbounded : Status::kUnsettled;
      break;
    }
    case Outcome::kInfeasible: {
      // Multipliers that are rounding noise beside the others (on the
      // scaled model, where sound ones are of one size) are taken as zero:
      // a row without the side their sign would need would otherwise spoil
      // a sound proof. The proof is then checked as it stands.
      double largest = 0;
      for (const double y : e.farkas())
        largest = std::max(largest, std::fabs(y));
      a.farkas.resize(m);
      for (std::size_t i = 0; i < m; ++i) {
        const double y = e.farkas()[i];
        a.farkas[i] = std::fabs(y) <= 1e-9 * largest ? 0.0 : y * s.row[i];
      }
      a.certified = is_farkas_proof(p, a.farkas);
      a.status = a.certified ? Status::kInfeasible : Status::kUnsettled;
      break;
    }
    case Outcome::kIterationLimit:
      a.status = Status::kIterationLimit;
      break;
    case Outcome::kTimeLimit:
      a.status = Status::kTimeLimit;
      break;
    case Outcome::kUnsettled:
      a.status = Status::kUnsettled;
      break;
  }
  return a;
}

std::vector<Position> positions_of(const Engine& e) {
  std::vector<Position> pos(std::size_t(e.rows() + e.cols()));
  for (std::int32_t k = 0; k < e.rows() + e.cols(); ++k)
    pos[std::size_t(k)] = e.position(k);
  return pos;
}

bool is_limit(Outcome o) {
  return o == Outcome::kIterationLimit || o == Outcome::kTimeLimit;
}

}  // namespace

std::uint64_t bytes_needed(std::int64_t rows, std::int64_t cols) {
  const auto m = std::uint64_t(std::max<std::int64_t>(rows, 0));
  const auto n = std::uint64_t(std::max<std::int64_t>(cols, 0));
  return 8 * (padded_rows(m + 2) * n + m * m + 8 * (m + n)) + 2 * (m + n) * 8;
}

// The scaled problem first, on the tableau as the pivots updated it. An
// answer that fails its check on the problem as given is taken up again
// from its basis with the tableau recomputed from the problem, and if it
// still fails, on the unscaled problem: the tolerances then apply to the
// given data directly.
Answer solve(const Problem& p, const Options& options,
             karvon::StepObserver* observer) {
  Limits limits;
  limits.iterations = options.iteration_limit;
  if (std::isfinite(options.time_limit) && options.time_limit >= 0) {
    limits.deadline =
        std::chrono::steady_clock::now() +
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(std::min(options.time_limit, 1e9)));
  }
  const Scaling s = scaling_of(p);
  const Scaling unit = unit_scaling(p);
  std::unique_ptr<StepView> view;
  if (observer != nullptr) view = std::make_unique<StepView>(*observer);
  // Observers see the tableau: with one, the tableau form.
  const Form form = observer != nullptr ? Form::kTableau
                    : options.form      ? *options.form
                                        : form_for(p);
  std::vector<Position> basis;
  Answer a;
  Outcome o = Outcome::kUnsettled;
  {
    const Problem ps = scaled(p, s);
    Engine first(ps, form);
    if (view) view->use(s);
    o = first.run(limits, view.get());
    a = extract(p, first, s, o);
    if (a.certified || is_limit(o)) return a;
    // The updated tableau drifted: go on from the same basis with the
    // tableau recomputed from the problem before every ending.
    first.be_careful();
    o = first.run(limits, view.get());
    a = extract(p, first, s, o);
    if (a.certified || is_limit(o)) return a;
    basis = positions_of(first);
  }
  // The first tableau is gone before the second is made: one at a time.
  Engine second(p, form);
  second.be_careful();
  if (!second.load_basis(basis)) return a;
  Limits more = limits;
  if (more.iterations > 0)
    more.iterations = std::max<std::int64_t>(1, more.iterations - a.iterations);
  if (view) view->use(unit);
  const Outcome o2 = second.run(more, view.get());
  Answer b = extract(p, second, unit, o2);
  b.iterations += a.iterations;
  if (b.certified || is_limit(o2)) return b;
  // Neither passed: the answer that came closer stands, marked as such.
  const double fa =
      std::max({a.measures.primal, a.measures.dual, a.measures.gap});
  const double fb =
      std::max({b.measures.primal, b.measures.dual, b.measures.gap});
  if (o == o2 && fa < fb) {
    a.iterations = b.iterations;
    return a;
  }
  return b;
}

}  // namespace simplex
