#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "simplex/certify.h"
#include "simplex/kernels.h"
#include "simplex/solve.h"
#include "tests/support/seed.h"

namespace {

using simplex::kInf;
using simplex::Problem;

// min -x - y, x + y <= 1 (row 0), x - y >= -2 (row 1), 0 <= x, y.
Problem two_by_two() {
  Problem p;
  p.rows = 2;
  p.cols = 2;
  p.start = {0, 2, 4};
  p.index = {0, 1, 0, 1};
  p.value = {1, 1, 1, -1};
  p.cost = {-1, -1};
  p.col_lower = {0, 0};
  p.col_upper = {kInf, kInf};
  p.row_lower = {-kInf, -2};
  p.row_upper = {1, kInf};
  return p;
}

// The checks must refuse what is not a proof: they are what stands between
// the engine and a wrong answer.
TEST(Certify, RaysAndFarkasProofsAreCheckedNotTrusted) {
  const Problem p = two_by_two();
  EXPECT_FALSE(simplex::is_improving_ray(p, {1, 0}));  // leaves row 0
  EXPECT_FALSE(simplex::is_improving_ray(p, {0, 0}));
  Problem open = p;
  open.row_upper = {kInf, kInf};
  EXPECT_TRUE(simplex::is_improving_ray(open, {1, 1}));
  EXPECT_FALSE(simplex::is_improving_ray(open, {-1, 0}));  // x >= 0

  EXPECT_FALSE(simplex::is_farkas_proof(p, {1, 0}));
  Problem crossed = p;
  crossed.row_lower = {2, -kInf};  // x + y >= 2 and x + y <= 1 below
  crossed.row_upper = {kInf, kInf};
  crossed.value = {1, 1, 1, 1};
  crossed.row_upper[1] = 1;
  EXPECT_TRUE(simplex::is_farkas_proof(crossed, {1, -1}));
  EXPECT_FALSE(simplex::is_farkas_proof(crossed, {1, 1}));
}

TEST(Certify, OptimalityMeasuresWrongSignsAndGaps) {
  const Problem p = two_by_two();
  const std::vector<double> x = {1, 0};
  const std::vector<double> act = simplex::activities(p, x);
  std::vector<double> reduced;
  // y = (-1, 0): reduced costs (0, 0); row 0 at its upper side, dual <= 0.
  simplex::Measures good = simplex::optimality(p, x, act, {-1, 0}, reduced);
  EXPECT_EQ(good.dual, 0);
  EXPECT_EQ(good.gap, 0);
  // y = (1, 0) has the wrong sign at an upper side.
  simplex::Measures bad = simplex::optimality(p, x, act, {1, 0}, reduced);
  EXPECT_GT(bad.dual, simplex::kCertifyTol);
}

// A dense random problem: rows of A in [0, 10], each row's side a part of
// its sum, 0 <= x <= 1, costs of both signs.
Problem dense_random(std::int32_t m, std::int32_t n, std::mt19937_64& rng) {
  const auto uniform = [&rng](double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(rng);
  };
  Problem p;
  p.rows = m;
  p.cols = n;
  std::vector<double> sum(std::size_t(m), 0.0);
  for (std::int32_t j = 0; j < n; ++j) {
    for (std::int32_t i = 0; i < m; ++i) {
      const double a = uniform(0.0, 10.0);
      p.index.push_back(i);
      p.value.push_back(a);
      sum[std::size_t(i)] += a;
    }
    p.start.push_back(std::int64_t(p.index.size()));
    p.cost.push_back(uniform(-10.0, 2.0));
  }
  p.col_lower.assign(std::size_t(n), 0.0);
  p.col_upper.assign(std::size_t(n), 1.0);
  for (const double s : sum) {
    p.row_lower.push_back(-kInf);
    p.row_upper.push_back(s * uniform(0.2, 0.6));
  }
  return p;
}

// Every vector width takes the same path to the same bits.
TEST(Engine, EveryVectorWidthGivesTheSameBits) {
  test_support::SeededRng rng(20261207);
  for (int round = 0; round < 4; ++round) {
    const Problem p = dense_random(30 + 7 * round, 45 + 11 * round, rng);
    std::vector<simplex::Answer> answers;
    for (const int width : {8, 4, 2}) {
      simplex::use_vector_width(width);
      answers.push_back(simplex::solve(p, {}));
    }
    simplex::use_vector_width(8);
    for (std::size_t k = 0; k < answers.size(); ++k) {
      const simplex::Answer& a = answers[k];
      ASSERT_EQ(a.status, simplex::Status::kOptimal);
      EXPECT_EQ(a.iterations, answers[0].iterations) << k;
      EXPECT_EQ(a.x, answers[0].x) << k;
      EXPECT_EQ(a.row_duals, answers[0].row_duals) << k;
    }
  }
}

}  // namespace
