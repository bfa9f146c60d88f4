#pragma once
// A deck's problem as karvon holds it: fixed-size arrays that live for the
// whole run, zero at start and reused by every problem without being
// cleared.

#include <array>
#include <cstdint>

#include "common/lp.h"

namespace deck {

struct Storage {
  std::int32_t IUNIT = 0;
  std::int32_t IOUT = 6;
  std::int32_t M = 0;
  std::int32_t N = 0;
  std::int32_t NBOUND = 0;
  std::int32_t NV = 0;
  std::int32_t STATUS = 0;
  std::int32_t ITER = 0;
  std::array<double, std::size_t(lp::kLda) * lp::kNcol> A{};
  std::array<double, std::size_t(lp::kLda) * lp::kNcol> ASAVE{};
  std::array<double, lp::kMaxVariables> BOUND{};
  std::array<double, lp::kMaxVariables> X{};
  std::array<std::int32_t, lp::kLda> ROW{};
  std::array<std::int32_t, lp::kLda> ROW0{};
  std::array<std::int32_t, lp::kNcol> COL{};
  std::array<std::int32_t, lp::kNcol> COL0{};

  lp::MatrixRef a() { return {A, lp::kLda, lp::kNcol}; }
  lp::MatrixRef asave() { return {ASAVE, lp::kLda, lp::kNcol}; }
  lp::VectorRef<double> bound() { return lp::VectorRef<double>(BOUND); }
  lp::VectorRef<double> x() { return lp::VectorRef<double>(X); }
  lp::VectorRef<std::int32_t> row() { return lp::VectorRef<std::int32_t>(ROW); }
  lp::VectorRef<std::int32_t> row0() {
    return lp::VectorRef<std::int32_t>(ROW0);
  }
  lp::VectorRef<std::int32_t> col() { return lp::VectorRef<std::int32_t>(COL); }
  lp::VectorRef<std::int32_t> col0() {
    return lp::VectorRef<std::int32_t>(COL0);
  }
};

}  // namespace deck
