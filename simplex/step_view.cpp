#include "simplex/step_view.h"

#include <cmath>
#include <cstddef>
#include <vector>

#include "common/lp.h"

namespace simplex {

void StepView::build(const Engine& e, bool flag_infeasible) {
  const std::int32_t m = e.rows();
  const std::int32_t n = e.cols();
  const auto lda = std::size_t(m + 2);
  const auto ncol = std::size_t(n + 1);
  a_.assign(lda * ncol, 0.0);
  bound_.assign(std::size_t(n + m), lp::kNoBoundFill);
  row_.resize(std::size_t(m > 0 ? m : 1));
  col_.resize(std::size_t(n > 0 ? n : 1));
  const Scaling& s = *scaling_;
  const double kappa = s.cost;
  // The shift of each variable: its lower bound when finite.
  const auto shift = [&](std::int32_t k) {
    const double lo = e.lower(k) * s.of_variable(k);
    return std::isfinite(lo) ? lo : 0.0;
  };
  for (std::int32_t k = 0; k < n + m; ++k) {
    const double f = s.of_variable(k);
    const double width = (e.upper(k) - e.lower(k)) * f;
    double b = std::isfinite(width) ? width : lp::kNoBoundFill;
    if (e.position(k) == Position::kUpper) b = -b;
    bound_[std::size_t(k)] = b;
  }
  // The phase-1 row as LINEAR's: the sum of the infeasibilities, each
  // infeasible row's entries summed with its phase-1 cost.
  std::vector<double> cost(static_cast<std::size_t>(m));
  for (std::int32_t i = 0; i < m; ++i) cost[std::size_t(i)] = e.phase_cost(i);
  double z = 0;
  for (std::int32_t q = 0; q < n; ++q) {
    const std::int32_t k = e.nonbasic()[std::size_t(q)];
    const double fk = s.of_variable(k);
    const double sigma = e.position(k) == Position::kUpper ? -1.0 : 1.0;
    double* col = &a_[std::size_t(q) * lda];
    double d1 = 0;
    for (std::int32_t i = 0; i < m; ++i) {
      const double fb = s.of_variable(e.basic()[std::size_t(i)]);
      const double t =
          e.tableau()[std::size_t(q) * std::size_t(e.ld()) + std::size_t(i)] *
          fb / fk;
      col[i] = -t * sigma;
      if (cost[std::size_t(i)] != 0.0) d1 += cost[std::size_t(i)] * t;
    }
    col[m + 1] = d1 * sigma;
    const double d =
        e.tableau()[std::size_t(q) * std::size_t(e.ld()) + std::size_t(m)] /
        (kappa * fk);
    col[m] = d * sigma;
    z += d * e.value(k) * fk;
    col_[std::size_t(q)] = e.position(k) == Position::kFixed ? -(k + 1) : k + 1;
  }
  double* rhs = &a_[std::size_t(n) * lda];
  double w = 0;
  for (std::int32_t i = 0; i < m; ++i) {
    const std::int32_t k = e.basic()[std::size_t(i)];
    const double f = s.of_variable(k);
    const double v = e.value(k) * f;
    rhs[i] = v - shift(k);
    const double c = cost[std::size_t(i)];
    if (c < 0) w += e.lower(k) * f - v;
    if (c > 0) w += v - e.upper(k) * f;
    // An infeasible row is flagged by a negative label, as LINEAR flags it
    // once it has set up (not on entry, where the labels name the rows).
    row_[std::size_t(i)] = flag_infeasible && c != 0.0 ? -(k + 1) : k + 1;
  }
  rhs[m] = -z;
  rhs[m + 1] = -w;
}

void StepView::tell(const Engine& e, karvon::StepKind kind, std::int32_t ip,
                    std::int32_t jp, std::int32_t entering,
                    std::int32_t leaving) {
  build(e, kind != karvon::StepKind::kEntry);
  const std::int32_t m = e.rows();
  const std::int32_t n = e.cols();
  const karvon::StepPhase phase = kind == karvon::StepKind::kEntry
                                      ? karvon::StepPhase::kNone
                                  : e.in_phase_one() ? karvon::StepPhase::kOne
                                                     : karvon::StepPhase::kTwo;
  observer_.step(karvon::Step{
      kind, phase, std::int32_t(e.iterations()), restarts_, ip, jp, entering,
      leaving,
      karvon::TableauView{a_.data(), a_.size(), row_.data(), row_.size(),
                          col_.data(), col_.size(), bound_.data(),
                          bound_.size(), m + 2, n + 1, m + 1, n + 1, n + m}});
}

void StepView::step(const Engine& e, Event event, std::int32_t p,
                    std::int32_t q, std::int32_t entering,
                    std::int32_t leaving) {
  switch (event) {
    case Event::kStart:
      if (!entered_) {
        entered_ = true;
        tell(e, karvon::StepKind::kEntry, 0, 0, 0, 0);
        tell(e, karvon::StepKind::kStart, 0, 0, 0, 0);
      } else {
        ++restarts_;
        tell(e, karvon::StepKind::kRecomputed, 0, 0, 0, 0);
      }
      return;
    case Event::kPivot:
      tell(e, karvon::StepKind::kPivot, p + 1, q + 1, entering + 1,
           leaving + 1);
      return;
    case Event::kBoundFlip:
      tell(e, karvon::StepKind::kBoundFlip, 0, q + 1, entering + 1, 0);
      return;
    case Event::kRecomputed:
      ++restarts_;
      tell(e, karvon::StepKind::kRecomputed, 0, 0, 0, 0);
      return;
  }
}

}  // namespace simplex
