#include <gtest/gtest.h>

#include <vector>

#include "simplex/certify.h"
#include "simplex/solve.h"

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

}  // namespace
