#pragma once
// The arrays of one solver call and the views the solver takes of them: the
// tableau A and its saved copy ASAVE, the row and column labels with their
// initial copies, the bounds and the values. The solver's tests set a
// problem up in them and read the result back through the views.

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/lp.h"

namespace test_support {

// Lda x Ncol tableaus, Rows row labels, Cols column labels, Nv bounds and
// values; all zero at first. By default the driver's sizes.
template <std::int32_t Lda = lp::kLda, std::int32_t Ncol = lp::kNcol,
          std::size_t Rows = std::size_t(Lda),
          std::size_t Cols = std::size_t(Ncol),
          std::size_t Nv = std::size_t(lp::kMaxVariables)>
struct TableauArrays {
  static constexpr std::int32_t kLda = Lda;
  static constexpr std::int32_t kNcol = Ncol;

  TableauArrays() = default;
  // The views point into this object's own arrays.
  TableauArrays(const TableauArrays&) = delete;
  TableauArrays& operator=(const TableauArrays&) = delete;

  std::array<double, std::size_t(Lda) * std::size_t(Ncol)> a{};
  std::array<double, std::size_t(Lda) * std::size_t(Ncol)> asave{};
  std::array<std::int32_t, Rows> row{};
  std::array<std::int32_t, Cols> col{};
  std::array<std::int32_t, Rows> row0{};
  std::array<std::int32_t, Cols> col0{};
  std::array<double, Nv> bound{};
  std::array<double, Nv> x{};
  lp::MatrixRef A{a, Lda, Ncol};
  lp::MatrixRef ASAVE{asave, Lda, Ncol};
  lp::VectorRef<std::int32_t> ROW{row};
  lp::VectorRef<std::int32_t> COL{col};
  lp::VectorRef<std::int32_t> ROW0{row0};
  lp::VectorRef<std::int32_t> COL0{col0};
  lp::VectorRef<double> BOUND{bound};
  lp::VectorRef<double> X{x};
};

}  // namespace test_support
