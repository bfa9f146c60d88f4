#pragma once
// LINEAR: two-phase, bounded-variable primal simplex on a dense tableau.

#include <cstdint>

#include "common/lp.h"
#include "karvon/observer.h"

namespace solver {

// LINEAR gives up after kMaxIterations iterations (STATUS 2), and after
// kMaxRestarts restarts of phase 1 that settle nothing (STATUS -2).
inline constexpr std::int32_t kMaxRestarts = 5;
inline constexpr std::int32_t kMaxIterations = 100000;

// Minimises over the tableau A (rows 1..M-1 constraints, row M objective,
// row M+1 the phase-1 row it builds itself; columns 1..N-1 nonbasic
// variables, column N right-hand sides) with row labels ROW(1..M-1), column
// labels COL(1..N-1) and upper bounds BOUND(1..NV). Works in place; on return
// X(1..NV) holds the values, STATUS the result (0 optimal, 1 unbounded,
// -1 infeasible, -2 unsettled, 2 iteration limit), ITER the iterations.
// ASAVE, ROW0, COL0 are work arrays that must outlive the call's
// recomputations. IUNIT > 0 keeps the initial tableau on the scratch unit,
// < 0 in ASAVE, 0 nowhere. `observer`, when not null, hears of every step:
// on entry, before the first iteration, after each pivot or bound flip and
// after each recomputation (the tableau print is one such observer).
// Ends the run with stop code 1111 on a negative bound.
void LINEAR(lp::MatrixRef A, lp::VectorRef<std::int32_t> ROW,
            lp::VectorRef<std::int32_t> COL, lp::VectorRef<double> BOUND,
            lp::VectorRef<double> X, std::int32_t M, std::int32_t N,
            std::int32_t NV, std::int32_t& STATUS, std::int32_t& ITER,
            std::int32_t LDA, std::int32_t NCOL, lp::MatrixRef ASAVE,
            lp::VectorRef<std::int32_t> ROW0, lp::VectorRef<std::int32_t> COL0,
            std::int32_t IUNIT, karvon::StepObserver* observer);

}  // namespace solver
