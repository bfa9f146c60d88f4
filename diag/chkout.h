#pragma once
// CHKOUT: the boxed print of the simplex tableau, its labels and bounds.

#include <cstdint>

#include "common/lp.h"
#include "karvon/observer.h"

namespace diag {

// Prints, on unit IOUT, rows 1..M-1 of A with the row labels LI on the
// right, a separator, rows M and M+1, the column labels LJ(1..N-1) and the
// values DJ(1..N-1) underneath, and one empty line. Prints nothing when
// IOUT <= 0. Changes none of its arguments.
//   A         LDA x NCOL tableau; rows 1..M+1, columns 1..N are printed.
//   LI, LJ    row labels (1..M-1) and column labels (1..N-1; LJ(1) is
//             printed even when N = 1).
//   DJ        one value per column, 1..N-1 (LINEAR passes its bounds).
//   M, N      tableau size; N > 8 splits the separators over records.
//   IOUT      the print unit.
// The remaining arguments belong to the call's historical form and do not
// change the print: LI0 and LJ0 (initial labels), NV, NCOL, and ITER, IP,
// JP (the iteration and pivot position just made).
void CHKOUT(lp::MatrixRef A, lp::VectorRef<const std::int32_t> LI,
            lp::VectorRef<const std::int32_t> LJ,
            lp::VectorRef<const double> DJ,
            lp::VectorRef<const std::int32_t> LI0,
            lp::VectorRef<const std::int32_t> LJ0, std::int32_t M,
            std::int32_t N, std::int32_t NV, std::int32_t LDA,
            std::int32_t NCOL, std::int32_t IOUT, std::int32_t ITER,
            std::int32_t IP, std::int32_t JP);

// The print as an observer of LINEAR: CHKOUT of every step on one unit, with
// the tableau, labels and bounds the step shows.
class TableauPrint final : public karvon::StepObserver {
 public:
  explicit TableauPrint(std::int32_t unit) : unit_(unit) {}
  void step(const karvon::Step& s) override;

 private:
  std::int32_t unit_;
};

}  // namespace diag
