#pragma once
// RECOMP: rebuilds the tableau for the current basis from the saved initial
// tableau.

#include <cstdint>

#include "common/lp.h"

namespace solver {

// Reloads the initial tableau (scratch record when IUNIT > 0, ASAVE when
// IUNIT < 0, A kept as it is when IUNIT = 0) into rows 1..M, then carries it
// to the current basis by pivots chosen by size, then complements again the
// nonbasic variables that stand at their upper bound.
//   A          in/out  LDA x NCOL tableau; rows 1..M, columns 1..N replaced.
//                      Row M+1 is not touched.
//   ROW, COL   in/out  labels 1..M-1 and 1..N-1, compared by magnitude. On
//                      return: the initial labels in their initial places,
//                      with each re-pivot's exchange applied; a label left
//                      negative marks a row or column that the re-pivoting
//                      could not exchange (no candidate above 1.0e-6).
//   BOUND      in/out  bounds of variables 1..NV; basic ones come out
//                      nonnegative, complemented nonbasic ones stay negative.
//   M, N, NV   in      tableau size and the number of real variables.
//   LDA, NCOL  in      dimensions of A and ASAVE.
//   ASAVE      in      the initial tableau when IUNIT < 0.
//   ROW0, COL0 in/out  the initial label magnitudes; used as scratch marks
//                      and left as they were.
//   IUNIT      in      where the initial tableau is kept.
// Ends the run with stop code 2222 when the numbers of leaving and entering
// variables differ (a variable number occurs twice among the labels).
void RECOMP(lp::MatrixRef A, lp::VectorRef<std::int32_t> ROW,
            lp::VectorRef<std::int32_t> COL, lp::VectorRef<double> BOUND,
            std::int32_t M, std::int32_t N, std::int32_t NV, std::int32_t LDA,
            std::int32_t NCOL, lp::MatrixRef ASAVE,
            lp::VectorRef<std::int32_t> ROW0, lp::VectorRef<std::int32_t> COL0,
            std::int32_t IUNIT);

}  // namespace solver
