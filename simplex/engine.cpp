#include "simplex/engine.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

#include "simplex/kernels.h"

namespace simplex {
namespace {

// Tolerances on the scaled problem. A basic variable may stand this far
// outside its bounds and still count as feasible; a reduced cost must pass
// this to make a column attractive.
constexpr double kPrimalTol = 1e-9;
constexpr double kDualTol = 1e-9;
// Entries below this in magnitude do not take part in the ratio test.
constexpr double kZeroTol = 1e-11;
// The smallest pivot taken. A column whose best pivot is smaller is passed
// over for the iteration.
constexpr double kPivotTol = 1e-7;
// The perturbation of a cost: this much, relative to 1 + |cost|, times a
// factor between 0.5 and 1.
constexpr double kPerturbation = 1e-7;
// The perturbation of a bound, relative to 1 + |bound|.
constexpr double kBoundPerturbation = 5e-7;
// Degenerate iterations in a row before the smallest-index rule takes over.
constexpr std::int64_t kStallLimit = 60;
// Iterations between two checks of the tableau against the problem.
constexpr std::int64_t kCheckEvery = 100;
// A basic value further than this (relative) from what the problem's rows
// give calls for a recomputation.
constexpr double kDriftTol = 1e-9;

bool finite(double v) { return std::isfinite(v); }

}  // namespace

Form form_for(const Problem& p) {
  const double m = p.rows;
  const double n = p.cols;
  const auto nnz = double(p.index.size());
  return 10 * nnz < m * n && m <= n ? Form::kRevised : Form::kTableau;
}

Engine::Engine(const Problem& p, Form form)
    : p_(p),
      form_(form),
      m_(p.rows),
      n_(p.cols),
      ld_(std::int32_t(padded_rows(std::size_t(p.rows) + 2))) {
  const auto m = std::size_t(m_);
  const auto n = std::size_t(n_);
  const auto ld = std::size_t(ld_);
  if (form_ == Form::kTableau) {
    t_.assign(ld * n, 0.0);
    for (std::size_t j = 0; j < n; ++j) {
      for (auto k = p.start[j]; k < p.start[j + 1]; ++k)
        t_[j * ld + std::size_t(p.index[std::size_t(k)])] =
            p.value[std::size_t(k)];
      t_[j * ld + m] = p.cost[j];
    }
    dd_ = n > 0 ? t_.data() + m : nullptr;
    dstride_ = ld;
  } else {
    dd_own_.assign(2 * n, 0.0);
    for (std::size_t j = 0; j < n; ++j) dd_own_[2 * j] = p.cost[j];
    dd_ = dd_own_.data();
    dstride_ = 2;
    revised_start();
  }
  lo_ = p.col_lower;
  up_ = p.col_upper;
  lo_.insert(lo_.end(), p.row_lower.begin(), p.row_lower.end());
  up_.insert(up_.end(), p.row_upper.begin(), p.row_upper.end());
  cost_ = p.cost;
  cost_.resize(n + m, 0.0);
  cost_given_ = cost_;
  x_.assign(n + m, 0.0);
  pos_.assign(n + m, Position::kBasic);
  head_.resize(m);
  nonb_.resize(n);
  slot_.resize(n + m);
  for (std::size_t j = 0; j < n; ++j) {
    nonb_[j] = std::int32_t(j);
    slot_[j] = std::int32_t(j);
  }
  for (std::size_t i = 0; i < m; ++i) {
    head_[i] = std::int32_t(n + i);
    slot_[n + i] = std::int32_t(i);
  }
  for (std::size_t j = 0; j < n; ++j) rest_at_bound(std::int32_t(j));
  barred_.assign(n, 0);
  counted_.assign(m, 0.0);
  reset_weights();
  start_values();
  reset_phase_one();
  fresh_ = true;
}

// A nonbasic variable sits at a finite bound (the lower one first), or at
// zero when it has none.
void Engine::rest_at_bound(std::int32_t k) {
  const auto s = std::size_t(k);
  if (lo_[s] == up_[s]) {
    pos_[s] = Position::kFixed;
    x_[s] = lo_[s];
  } else if (finite(lo_[s])) {
    pos_[s] = Position::kLower;
    x_[s] = lo_[s];
  } else if (finite(up_[s])) {
    pos_[s] = Position::kUpper;
    x_[s] = up_[s];
  } else {
    pos_[s] = Position::kFree;
    x_[s] = 0.0;
  }
}

// x_B = T x_N.
void Engine::start_values() {
  if (form_ == Form::kRevised) {
    revised_start_values();
    return;
  }
  for (std::int32_t i = 0; i < m_; ++i)
    x_[std::size_t(head_[std::size_t(i)])] = 0.0;
  for (std::int32_t q = 0; q < n_; ++q) {
    const double v = x_[std::size_t(nonb_[std::size_t(q)])];
    if (v == 0.0) continue;
    const double* col = &t_[std::size_t(q) * std::size_t(ld_)];
    for (std::int32_t i = 0; i < m_; ++i)
      x_[std::size_t(head_[std::size_t(i)])] += col[i] * v;
  }
}

void Engine::reset_weights() {
  gamma_.resize(std::size_t(n_));
  if (form_ == Form::kRevised) {
    revised_reset_weights();
    return;
  }
  for (std::int32_t q = 0; q < n_; ++q)
    gamma_[std::size_t(q)] =
        1.0 +
        sum_of_squares(&t_[std::size_t(q) * std::size_t(ld_)], std::size_t(m_));
}

double Engine::reduced_cost(std::int32_t k) const {
  if (pos_[std::size_t(k)] == Position::kBasic) return 0.0;
  return d(slot_[std::size_t(k)]);
}

// The phase-1 cost of the basic variable of row i: -1 below its lower
// bound, +1 above its upper bound, 0 within.
double Engine::phase_cost(std::int32_t i) const {
  const auto k = std::size_t(head_[std::size_t(i)]);
  if (x_[k] < lo_[k] - kPrimalTol) return -1.0;
  if (x_[k] > up_[k] + kPrimalTol) return 1.0;
  return 0.0;
}

// Row m+1 holds d1 = the sum over rows of their phase-1 cost times T's row,
// kept by the pivots like the cost row. Here the rows whose cost changed
// since it was last counted have the change added. Returns whether any row
// is infeasible.
bool Engine::sync_phase_one() {
  const auto ld = std::size_t(ld_);
  const auto row = std::size_t(m_ + 1);
  bool any = false;
  bool changed = false;
  if (form_ == Form::kRevised) work2_.assign(std::size_t(m_), 0.0);
  for (std::int32_t i = 0; i < m_; ++i) {
    const double c = phase_cost(i);
    any = any || c != 0.0;
    const double change = c - counted_[std::size_t(i)];
    if (change == 0.0) continue;
    counted_[std::size_t(i)] = c;
    changed = true;
    if (form_ == Form::kRevised) {
      work2_[std::size_t(i)] = change;
      continue;
    }
    for (std::int32_t q = 0; q < n_; ++q) {
      const double a = t_[std::size_t(q) * ld + std::size_t(i)];
      if (a != 0.0) t_[std::size_t(q) * ld + row] += change * a;
    }
  }
  if (changed && form_ == Form::kRevised) revised_add_rows(work2_, 1);
  return any;
}

// Row m+1 worked out afresh from the phase-1 costs, against the rounding
// that its updates gather.
void Engine::reset_phase_one() {
  const auto ld = std::size_t(ld_);
  std::vector<std::int32_t> rows;
  for (std::int32_t i = 0; i < m_; ++i) {
    counted_[std::size_t(i)] = phase_cost(i);
    if (counted_[std::size_t(i)] != 0.0) rows.push_back(i);
  }
  if (form_ == Form::kRevised) {
    for (std::int32_t q = 0; q < n_; ++q) d1(q) = 0.0;
    if (!rows.empty()) revised_add_rows(counted_, 1);
    return;
  }
  for (std::int32_t q = 0; q < n_; ++q) {
    const double* col = &t_[std::size_t(q) * ld];
    double sum = 0.0;
    for (const std::int32_t i : rows) sum += counted_[std::size_t(i)] * col[i];
    t_[std::size_t(q) * ld + std::size_t(m_ + 1)] = sum;
  }
}

// Pricing: the most attractive reduced cost per unit of the edge it moves
// along (d^2 / gamma, with the sign that improves), or under the
// smallest-index rule the attractive column whose variable has the smallest
// number.
Engine::Choice Engine::price(const double* costs, std::size_t stride) const {
  Choice best;
  double gain = 0;
  std::int32_t smallest = -1;
  for (std::int32_t q = 0; q < n_; ++q) {
    if (barred_[std::size_t(q)] != 0) continue;
    const double dq = costs[std::size_t(q) * stride];
    const Position at = pos_[std::size_t(nonb_[std::size_t(q)])];
    double dir = 0;
    if (dq < -kDualTol && (at == Position::kLower || at == Position::kFree)) {
      dir = 1.0;
    } else if (dq > kDualTol &&
               (at == Position::kUpper || at == Position::kFree)) {
      dir = -1.0;
    } else {
      continue;
    }
    if (smallest_index_) {
      const std::int32_t k = nonb_[std::size_t(q)];
      if (smallest < 0 || k < smallest) {
        smallest = k;
        best = {q, dir};
      }
    } else if (dq * dq > gain * gamma_[std::size_t(q)]) {
      gain = dq * dq / gamma_[std::size_t(q)];
      best = {q, dir};
    }
  }
  return best;
}

// The two-pass ratio test. Pass 1 finds the longest step that keeps every
// basic variable within its bounds widened by the tolerance; pass 2 takes,
// among the rows that block within that step, the one with the largest
// pivot (under the smallest-index rule, the smallest variable). In phase 1
// an infeasible variable blocks where it reaches the bound it violates, and
// never on its way further out.
// Where basic variable k, moving at rate a (not zero), stops a step: false
// when it never does. `bound` is the bound it stops at, `slack` how far
// beyond it pass 1 may let it go (none for an infeasible variable in phase
// 1, which stops where it becomes feasible).
bool Engine::stops_at(std::size_t k, double a, double& bound,
                      double& slack) const {
  const double v = x_[k];
  const bool below = phase_one_ && v < lo_[k] - kPrimalTol;
  const bool above = phase_one_ && v > up_[k] + kPrimalTol;
  slack = 0.0;
  if (a > 0 ? below : above) {
    bound = a > 0 ? lo_[k] : up_[k];
    return true;
  }
  if (below || above) return false;
  bound = a > 0 ? up_[k] : lo_[k];
  slack = a > 0 ? kPrimalTol : -kPrimalTol;
  return finite(bound);
}

Engine::Ratio Engine::ratio_test(const Choice& c) {
  const double* col = column(c.q);
  double theta_max = kInf;
  double bound = 0;
  double slack = 0;
  for (std::int32_t i = 0; i < m_; ++i) {
    const double a = col[i] * c.dir;
    if (std::fabs(a) <= kZeroTol) continue;
    const auto k = std::size_t(head_[std::size_t(i)]);
    if (!stops_at(k, a, bound, slack)) continue;
    theta_max = std::min(theta_max, (bound + slack - x_[k]) / a);
  }
  const auto e = std::size_t(nonb_[std::size_t(c.q)]);
  const double range = up_[e] - lo_[e];
  Ratio r;
  if (theta_max == kInf && !finite(range)) return r;  // nothing blocks
  double best_pivot = 0;
  std::int32_t best_var = -1;
  candidates_.clear();
  for (std::int32_t i = 0; i < m_ && theta_max < kInf; ++i) {
    const double a = col[i] * c.dir;
    if (std::fabs(a) <= kZeroTol) continue;
    const auto k = std::size_t(head_[std::size_t(i)]);
    if (!stops_at(k, a, bound, slack)) continue;
    const double ratio = (bound - x_[k]) / a;
    if (ratio > theta_max) continue;
    if (std::fabs(a) > best_pivot) {
      best_pivot = std::fabs(a);
      r.p = i;
      r.theta = std::max(ratio, 0.0);
      r.bound = bound;
    }
    if (smallest_index_)
      candidates_.push_back({i, std::max(ratio, 0.0), std::fabs(a), bound});
  }
  // Under the smallest-index rule, the smallest variable among the rows
  // whose pivot is not much smaller than the largest: a tiny pivot would
  // make the tableau grow.
  for (const Candidate& k : candidates_) {
    if (k.pivot < 1e-3 * best_pivot) continue;
    const std::int32_t var = head_[std::size_t(k.row)];
    if (best_var < 0 || var < best_var) {
      best_var = var;
      r.p = k.row;
      r.theta = k.ratio;
      r.bound = k.bound;
    }
  }
  if (finite(range) && (r.p < 0 || range <= r.theta)) {
    r.p = -1;
    r.theta = range;
    r.blocked = true;
    return r;
  }
  r.blocked = r.p >= 0;
  return r;
}

// The exchange of the basic variable of row p with the nonbasic one of
// column q:
//   T'(p,q) = 1/T(p,q),  T'(p,j) = -T(p,j)/T(p,q),
//   T'(i,q) = T(i,q)/T(p,q),  T'(i,j) = T(i,j) + T(i,q) T'(p,j),
// the cost row and the phase-1 row included. A column whose entry in row p is
// exactly zero does not change, and when column q is sparse only its nonzero
// rows are touched; either shortcut gives the same values as the full update.
void Engine::pivot(std::int32_t p, std::int32_t q) {
  if (form_ == Form::kRevised) {
    revised_pivot(p, q);
    return;
  }
  const auto ld = std::size_t(ld_);
  double* cq = &t_[std::size_t(q) * ld];
  const double piv = cq[p];
  nz_.clear();
  for (std::size_t i = 0; i < ld; ++i)
    if (cq[i] != 0.0 && i != std::size_t(p)) nz_.push_back(std::int32_t(i));
  const bool sparse = nz_.size() * 3 < std::size_t(m_ + 2);
  const auto m = std::size_t(m_);
  cq[p] = 0.0;
  if (!sparse) {
    pivot_columns({t_.data(), ld, m, std::size_t(n_), std::size_t(p),
                   std::size_t(q), cq, piv, gamma_.data()});
  }
  for (std::int32_t j = 0; j < n_ && sparse; ++j) {
    if (j == q) continue;
    double* cj = &t_[std::size_t(j) * ld];
    const double a = cj[p];
    if (a == 0.0) continue;
    const double f = -a / piv;
    double& g = gamma_[std::size_t(j)];
    double change = 0;
    for (const std::int32_t i : nz_) {
      const double old = cj[i];
      cj[i] += f * cq[i];
      if (std::size_t(i) < m) change += cj[i] * cj[i] - old * old;
    }
    g += change;
    // Row p held a and now holds f.
    g += f * f - a * a;
    if (g < 1.0) g = 1.0;
    cj[p] = f;
  }
  for (const std::int32_t i : nz_) cq[i] /= piv;
  cq[p] = 1.0 / piv;
  gamma_[std::size_t(q)] = 1.0 + sum_of_squares(cq, m);
}

void Engine::step(const Choice& c, const Ratio& r) {
  const double* col = column(c.q);
  const std::int32_t e = nonb_[std::size_t(c.q)];
  const double move = c.dir * r.theta;
  if (move != 0.0) {
    for (std::int32_t i = 0; i < m_; ++i) {
      if (col[i] != 0.0)
        x_[std::size_t(head_[std::size_t(i)])] += col[i] * move;
    }
  }
  x_[std::size_t(e)] += move;
  if (r.p < 0) {  // a bound flip
    const bool to_upper = c.dir > 0;
    pos_[std::size_t(e)] = to_upper ? Position::kUpper : Position::kLower;
    x_[std::size_t(e)] = to_upper ? up_[std::size_t(e)] : lo_[std::size_t(e)];
    return;
  }
  const std::int32_t l = head_[std::size_t(r.p)];
  pivot(r.p, c.q);
  // The leaving variable is nonbasic now, at a bound: its phase-1 cost no
  // longer counts. The entering one's is counted at the next sync.
  d1(c.q) -= counted_[std::size_t(r.p)];
  counted_[std::size_t(r.p)] = 0.0;
  head_[std::size_t(r.p)] = e;
  nonb_[std::size_t(c.q)] = l;
  slot_[std::size_t(e)] = r.p;
  slot_[std::size_t(l)] = c.q;
  pos_[std::size_t(e)] = Position::kBasic;
  const auto ls = std::size_t(l);
  x_[ls] = r.bound;
  pos_[ls] = lo_[ls] == up_[ls]   ? Position::kFixed
             : r.bound == up_[ls] ? Position::kUpper
                                  : Position::kLower;
}

// d_q = c of the column's variable + sum over rows of c_B(i) T(i, q).
void Engine::recompute_reduced_costs() {
  if (form_ == Form::kRevised) {
    std::vector<double> basic_cost(static_cast<std::size_t>(m_), 0.0);
    for (std::int32_t i = 0; i < m_; ++i)
      basic_cost[std::size_t(i)] = cost_[std::size_t(head_[std::size_t(i)])];
    for (std::int32_t q = 0; q < n_; ++q)
      d(q) = cost_[std::size_t(nonb_[std::size_t(q)])];
    revised_add_rows(basic_cost, 0);
    return;
  }
  for (std::int32_t q = 0; q < n_; ++q) {
    const double* col = &t_[std::size_t(q) * std::size_t(ld_)];
    double s = cost_[std::size_t(nonb_[std::size_t(q)])];
    for (std::int32_t i = 0; i < m_; ++i) {
      const double c = cost_[std::size_t(head_[std::size_t(i)])];
      if (c != 0.0) s += c * col[i];
    }
    t_[std::size_t(q) * std::size_t(ld_) + std::size_t(m_)] = s;
  }
}

// A number in [0.5, 1) from a fixed sequence: the same model always takes
// the same path.
double Engine::next_random() {
  seed_ = seed_ * 6364136223846793005ULL + 1442695040888963407ULL;
  return 0.5 + 0.5 * (double(seed_ >> 11) * 0x1.0p-53);
}

// Every bound that is finite and not a fixed value moves outwards a
// little, by a different amount for each, so that basic variables seldom
// sit exactly on a bound: degenerate steps become rare.
void Engine::perturb_bounds() {
  lo_given_ = lo_;
  up_given_ = up_;
  for (std::size_t k = 0; k < lo_.size(); ++k) {
    if (lo_[k] == up_[k]) continue;
    if (finite(lo_[k]))
      lo_[k] -= kBoundPerturbation * (1.0 + std::fabs(lo_[k])) * next_random();
    if (finite(up_[k]))
      up_[k] += kBoundPerturbation * (1.0 + std::fabs(up_[k])) * next_random();
    if (pos_[k] == Position::kLower) x_[k] = lo_[k];
    if (pos_[k] == Position::kUpper) x_[k] = up_[k];
  }
  start_values();
  bounds_perturbed_ = true;
}

// The bounds as given again; nonbasic variables go back onto them and the
// basic values follow.
void Engine::restore_bounds() {
  lo_ = lo_given_;
  up_ = up_given_;
  for (std::size_t k = 0; k < lo_.size(); ++k) {
    if (pos_[k] == Position::kLower) x_[k] = lo_[k];
    if (pos_[k] == Position::kUpper) x_[k] = up_[k];
  }
  start_values();
  bounds_perturbed_ = false;
}

// Each nonbasic variable's cost moves a little in the direction that makes
// its column less attractive, by a different amount for each, so that ties
// between degenerate vertices are broken. The amounts come from a fixed
// sequence: the same model always takes the same path.
void Engine::perturb_costs() {
  for (std::int32_t q = 0; q < n_; ++q) {
    const auto k = std::size_t(nonb_[std::size_t(q)]);
    double sign = 0;
    if (pos_[k] == Position::kLower) sign = 1;
    if (pos_[k] == Position::kUpper) sign = -1;
    if (sign == 0) continue;
    const double delta =
        sign * kPerturbation * (1.0 + std::fabs(cost_[k])) * next_random();
    cost_[k] += delta;
    d(q) += delta;
  }
  perturbed_ = true;
  ever_perturbed_ = true;
}

void Engine::remove_perturbation() {
  cost_ = cost_given_;
  recompute_reduced_costs();
  perturbed_ = false;
}

// The basic values against the rows of the problem: each logical must equal
// its row's activity at the current x.
bool Engine::drifted() const {
  std::vector<double> act(std::size_t(m_), 0.0);
  std::vector<double> mag(std::size_t(m_), 0.0);
  for (std::int32_t j = 0; j < n_; ++j) {
    const double v = x_[std::size_t(j)];
    if (v == 0.0) continue;
    for (auto k = p_.start[std::size_t(j)]; k < p_.start[std::size_t(j) + 1];
         ++k) {
      const auto i = std::size_t(p_.index[std::size_t(k)]);
      const double term = p_.value[std::size_t(k)] * v;
      act[i] += term;
      mag[i] += std::fabs(term);
    }
  }
  for (std::int32_t i = 0; i < m_; ++i) {
    const double r = x_[std::size_t(n_ + i)];
    if (std::fabs(r - act[std::size_t(i)]) >
        kDriftTol * (1.0 + mag[std::size_t(i)]))
      return true;
  }
  return false;
}

void Engine::save_ray(const Choice& c) {
  ray_.assign(std::size_t(n_ + m_), 0.0);
  const double* col = column(c.q);
  ray_[std::size_t(nonb_[std::size_t(c.q)])] = c.dir;
  for (std::int32_t i = 0; i < m_; ++i)
    ray_[std::size_t(head_[std::size_t(i)])] = col[i] * c.dir;
}

// The phase-1 multipliers pi of the rows: a basic logical's is minus its
// phase-1 cost, a nonbasic logical's its phase-1 reduced cost.
void Engine::save_farkas() {
  farkas_.assign(std::size_t(m_), 0.0);
  for (std::int32_t i = 0; i < m_; ++i) {
    const std::int32_t k = head_[std::size_t(i)];
    if (k >= n_) farkas_[std::size_t(k - n_)] = -counted_[std::size_t(i)];
  }
  for (std::int32_t q = 0; q < n_; ++q) {
    const std::int32_t k = nonb_[std::size_t(q)];
    if (k >= n_) farkas_[std::size_t(k - n_)] = d1(q);
  }
}

Outcome Engine::run(const Limits& limits, EngineWatcher* watcher) {
  const auto notify = [&](Event ev, std::int32_t p, std::int32_t q,
                          std::int32_t in, std::int32_t out) {
    if (watcher != nullptr) watcher->step(*this, ev, p, q, in, out);
  };
  notify(Event::kStart, -1, -1, -1, -1);
  if (!ever_perturbed_ && !bounds_perturbed_ && iterations_ == 0)
    perturb_bounds();
  std::int64_t barred_count = 0;
  for (;;) {
    if (limits.iterations > 0 && iterations_ >= limits.iterations)
      return Outcome::kIterationLimit;
    if ((iterations_ & 15) == 0 &&
        std::chrono::steady_clock::now() >= limits.deadline)
      return Outcome::kTimeLimit;
    if (since_check_ >= kCheckEvery || refactor_) {
      since_check_ = 0;
      if (refactor_ || drifted()) {
        if (!recompute()) return Outcome::kUnsettled;
        notify(Event::kRecomputed, -1, -1, -1, -1);
      } else {
        reset_phase_one();
      }
    }

    phase_one_ = sync_phase_one();
    Choice c;
    if (phase_one_) {
      c = price(dd_ + 1, dstride_);
      if (c.q < 0 && !phase_one_fresh_) {
        // Before phase 1 is declared over, its row is worked out afresh.
        reset_phase_one();
        phase_one_fresh_ = true;
        continue;
      }
    } else {
      if (!ever_perturbed_) perturb_costs();
      c = price(dd_, dstride_);
    }
    if (c.q < 0) {
      if (barred_count > 0) {
        // Columns were passed over for small pivots: a fresh tableau may
        // give them sound ones.
        std::fill(barred_.begin(), barred_.end(), 0);
        barred_count = 0;
        if (!fresh_) {
          if (!recompute()) return Outcome::kUnsettled;
          notify(Event::kRecomputed, -1, -1, -1, -1);
          continue;
        }
      }
      if (bounds_perturbed_) {
        restore_bounds();
        continue;
      }
      if (careful_ && !fresh_) {
        if (!recompute()) return Outcome::kUnsettled;
        notify(Event::kRecomputed, -1, -1, -1, -1);
        continue;
      }
      if (phase_one_) {
        save_farkas();
        return Outcome::kInfeasible;
      }
      if (perturbed_) {
        remove_perturbation();
        continue;
      }
      return Outcome::kOptimal;
    }

    load_column(c.q);
    const Ratio r = ratio_test(c);
    if (!r.blocked) {
      if (phase_one_) {
        // The phase-1 objective cannot fall without end: the reduced cost
        // is rounding. Pass the column over.
        barred_[std::size_t(c.q)] = 1;
        ++barred_count;
        continue;
      }
      if (perturbed_) {
        remove_perturbation();
        continue;
      }
      if (bounds_perturbed_) {
        restore_bounds();
        continue;
      }
      if (careful_ && !fresh_) {
        if (!recompute()) return Outcome::kUnsettled;
        notify(Event::kRecomputed, -1, -1, -1, -1);
        continue;
      }
      save_ray(c);
      return Outcome::kUnbounded;
    }
    if (r.p >= 0 && std::fabs(column(c.q)[r.p]) < kPivotTol) {
      barred_[std::size_t(c.q)] = 1;
      ++barred_count;
      continue;
    }
    if (barred_count > 0) {
      std::fill(barred_.begin(), barred_.end(), 0);
      barred_count = 0;
    }

    const double gain = r.theta * std::fabs(phase_one_ ? d1(c.q) : d(c.q));
    if (gain <= 1e-12) {
      if (++stalled_ > kStallLimit) smallest_index_ = true;
    } else {
      stalled_ = 0;
      smallest_index_ = false;
    }
    const std::int32_t entering = nonb_[std::size_t(c.q)];
    const std::int32_t leaving = r.p >= 0 ? head_[std::size_t(r.p)] : -1;
    step(c, r);
    ++iterations_;
    ++since_check_;
    fresh_ = false;
    phase_one_fresh_ = false;
    if (r.p >= 0)
      notify(Event::kPivot, r.p, c.q, entering, leaving);
    else
      notify(Event::kBoundFlip, -1, c.q, entering, -1);
  }
}

}  // namespace simplex
