#include "solver/linear.h"

#include <cassert>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "karvon/observer.h"
#include "recio/errors.h"
#include "solver/gauss.h"
#include "solver/recomp.h"
#include "solver/scratch.h"

static_assert(std::numeric_limits<double>::is_iec559);

namespace solver {
namespace {

constexpr std::int32_t kNegativeBoundStop = 1111;

// The arrays and sizes every step works on; views only, nothing owned.
struct Tableau {
  lp::MatrixRef A;
  lp::VectorRef<std::int32_t> ROW;
  lp::VectorRef<std::int32_t> COL;
  lp::VectorRef<double> BOUND;
  std::int32_t M;
  std::int32_t N;
  std::int32_t NV;
};

// Entry: a row given with a negative label states -x = ..., so it is negated
// to state +x; a row labelled 0 is an equation and gets the next artificial
// variable, NV+1, NV+2, ... in row order, flagged as infeasible.
void orient_rows(const Tableau& t) {
  std::int32_t c = t.NV;
  for (std::int32_t i = 1; i <= t.M - 1; ++i) {
    if (t.ROW(i) < 0) {
      for (std::int32_t j = 1; j <= t.N; ++j) t.A(i, j) = -t.A(i, j);
      t.ROW(i) = -t.ROW(i);
    } else if (t.ROW(i) == 0) {
      ++c;
      t.ROW(i) = -c;
    }
  }
}

// Entries beyond NV are not bounds of this problem and are not looked at.
void check_bounds(const Tableau& t) {
  for (std::int32_t k = 1; k <= t.NV; ++k) {
    if (t.BOUND(k) < 0.0) recio::stop_numeric(kNegativeBoundStop);
  }
}

void keep_initial_labels(const Tableau& t, lp::VectorRef<std::int32_t> ROW0,
                         lp::VectorRef<std::int32_t> COL0) {
  for (std::int32_t i = 1; i <= t.M - 1; ++i) ROW0(i) = std::abs(t.ROW(i));
  for (std::int32_t j = 1; j <= t.N - 1; ++j) COL0(j) = std::abs(t.COL(j));
}

enum class Phase : std::uint8_t { kOne, kTwo, kInfeasible };

// Column J may enter unless its variable is artificial or fixed at zero.
// Columns barred at the end of an earlier phase 1 become eligible again.
void reset_column_flags(const Tableau& t) {
  for (std::int32_t j = 1; j <= t.N - 1; ++j) {
    const std::int32_t k = std::abs(t.COL(j));
    t.COL(j) = k > t.NV || t.BOUND(k) == 0.0 ? -k : k;
  }
}

// Makes every right-hand side nonnegative, flags the infeasible rows (those
// negated here, artificial ones, and those whose variable stands above its
// bound, which is complemented) and sums them, negated, into row M+1.
void build_phase_one_row(const Tableau& t) {
  const std::int32_t m1 = t.M + 1;
  for (std::int32_t i = 1; i <= t.M - 1; ++i) {
    if (t.A(i, t.N) < 0.0) {
      for (std::int32_t j = 1; j <= t.N; ++j) t.A(i, j) = -t.A(i, j);
      t.ROW(i) = -t.ROW(i);
    }
    if (t.ROW(i) > t.NV) t.ROW(i) = -t.ROW(i);
    const std::int32_t k = t.ROW(i);
    if (k > 0 && t.A(i, t.N) > t.BOUND(k)) {
      t.A(i, t.N) = t.A(i, t.N) - t.BOUND(k);
      t.BOUND(k) = -t.BOUND(k);
      t.ROW(i) = -k;
    }
    if (t.ROW(i) <= 0) {
      for (std::int32_t j = 1; j <= t.N; ++j) {
        t.A(m1, j) = t.A(m1, j) - t.A(i, j);
      }
    }
  }
}

// Block A: builds the phase-1 row and decides which phase runs.
Phase set_up_phase(const Tableau& t) {
  const std::int32_t m1 = t.M + 1;
  t.A(m1, t.N) = 0.0;
  for (std::int32_t j = 1; j <= t.N - 1; ++j) t.A(m1, j) = 0.0;
  reset_column_flags(t);
  build_phase_one_row(t);

  bool positive_cost = false;
  for (std::int32_t j = 1; j <= t.N - 1; ++j) {
    if (t.COL(j) <= 0 || !(std::fabs(t.A(m1, j)) > lp::kEps)) continue;
    if (t.A(m1, j) < 0.0) return Phase::kOne;
    positive_cost = true;
  }
  // Phase 1 is over. Infeasibility left over means infeasible, whether or
  // not some column shows a positive cost: without one, the infeasible rows
  // are untouched by every eligible column and phase 2 would report an
  // optimum that ignores them.
  if (t.A(m1, t.N) < -lp::kEps) return Phase::kInfeasible;
  if (positive_cost) {
    // A column with a positive phase-1 cost would bring infeasibility back
    // in: it stays at zero through phase 2 (no tolerance here).
    for (std::int32_t j = 1; j <= t.N - 1; ++j) {
      if (t.A(m1, j) > 0.0) t.COL(j) = -std::abs(t.COL(j));
    }
  }
  return Phase::kTwo;
}

// Pricing: the eligible column with the most negative entry of row K below
// -lp::kEps; among equal entries the lowest index. 0 when none qualifies.
std::int32_t choose_entering_column(const Tableau& t, std::int32_t K) {
  std::int32_t jp = 0;
  double best = -lp::kEps;
  for (std::int32_t j = 1; j <= t.N - 1; ++j) {
    if (t.COL(j) > 0 && t.A(K, j) < best) {
      best = t.A(K, j);
      jp = j;
    }
  }
  return jp;
}

// Ratio test on column jp. Starts from the entering variable's own bound
// (theta); returns the blocking row, 0 for a bound flip. A row blocks when
// its quantity falls to zero (positive entry) or when its basic variable
// rises to its upper bound (negative entry, feasible row, finite bound).
// The smallest step wins; on a tie a row beats the bound flip, and between
// rows the smaller signed label wins (infeasible rows first), on equal
// labels the later row. A slightly negative right-hand side gives a
// negative step, which wins: the sign of a ratio is not tested.
std::int32_t ratio_test(const Tableau& t, std::int32_t jp, double& theta) {
  std::int32_t ip = 0;
  for (std::int32_t i = 1; i <= t.M - 1; ++i) {
    const double a = t.A(i, jp);
    if (!(std::fabs(a) > lp::kEps)) continue;
    double r = 0.0;
    if (a > 0.0) {
      r = t.A(i, t.N) / a;
    } else {
      const std::int32_t l = t.ROW(i);
      if (l <= 0 || !(t.BOUND(l) < lp::kNoBoundThreshold)) continue;
      r = (t.A(i, t.N) - t.BOUND(l)) / a;
    }
    if (r < theta || (r == theta && (ip == 0 || t.ROW(i) <= t.ROW(ip)))) {
      theta = r;
      ip = i;
    }
  }
  return ip;
}

// Swaps the labels of row ip and column jp and returns the orientation in
// which the leaving variable's column will be stored. An artificial variable
// that leaves is barred for good. A row that won through its upper bound
// (negative pivot) makes its variable nonbasic at that bound: complemented.
double exchange_labels(const Tableau& t, std::int32_t ip, std::int32_t jp,
                       std::int32_t kin, std::int32_t lv) {
  double sgn = lv >= 0 ? 1.0 : -1.0;
  const std::int32_t leaving = std::abs(lv);
  t.ROW(ip) = kin;
  t.COL(jp) = leaving > t.NV ? -leaving : leaving;
  if (t.A(ip, jp) < 0.0) {
    t.A(ip, t.N) = t.A(ip, t.N) - t.BOUND(leaving);
    t.BOUND(leaving) = -t.BOUND(leaving);
    sgn = -1.0;
  }
  return sgn;
}

// Rewrites column jp in terms of u - x (u the bound of variable kin) over
// rows 1..K and flips the complement flag. Alone it is a bound flip; before
// a pivot it turns a complemented entering variable back into a plain one.
void complement_column(const Tableau& t, std::int32_t jp, std::int32_t kin,
                       std::int32_t K) {
  const double u = std::fabs(t.BOUND(kin));
  for (std::int32_t i = 1; i <= K; ++i) {
    t.A(i, t.N) = t.A(i, t.N) - u * t.A(i, jp);
    t.A(i, jp) = -t.A(i, jp);
  }
  t.BOUND(kin) = -t.BOUND(kin);
}

bool any_row_flagged(const Tableau& t) {
  for (std::int32_t i = 1; i <= t.M - 1; ++i) {
    if (t.ROW(i) < 0) return true;
  }
  return false;
}

// Exit: nonbasic variables sit at 0 or, complemented, at their bound; basic
// ones take their row's right-hand side; a value above the bound (rounding)
// is cut back to it, one below zero is left as it is.
void fill_solution(const Tableau& t, lp::VectorRef<double> X) {
  for (std::int32_t k = 1; k <= t.NV; ++k) {
    X(k) = t.BOUND(k) < 0.0 ? -t.BOUND(k) : 0.0;
  }
  // Artificial labels never index X. They are all flagged negative except
  // right after a recomputation that stopped early, where the solve ends
  // with the initial labels back in place.
  for (std::int32_t i = 1; i <= t.M - 1; ++i) {
    const std::int32_t k = t.ROW(i);
    if (k > 0 && k <= t.NV) X(k) = t.A(i, t.N);
  }
  for (std::int32_t k = 1; k <= t.NV; ++k) {
    if (std::fabs(t.BOUND(k)) <= X(k)) X(k) = std::fabs(t.BOUND(k));
  }
}

}  // namespace

void LINEAR(lp::MatrixRef A, lp::VectorRef<std::int32_t> ROW,
            lp::VectorRef<std::int32_t> COL, lp::VectorRef<double> BOUND,
            lp::VectorRef<double> X, std::int32_t M, std::int32_t N,
            std::int32_t NV, std::int32_t& STATUS, std::int32_t& ITER,
            std::int32_t LDA, std::int32_t NCOL, lp::MatrixRef ASAVE,
            lp::VectorRef<std::int32_t> ROW0, lp::VectorRef<std::int32_t> COL0,
            std::int32_t IUNIT, karvon::StepObserver* observer) {
  assert(A.rows() == LDA && A.cols() == NCOL && M + 1 <= LDA && N <= NCOL);
  const Tableau t{A, ROW, COL, BOUND, M, N, NV};
  std::int32_t restarts = 0;
  std::int32_t K = M + 1;
  // Without an observer a step costs one test.
  const auto notify = [&](karvon::StepKind kind, std::int32_t ip,
                          std::int32_t jp, std::int32_t entering,
                          std::int32_t leaving) {
    if (observer == nullptr) return;
    const karvon::StepPhase phase = kind == karvon::StepKind::kEntry
                                        ? karvon::StepPhase::kNone
                                    : K == M + 1 ? karvon::StepPhase::kOne
                                                 : karvon::StepPhase::kTwo;
    observer->step(karvon::Step{
        kind, phase, ITER, restarts, ip, jp, entering, leaving,
        karvon::TableauView{A.span().data(), A.span().size(), ROW.span().data(),
                            ROW.span().size(), COL.span().data(),
                            COL.span().size(), BOUND.span().data(),
                            BOUND.span().size(), LDA, NCOL, M, N, NV}});
  };

  ITER = 0;
  notify(karvon::StepKind::kEntry, 0, 0, 0, 0);
  std::int32_t iter_at_restart = 0;
  orient_rows(t);
  check_bounds(t);
  save_initial_tableau(A, M, N, IUNIT, ASAVE);
  if (IUNIT != 0) keep_initial_labels(t, ROW0, COL0);

  bool set_up = true;
  for (;;) {
    if (set_up) {
      set_up = false;
      const Phase phase = set_up_phase(t);
      if (phase == Phase::kInfeasible) {
        STATUS = lp::kInfeasible;
        break;
      }
      if (phase == Phase::kTwo) STATUS = lp::kOptimal;
      K = phase == Phase::kOne ? M + 1 : M;
    }
    // Degenerate problems can cycle: the cap ends the solve instead.
    if (ITER >= kMaxIterations) {
      STATUS = lp::kIterationLimit;
      break;
    }
    if (ITER == 0) notify(karvon::StepKind::kStart, 0, 0, 0, 0);

    const std::int32_t jp = choose_entering_column(t, K);
    if (jp == 0) {
      if (K == M) break;  // optimal; STATUS was set when phase 2 began
      // Phase 1 ran out of entering columns: restart it, rebuilding the
      // tableau from the initial one when that was kept.
      if (restarts >= kMaxRestarts || iter_at_restart == ITER) {
        STATUS = lp::kUnsettled;
        break;
      }
      ++restarts;
      iter_at_restart = ITER;
      if (IUNIT != 0) {
        RECOMP(A, ROW, COL, BOUND, M, N, NV, LDA, NCOL, ASAVE, ROW0, COL0,
               IUNIT);
        notify(karvon::StepKind::kRecomputed, 0, 0, 0, 0);
        // A recomputation that could not re-pivot every exchange leaves a
        // tableau that belongs to no basis: nothing sound can follow.
        if (any_row_flagged(t)) {
          STATUS = lp::kUnsettled;
          break;
        }
      }
      set_up = true;
      continue;
    }

    const std::int32_t kin = COL(jp);
    double theta = std::fabs(BOUND(kin));
    const std::int32_t ip = ratio_test(t, jp, theta);
    if (theta >= lp::kNoBoundThreshold) {
      STATUS = lp::kUnbounded;
      break;
    }
    std::int32_t lv = 0;
    double sgn = 1.0;
    if (ip > 0) {
      lv = ROW(ip);
      sgn = exchange_labels(t, ip, jp, kin, lv);
    }
    if (ip == 0 || BOUND(kin) < 0.0) complement_column(t, jp, kin, K);
    if (ip > 0) GAUSS(A, M, N, ip, jp, sgn, K, lv, LDA, NCOL);
    ++ITER;
    if (ip > 0) {
      notify(karvon::StepKind::kPivot, ip, jp, kin, std::abs(lv));
    } else {
      notify(karvon::StepKind::kBoundFlip, 0, jp, kin, 0);
    }
  }

  fill_solution(t, X);
}

}  // namespace solver
