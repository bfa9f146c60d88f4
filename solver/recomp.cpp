#include "solver/recomp.h"

#include <cassert>
#include <cmath>
#include <cstdlib>

#include "recio/errors.h"
#include "solver/gauss.h"
#include "solver/scratch.h"

namespace solver {
namespace {

// RECOMP's own tolerance: a re-pivot candidate must be larger than this.
constexpr double kRepivotTolerance = 1.0e-6;
constexpr std::int32_t kCountMismatchStop = 2222;

bool contains(lp::VectorRef<std::int32_t> labels, std::int32_t count,
              std::int32_t value) {
  for (std::int32_t i = 1; i <= count; ++i) {
    if (labels(i) == value) return true;
  }
  return false;
}

// Negates every entry of `initial` (1..count) that no longer occurs among
// `current`, and returns how many it negated.
std::int32_t mark_changed(lp::VectorRef<std::int32_t> initial,
                          lp::VectorRef<std::int32_t> current,
                          std::int32_t count) {
  std::int32_t changed = 0;
  for (std::int32_t i = 1; i <= count; ++i) {
    if (!contains(current, count, initial(i))) {
      initial(i) = -initial(i);
      ++changed;
    }
  }
  return changed;
}

// Puts the initial labels, marks included, back into `labels` and clears
// the marks from `initial`.
void restore_initial(lp::VectorRef<std::int32_t> labels,
                     lp::VectorRef<std::int32_t> initial, std::int32_t count) {
  for (std::int32_t i = 1; i <= count; ++i) {
    labels(i) = initial(i);
    initial(i) = std::abs(initial(i));
  }
}

// Exchanges marked rows with marked columns, largest candidate first, until
// `pairs` exchanges are made or no candidate exceeds the tolerance. The
// search runs by column, then by row, and takes a candidate only when it is
// strictly larger, so among equal magnitudes the first met wins.
void repivot(lp::MatrixRef A, lp::VectorRef<std::int32_t> ROW,
             lp::VectorRef<std::int32_t> COL, std::int32_t M, std::int32_t N,
             std::int32_t pairs) {
  for (std::int32_t step = 0; step < pairs; ++step) {
    double best = 0.0;
    std::int32_t r = 0;
    std::int32_t s = 0;
    for (std::int32_t j = 1; j <= N - 1; ++j) {
      if (COL(j) >= 0) continue;
      for (std::int32_t i = 1; i <= M - 1; ++i) {
        if (ROW(i) >= 0) continue;
        if (std::fabs(A(i, j)) > best) {
          best = std::fabs(A(i, j));
          r = i;
          s = j;
        }
      }
    }
    // Nothing usable left: the rest stays marked; LINEAR notices.
    if (best <= kRepivotTolerance) return;
    const std::int32_t t = -ROW(r);
    ROW(r) = -COL(s);
    COL(s) = t;
    eliminate(A, N, r, s, 1.0, M, 0);
  }
}

// Label magnitude as an index into BOUND, or 0 for an artificial variable.
// A label still negative after an early stop is taken by its magnitude.
std::int32_t bound_index(std::int32_t label, std::int32_t NV) {
  const std::int32_t k = std::abs(label);
  return k >= 1 && k <= NV ? k : 0;
}

}  // namespace

void RECOMP(lp::MatrixRef A, lp::VectorRef<std::int32_t> ROW,
            lp::VectorRef<std::int32_t> COL, lp::VectorRef<double> BOUND,
            std::int32_t M, std::int32_t N, std::int32_t NV,
            [[maybe_unused]] std::int32_t LDA,
            [[maybe_unused]] std::int32_t NCOL, lp::MatrixRef ASAVE,
            lp::VectorRef<std::int32_t> ROW0, lp::VectorRef<std::int32_t> COL0,
            std::int32_t IUNIT) {
  assert(A.rows() == LDA && A.cols() == NCOL);
  reload_initial_tableau(A, M, N, IUNIT, ASAVE);

  // The sign flags of LINEAR mean nothing here: labels are matched by
  // magnitude.
  for (std::int32_t i = 1; i <= M - 1; ++i) ROW(i) = std::abs(ROW(i));
  for (std::int32_t j = 1; j <= N - 1; ++j) COL(j) = std::abs(COL(j));

  // Initially basic variables that are basic no longer, and initially
  // nonbasic ones that are basic now. Back in the initial positions they
  // carry a negative label: the rows and columns to exchange.
  const std::int32_t leavers = mark_changed(ROW0, ROW, M - 1);
  const std::int32_t enterers = mark_changed(COL0, COL, N - 1);
  restore_initial(ROW, ROW0, M - 1);
  restore_initial(COL, COL0, N - 1);
  if (enterers != leavers) recio::stop_numeric(kCountMismatchStop);

  repivot(A, ROW, COL, M, N, leavers);

  // The reloaded tableau has every variable uncomplemented: a basic one
  // stays so, and a nonbasic one at its upper bound is complemented again
  // in every row, the objective row included.
  for (std::int32_t i = 1; i <= M - 1; ++i) {
    const std::int32_t k = bound_index(ROW(i), NV);
    if (k != 0) BOUND(k) = std::fabs(BOUND(k));
  }
  for (std::int32_t j = 1; j <= N - 1; ++j) {
    const std::int32_t k = bound_index(COL(j), NV);
    if (k == 0 || !(BOUND(k) < 0.0)) continue;
    const double t = -BOUND(k);
    for (std::int32_t i = 1; i <= M; ++i) {
      A(i, N) = A(i, N) - t * A(i, j);
      A(i, j) = -A(i, j);
    }
  }
}

}  // namespace solver
