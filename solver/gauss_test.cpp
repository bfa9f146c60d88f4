#include "solver/gauss.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "common/lp.h"
#include "tests/support/seed.h"

namespace solver {
namespace {

// The exchange step exactly as it reads, row by row: the form every faster
// one must match bit for bit.
void reference_gauss(lp::MatrixRef A, std::int32_t M, std::int32_t N,
                     std::int32_t IP, std::int32_t JP, double SGN,
                     std::int32_t K, std::int32_t LV) {
  const double p = A(IP, JP);
  A(IP, JP) = SGN;
  for (std::int32_t j = 1; j <= N; ++j) A(IP, j) = A(IP, j) / p;
  for (std::int32_t i = 1; i <= K; ++i) {
    if (i == IP) continue;
    const double f = A(i, JP);
    A(i, JP) = LV < 0 && i == M + 1 ? 1.0 : 0.0;
    for (std::int32_t j = 1; j <= N; ++j) A(i, j) = A(i, j) - f * A(IP, j);
  }
}

struct Small {
  std::array<double, 4 * 4> a{};
  lp::MatrixRef A{a, 4, 4};
  // rows given as {row1, row2, row3}, 3 columns each
  Small(std::array<double, 3> r1, std::array<double, 3> r2,
        std::array<double, 3> r3 = {}) {
    for (std::int32_t j = 1; j <= 3; ++j) {
      A(1, j) = r1[std::size_t(j - 1)];
      A(2, j) = r2[std::size_t(j - 1)];
      A(3, j) = r3[std::size_t(j - 1)];
    }
  }
};

TEST(Gauss, WorkedExampleWithBothSigns) {
  Small plus({2, 4, 6}, {1, 3, 5});
  GAUSS(plus.A, 2, 3, 1, 1, 1.0, 2, 5, 4, 4);
  EXPECT_EQ(plus.A(1, 1), 0.5);
  EXPECT_EQ(plus.A(1, 2), 2.0);
  EXPECT_EQ(plus.A(1, 3), 3.0);
  EXPECT_EQ(plus.A(2, 1), -0.5);
  EXPECT_EQ(plus.A(2, 2), 1.0);
  EXPECT_EQ(plus.A(2, 3), 2.0);

  // The sign only changes the pivot column.
  Small minus({2, 4, 6}, {1, 3, 5});
  GAUSS(minus.A, 2, 3, 1, 1, -1.0, 2, 5, 4, 4);
  EXPECT_EQ(minus.A(1, 1), -0.5);
  EXPECT_EQ(minus.A(2, 1), 0.5);
  for (std::int32_t i = 1; i <= 2; ++i) {
    for (std::int32_t j = 2; j <= 3; ++j) {
      EXPECT_EQ(minus.A(i, j), plus.A(i, j)) << i << "," << j;
    }
  }
}

TEST(Gauss, PhaseOneRowStartsFromOneOnlyForAFlaggedLeaver) {
  // M = 2: row 3 is the phase-1 row. f = 1 there, pivot 2, SGN = 1.
  for (const std::int32_t lv : {-5, 5}) {
    Small s({2, 4, 6}, {1, 3, 5}, {1, 1, 1});
    GAUSS(s.A, 2, 3, 1, 1, 1.0, 3, lv, 4, 4);
    EXPECT_EQ(s.A(3, 1), (lv < 0 ? 1.0 : 0.0) - 0.5) << lv;
    EXPECT_EQ(s.A(3, 2), -1.0);
    EXPECT_EQ(s.A(3, 3), -2.0);
  }
}

TEST(Gauss, PhaseTwoLeavesThePhaseOneRowAlone) {
  Small s({2, 4, 6}, {1, 3, 5}, {7, 8, 9});
  GAUSS(s.A, 2, 3, 1, 1, 1.0, 2, -5, 4, 4);
  EXPECT_EQ(s.A(3, 1), 7.0);
  EXPECT_EQ(s.A(3, 2), 8.0);
  EXPECT_EQ(s.A(3, 3), 9.0);
}

TEST(Gauss, RowWithZeroInPivotColumnKeepsItsEntries) {
  Small s({2, 4, 6}, {0, 3, 5});
  GAUSS(s.A, 2, 3, 1, 1, -1.0, 2, 1, 4, 4);
  EXPECT_EQ(s.A(2, 2), 3.0);
  EXPECT_EQ(s.A(2, 3), 5.0);
  // b - 0 * (SGN/p): +0.0, not -0.0.
  EXPECT_EQ(s.A(2, 1), 0.0);
  EXPECT_FALSE(std::signbit(s.A(2, 1)));
}

TEST(Gauss, TouchesOnlyRowsUpToKAndColumnsUpToN) {
  std::array<double, 4 * 4> a{};
  a.fill(7.0);
  lp::MatrixRef A(a, 4, 4);
  A(1, 1) = 2.0;
  GAUSS(A, 2, 3, 1, 1, 1.0, 2, 1, 4, 4);
  for (std::int32_t i = 1; i <= 4; ++i) EXPECT_EQ(A(i, 4), 7.0) << i;
  for (std::int32_t j = 1; j <= 4; ++j) {
    EXPECT_EQ(A(3, j), 7.0) << j;
    EXPECT_EQ(A(4, j), 7.0) << j;
  }
  // The right-hand-side column (3) is divided and eliminated like any other.
  EXPECT_EQ(A(1, 3), 3.5);
  EXPECT_EQ(A(2, 3), 7.0 - 7.0 * 3.5);
}

// Random entries with exact zeros and negative zeros, and with extremes on
// request, so that signed zeros, subnormal products and overflow come up.
double random_entry(std::mt19937_64& rng, bool extremes) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  switch (rng() % 16) {
    case 0:
      return 0.0;
    case 1:
      return -0.0;
    case 2:
      return extremes ? u(rng) * 1.0e-300 : 0.5;
    case 3:
      return extremes ? u(rng) * 1.0e300 : -0.5;
    default:
      return u(rng) * 10.0;
  }
}

// Every width the processor runs, the scalar loop included.
std::vector<Lanes> offered_widths() {
  std::vector<Lanes> widths = {Lanes::kOne};
  if (std::uint8_t(widest_lanes()) >= 2) widths.push_back(Lanes::kTwo);
  if (std::uint8_t(widest_lanes()) >= 4) widths.push_back(Lanes::kFour);
  if (std::uint8_t(widest_lanes()) >= 8) widths.push_back(Lanes::kEight);
  return widths;
}

// Long chains of pivots in every shape the solver can hand over: the fast
// elimination, at every width the processor offers, must give the very same
// bytes as the row-by-row form after every step, entries outside the
// transformed block included.
TEST(Gauss, ColumnOrderedEliminationIsBitIdenticalToRowByRow) {
  const std::vector<Lanes> widths = offered_widths();
  test_support::SeededRng rng(20240601);
  std::array<double, lp::kLda * lp::kNcol> ref{};
  std::array<double, lp::kLda * lp::kNcol> fast{};
  std::int64_t pivots = 0;
  for (int chain = 0; chain < 200; ++chain) {
    // Shapes from 1 x 1 to the largest, with M + 1 <= LDA.
    const std::int32_t M = 1 + std::int32_t(rng() % 50);
    const std::int32_t N = 1 + std::int32_t(rng() % 61);
    // Every other chain keeps to moderate values, so that most of its
    // pivots work on finite numbers rather than on overflow.
    for (double& v : ref) v = random_entry(rng, chain % 2 == 1);
    const Lanes lanes = widths[std::size_t(chain) % widths.size()];
    fast = ref;
    lp::MatrixRef R(ref, lp::kLda, lp::kNcol);
    lp::MatrixRef F(fast, lp::kLda, lp::kNcol);
    for (int step = 0; step < 200; ++step) {
      const bool phase1 = rng() % 2 == 0;
      const std::int32_t K = phase1 ? M + 1 : M;
      const std::int32_t ip = 1 + std::int32_t(rng() % std::uint64_t(K));
      const std::int32_t jp = 1 + std::int32_t(rng() % std::uint64_t(N));
      if (!(std::fabs(R(ip, jp)) > 1.0e-6)) continue;
      const double sgn = rng() % 2 == 0 ? 1.0 : -1.0;
      const std::int32_t lv = rng() % 2 == 0 ? -7 : 7;
      reference_gauss(R, M, N, ip, jp, sgn, K, lv);
      const std::int32_t one_row = lv < 0 && K >= M + 1 ? M + 1 : 0;
      eliminate(F, N, ip, jp, sgn, K, one_row, lanes);
      ++pivots;
      ASSERT_EQ(std::memcmp(ref.data(), fast.data(), sizeof ref), 0)
          << "chain " << chain << " step " << step << " M=" << M << " N=" << N
          << " ip=" << ip << " jp=" << jp;
    }
  }
  EXPECT_GT(pivots, 15000);
}

// Tableaux taller and wider than the driver's, where the rows take more than
// one panel of vectors at every width and the columns more than one batch of
// divided pivot-row entries: K x N as listed, in a 150 x 140 array.
TEST(Gauss, LargerTableauxMatchRowByRow) {
  constexpr std::int32_t kRows = 150;
  constexpr std::int32_t kCols = 140;
  struct Shape {
    std::int32_t k;
    std::int32_t n;
  };
  const Shape shapes[] = {{150, 140}, {130, 65}, {64, 64}, {57, 129}, {72, 2}};
  test_support::SeededRng rng(99);
  std::vector<double> ref(std::size_t(kRows) * kCols);
  std::vector<double> fast(ref.size());
  for (const Shape shape : shapes) {
    for (const Lanes lanes : offered_widths()) {
      for (double& v : ref) v = random_entry(rng, false);
      fast = ref;
      lp::MatrixRef R(ref, kRows, kCols);
      lp::MatrixRef F(fast, kRows, kCols);
      // M = k - 1: the last row is the phase-1 row, and starts from 1.0.
      for (int step = 0; step < 8; ++step) {
        const std::int32_t ip =
            1 + std::int32_t(rng() % std::uint64_t(shape.k));
        const std::int32_t jp =
            1 + std::int32_t(rng() % std::uint64_t(shape.n));
        if (!(std::fabs(R(ip, jp)) > 1.0e-6)) continue;
        reference_gauss(R, shape.k - 1, shape.n, ip, jp, -1.0, shape.k, -1);
        eliminate(F, shape.n, ip, jp, -1.0, shape.k, shape.k, lanes);
        ASSERT_EQ(
            std::memcmp(ref.data(), fast.data(), sizeof(double) * ref.size()),
            0)
            << "K=" << shape.k << " N=" << shape.n << " width " << int(lanes)
            << " ip=" << ip << " jp=" << jp;
      }
    }
  }
}

// GAUSS itself (the widest path) against the reference on the driver's
// full-size tableau, pivots chosen as the solver chooses them: in a
// constraint row, with a pivot above the tolerance.
TEST(Gauss, FullSizeChainMatchesRowByRow) {
  test_support::SeededRng rng(7);
  std::uniform_real_distribution<double> u(-5.0, 5.0);
  std::array<double, lp::kLda * lp::kNcol> ref{};
  for (double& v : ref) v = u(rng);
  std::array<double, lp::kLda* lp::kNcol> fast = ref;
  lp::MatrixRef R(ref, lp::kLda, lp::kNcol);
  lp::MatrixRef F(fast, lp::kLda, lp::kNcol);
  constexpr std::int32_t M = 50;
  constexpr std::int32_t N = 61;
  for (int step = 0; step < 5000; ++step) {
    const std::int32_t jp = 1 + std::int32_t(rng() % (N - 1));
    // The largest entry of the column keeps the values in range.
    std::int32_t ip = 1;
    for (std::int32_t i = 2; i <= M - 1; ++i) {
      if (std::fabs(R(i, jp)) > std::fabs(R(ip, jp))) ip = i;
    }
    const std::int32_t K = step % 3 == 0 ? M : M + 1;
    const std::int32_t lv = step % 5 == 0 ? -3 : 3;
    const double sgn = step % 2 == 0 ? 1.0 : -1.0;
    reference_gauss(R, M, N, ip, jp, sgn, K, lv);
    GAUSS(F, M, N, ip, jp, sgn, K, lv, lp::kLda, lp::kNcol);
    ASSERT_EQ(std::memcmp(ref.data(), fast.data(), sizeof ref), 0)
        << "step " << step;
  }
}

}  // namespace
}  // namespace solver
