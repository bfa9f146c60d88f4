#include "simplex/kernels.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "tests/support/seed.h"

namespace {

struct Result {
  std::vector<double> y;
  std::vector<double> plain;  // y after axpy
  double axpy_sum;
  double squares;
  double dot;
  std::vector<double> fused;  // y after dot_axpy
  double fused_dot;
};

Result run_at(int width, std::vector<double> y, const std::vector<double>& x,
              double f) {
  simplex::use_vector_width(width);
  Result r;
  r.axpy_sum = simplex::axpy_squares(y.data(), x.data(), f, y.size());
  r.squares = simplex::sum_of_squares(x.data(), x.size());
  r.dot = simplex::dot(x.data(), y.data(), x.size());
  r.plain = y;
  simplex::axpy(r.plain.data(), x.data(), -f, x.size());
  r.fused = y;
  r.fused_dot = simplex::dot_axpy(r.fused.data(), x.data(), -f, x.size());
  r.y = std::move(y);
  return r;
}

// Every width must give the bits of every other: the model road's answers
// may not depend on the processor. Lengths around the eight lanes and the
// pivot columns of real tableaux; values of mixed magnitude, so that the
// order of the additions shows in the last bits.
TEST(Kernels, EveryWidthGivesTheSameBits) {
  test_support::SeededRng rng(21);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::uniform_int_distribution<int> scale(-20, 20);
  const int widest = simplex::use_vector_width(8);
  for (const std::size_t n :
       {0u, 1u, 7u, 8u, 9u, 15u, 16u, 17u, 51u, 201u, 1001u, 3001u}) {
    SCOPED_TRACE(::testing::Message() << "length " << n);
    std::vector<double> y(n), x(n);
    for (double& v : y) v = std::ldexp(u(rng), scale(rng));
    for (double& v : x) v = std::ldexp(u(rng), scale(rng));
    const double f = u(rng);
    const Result base = run_at(2, y, x, f);
    double naive = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const double v = y[i] + f * x[i];
      EXPECT_EQ(std::bit_cast<std::uint64_t>(base.y[i]),
                std::bit_cast<std::uint64_t>(v));
      naive += v * v;
    }
    EXPECT_NEAR(base.axpy_sum, naive, 1e-12 * naive);
    // The fused pass is the dot product and then the axpy.
    EXPECT_EQ(base.fused, base.plain);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(base.fused_dot),
              std::bit_cast<std::uint64_t>(base.dot));
    for (const int w : {4, 8}) {
      if (w > widest) continue;
      SCOPED_TRACE(::testing::Message() << "width " << w);
      const Result other = run_at(w, y, x, f);
      EXPECT_EQ(std::bit_cast<std::uint64_t>(other.axpy_sum),
                std::bit_cast<std::uint64_t>(base.axpy_sum));
      EXPECT_EQ(std::bit_cast<std::uint64_t>(other.squares),
                std::bit_cast<std::uint64_t>(base.squares));
      EXPECT_EQ(std::bit_cast<std::uint64_t>(other.dot),
                std::bit_cast<std::uint64_t>(base.dot));
      EXPECT_EQ(other.plain, base.plain);
      EXPECT_EQ(other.fused, base.fused);
      EXPECT_EQ(std::bit_cast<std::uint64_t>(other.fused_dot),
                std::bit_cast<std::uint64_t>(base.dot));
      for (std::size_t i = 0; i < n; ++i)
        ASSERT_EQ(std::bit_cast<std::uint64_t>(other.y[i]),
                  std::bit_cast<std::uint64_t>(base.y[i]))
            << "entry " << i;
    }
  }
  simplex::use_vector_width(widest);
}

// The whole dense pivot in one call is the loop over the columns with
// axpy_squares, bit for bit, at every width.
TEST(Kernels, PivotColumnsIsTheLoopOverColumns) {
  test_support::SeededRng rng(23);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  const int widest = simplex::use_vector_width(8);
  for (const std::size_t ld : {8u, 16u, 56u}) {
    const std::size_t n = 75;  // two batches, the last not whole lanes
    const std::size_t p = ld / 2;
    const std::size_t q = 5;
    std::vector<double> t(ld * n);
    for (double& v : t) v = u(rng);
    for (std::size_t j = 0; j < n; j += 3) t[j * ld + p] = 0.0;
    t[q * ld + p] = 0.75;
    for (const int w : {2, 4, 8}) {
      if (w > widest) continue;
      simplex::use_vector_width(w);
      std::vector<double> a = t;
      std::vector<double> b = t;
      std::vector<double> ga(n, -1.0);
      std::vector<double> gb(n, -1.0);
      const double piv = t[q * ld + p];
      a[q * ld + p] = 0.0;
      b[q * ld + p] = 0.0;
      simplex::pivot_columns(
          {a.data(), ld, ld - 2, n, p, q, &a[q * ld], piv, ga.data()});
      for (std::size_t j = 0; j < n; ++j) {
        double* cj = &b[j * ld];
        const double e = cj[p];
        if (e == 0.0 || j == q) continue;
        const double f = -e / piv;
        double g = 1.0 + simplex::axpy_squares(cj, &b[q * ld], f, ld) -
                   cj[ld - 2] * cj[ld - 2] - cj[ld - 1] * cj[ld - 1];
        g += f * f - e * e;
        gb[j] = g < 1.0 ? 1.0 : g;
        cj[p] = f;
      }
      EXPECT_EQ(a, b) << "width " << w << ", ld " << ld;
      EXPECT_EQ(ga, gb) << "width " << w << ", ld " << ld;
    }
  }
  simplex::use_vector_width(widest);
}

// Eight columns side by side must add each column's terms as a loop over
// that column alone does, whatever the count of columns.
TEST(Kernels, WeightedRowSumsAddEachColumnInOrder) {
  test_support::SeededRng rng(22);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::uniform_int_distribution<int> scale(-20, 20);
  constexpr std::size_t kLd = 13;
  const std::vector<std::int32_t> rows = {0, 2, 3, 7, 11, 12};
  std::vector<double> weights(rows.size());
  for (double& w : weights) w = u(rng);
  for (const std::size_t n : {0u, 1u, 7u, 8u, 9u, 17u, 40u}) {
    SCOPED_TRACE(::testing::Message() << n << " columns");
    std::vector<double> t(kLd * n);
    for (double& v : t) v = std::ldexp(u(rng), scale(rng));
    std::vector<double> d(n, -1.0);
    simplex::weighted_row_sums(t.data(), kLd, n, rows.data(), weights.data(),
                               rows.size(), d.data());
    for (std::size_t q = 0; q < n; ++q) {
      double s = 0.0;
      for (std::size_t r = 0; r < rows.size(); ++r)
        s += weights[r] * t[q * kLd + std::size_t(rows[r])];
      EXPECT_EQ(std::bit_cast<std::uint64_t>(d[q]),
                std::bit_cast<std::uint64_t>(s))
          << "column " << q;
    }
  }
}

}  // namespace
