#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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

// A sparse random problem of every kind of row and bound: a few nonzeros
// in [-5, 5] a column; rows <=, >=, = and ranged around the activity of a
// random point, so most are feasible, and with `loose` some sides random
// instead, so some are not; bounds [0, inf), [0, u], free and fixed. Free
// columns and one-sided rows leave room for unbounded ones.
Problem sparse_random(std::int32_t m, std::int32_t n, bool loose,
                      std::mt19937_64& rng) {
  const auto uniform = [&rng](double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(rng);
  };
  const auto pick = [&rng](int k) {
    return std::uniform_int_distribution<int>(0, k - 1)(rng);
  };
  Problem p;
  p.rows = m;
  p.cols = n;
  std::vector<double> x0(static_cast<std::size_t>(n), 0.0);
  std::vector<double> act(std::size_t(m), 0.0);
  for (std::int32_t j = 0; j < n; ++j) {
    const int kind = pick(8);
    const double lo = kind == 6 ? -kInf : 0.0;
    const double up = kind < 3 ? uniform(1.0, 4.0) : kind == 7 ? 1.0 : kInf;
    p.col_lower.push_back(kind == 7 ? 1.0 : lo);
    p.col_upper.push_back(up);
    x0[std::size_t(j)] = kind == 7 ? 1.0 : uniform(0.0, 1.0);
    std::vector<std::int32_t> rows;
    for (int k = 1 + pick(4); k > 0; --k) {
      const std::int32_t i = pick(m);
      if (std::find(rows.begin(), rows.end(), i) != rows.end()) continue;
      rows.push_back(i);
    }
    std::sort(rows.begin(), rows.end());
    for (const std::int32_t i : rows) {
      const double a = std::round(uniform(-5.0, 5.0) * 4) / 4;
      if (a == 0.0) continue;
      p.index.push_back(i);
      p.value.push_back(a);
      act[std::size_t(i)] += a * x0[std::size_t(j)];
    }
    p.start.push_back(std::int64_t(p.index.size()));
    // Columns without an upper bound seldom gain by rising.
    const double cheapest = up < kInf ? -5.0 : lo > -kInf ? -0.6 : -0.55;
    p.cost.push_back(std::round(uniform(cheapest, lo > -kInf ? 5.0 : 0.55)));
  }
  for (std::int32_t i = 0; i < m; ++i) {
    const double v =
        loose && pick(6) == 0 ? uniform(-20.0, 20.0) : act[std::size_t(i)];
    switch (pick(4)) {
      case 0:
        p.row_lower.push_back(-kInf);
        p.row_upper.push_back(v + uniform(0.0, 1.0));
        break;
      case 1:
        p.row_lower.push_back(v - uniform(0.0, 1.0));
        p.row_upper.push_back(kInf);
        break;
      case 2:
        p.row_lower.push_back(v);
        p.row_upper.push_back(v);
        break;
      default:
        p.row_lower.push_back(v - 1.0);
        p.row_upper.push_back(v + 1.0);
    }
  }
  return p;
}

double objective(const Problem& p, const std::vector<double>& x) {
  double z = 0;
  for (std::size_t j = 0; j < x.size(); ++j) z += p.cost[j] * x[j];
  return z;
}

// Every vector width takes the same path to the same bits, in either form.
TEST(Engine, EveryVectorWidthGivesTheSameBits) {
  test_support::SeededRng rng(20261207);
  for (int round = 0; round < 4; ++round) {
    const Problem dense = dense_random(30 + 7 * round, 45 + 11 * round, rng);
    const Problem sparse = sparse_random(40 + 9 * round, 90, false, rng);
    for (const Problem* p : {&dense, &sparse}) {
      for (const simplex::Form form :
           {simplex::Form::kTableau, simplex::Form::kRevised}) {
        simplex::Options options;
        options.form = form;
        std::vector<simplex::Answer> answers;
        for (const int width : {8, 4, 2}) {
          simplex::use_vector_width(width);
          answers.push_back(simplex::solve(*p, options));
        }
        simplex::use_vector_width(8);
        for (std::size_t k = 0; k < answers.size(); ++k) {
          const simplex::Answer& a = answers[k];
          EXPECT_EQ(a.status, answers[0].status) << k;
          EXPECT_EQ(a.iterations, answers[0].iterations) << k;
          EXPECT_EQ(a.x, answers[0].x) << k;
          EXPECT_EQ(a.row_duals, answers[0].row_duals) << k;
        }
      }
    }
  }
}

// The two forms of the engine take different roundings to the same
// answers, each certified: optima, infeasible and unbounded problems.
TEST(Engine, BothFormsGiveTheSameCertifiedAnswers) {
  test_support::SeededRng rng(20261208);
  int seen[3] = {0, 0, 0};
  for (int round = 0; round < 60; ++round) {
    const Problem p =
        sparse_random(10 + round, 25 + 2 * round, round % 3 == 2, rng);
    simplex::Options options;
    options.form = simplex::Form::kTableau;
    const simplex::Answer t = simplex::solve(p, options);
    options.form = simplex::Form::kRevised;
    const simplex::Answer r = simplex::solve(p, options);
    ASSERT_EQ(t.status, r.status) << round;
    EXPECT_TRUE(t.certified && r.certified) << round;
    if (r.status == simplex::Status::kOptimal) {
      const double zt = objective(p, t.x);
      EXPECT_NEAR(objective(p, r.x), zt, 1e-9 * (1 + std::fabs(zt))) << round;
      ++seen[0];
    }
    if (r.status == simplex::Status::kInfeasible) ++seen[1];
    if (r.status == simplex::Status::kUnbounded) ++seen[2];
  }
  // The family reaches every ending.
  EXPECT_GT(seen[0], 10);
  EXPECT_GT(seen[1], 2);
  EXPECT_GT(seen[2], 2);
}

}  // namespace
