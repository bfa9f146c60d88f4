#pragma once
// The driver's storage: fixed-size arrays that live for the whole run, zero
// at start and reused by every problem without being cleared.

#include <array>
#include <cstdint>

#include "solver/tableau.h"

namespace driver {

inline constexpr std::int32_t kLda = 51;   // rows of A and ASAVE
inline constexpr std::int32_t kNcol = 61;  // columns of A and ASAVE
inline constexpr std::int32_t kMaxVariables = 110;

struct Storage {
  std::int32_t IUNIT = 0;
  std::int32_t IOUT = 6;
  std::int32_t M = 0;
  std::int32_t N = 0;
  std::int32_t NBOUND = 0;
  std::int32_t NV = 0;
  std::int32_t STATUS = 0;
  std::int32_t ITER = 0;
  std::array<double, std::size_t(kLda) * kNcol> A{};
  std::array<double, std::size_t(kLda) * kNcol> ASAVE{};
  std::array<double, kMaxVariables> BOUND{};
  std::array<double, kMaxVariables> X{};
  std::array<std::int32_t, kLda> ROW{};
  std::array<std::int32_t, kLda> ROW0{};
  std::array<std::int32_t, kNcol> COL{};
  std::array<std::int32_t, kNcol> COL0{};

  solver::MatrixRef a() { return {A, kLda, kNcol}; }
  solver::MatrixRef asave() { return {ASAVE, kLda, kNcol}; }
  solver::VectorRef<double> bound() { return solver::VectorRef<double>(BOUND); }
  solver::VectorRef<double> x() { return solver::VectorRef<double>(X); }
  solver::VectorRef<std::int32_t> row() {
    return solver::VectorRef<std::int32_t>(ROW);
  }
  solver::VectorRef<std::int32_t> row0() {
    return solver::VectorRef<std::int32_t>(ROW0);
  }
  solver::VectorRef<std::int32_t> col() {
    return solver::VectorRef<std::int32_t>(COL);
  }
  solver::VectorRef<std::int32_t> col0() {
    return solver::VectorRef<std::int32_t>(COL0);
  }
};

}  // namespace driver
