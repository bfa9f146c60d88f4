#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include "karvon/karvon.h"
#include "karvon/version.h"
#include "tests/support/near.h"

namespace {

using test_support::expect_near;

using karvon::kInfinity;
using karvon::ModelStatus;

// min -x - 2y, x + y <= 4, x + 3y <= 6, x, y >= 0: x = 3, y = 1, z = -5,
// duals -0.5 and -0.5.
karvon::Model small() {
  karvon::Model m;
  m.cost = {-1, -2};
  m.row_lower = {-kInfinity, -kInfinity};
  m.row_upper = {4, 6};
  m.matrix = {1, 1, 1, 3};
  return m;
}

TEST(SolveModel, ValuesActivitiesDualsAndReducedCosts) {
  const karvon::ModelResult r = karvon::solve(small());
  ASSERT_EQ(r.status, ModelStatus::kOptimal) << r.message;
  EXPECT_EQ(r.message, "optimal");
  EXPECT_NEAR(r.objective, -5, 1e-9);
  expect_near(r.x, {3, 1}, "x");
  expect_near(r.row_activity, {4, 6}, "activity");
  expect_near(r.row_duals, {-0.5, -0.5}, "duals");
  expect_near(r.reduced_costs, {0, 0}, "reduced costs");
}

// Maximising reports the model's objective, and duals that turn sign.
TEST(SolveModel, MaximisationReportsTheModelsObjectiveAndDuals) {
  karvon::Model m = small();
  m.sense = karvon::Sense::kMaximize;
  m.cost = {1, 2};
  m.offset = 10;
  const karvon::ModelResult r = karvon::solve(m);
  ASSERT_EQ(r.status, ModelStatus::kOptimal) << r.message;
  EXPECT_NEAR(r.objective, 15, 1e-9);
  expect_near(r.x, {3, 1}, "x");
  expect_near(r.row_duals, {0.5, 0.5}, "duals");
}

TEST(SolveModel, StatusesAndRefusals) {
  struct Case {
    ModelStatus status;
    const char* message;
    void (*change)(karvon::Model&);
  };
  const Case cases[] = {
      {ModelStatus::kUnbounded, "unbounded",
       [](karvon::Model& m) {
         m.matrix = {-1, 1, -1, 3};
       }},
      {ModelStatus::kInfeasible, "infeasible",
       [](karvon::Model& m) {
         m.row_lower = {7, -kInfinity};
         m.row_upper = {kInfinity, 6};
       }},
      {ModelStatus::kInfeasible,
       "row 'R1' has its lower side above its upper side",
       [](karvon::Model& m) {
         m.row_lower = {5, -kInfinity};
       }},
      {ModelStatus::kInfeasible,
       "column 'C2' has its lower bound 3 above its upper bound 2",
       [](karvon::Model& m) {
         m.col_lower = {0, 3};
         m.col_upper = {1, 2};
       }},
      {ModelStatus::kRefused, "the matrix has 3 values for 2 rows of 2 columns",
       [](karvon::Model& m) { m.matrix.pop_back(); }},
      {ModelStatus::kRefused, "the cost of column 'y' is not finite",
       [](karvon::Model& m) {
         m.col_names = {"x", "y"};
         m.cost[1] = NAN;
       }},
      {ModelStatus::kRefused, "the lower side of row 2 is NaN or +infinity",
       [](karvon::Model& m) { m.row_lower[1] = kInfinity; }},
      {ModelStatus::kTooLarge,
       "too large: 2 rows and 2 columns need 1 MB for the tableau; the "
       "memory limit is 1 MB",
       [](karvon::Model& m) { m.options.memory_limit = 100; }},
      {ModelStatus::kRefused,
       "the sparse matrix has 2 starts for 2 columns (one more is needed)",
       [](karvon::Model& m) {
         m.matrix.clear();
         m.sparse.start = {0, 1};
       }},
  };
  for (const Case& c : cases) {
    karvon::Model m = small();
    c.change(m);
    const karvon::ModelResult r = karvon::solve(m);
    EXPECT_EQ(r.status, c.status) << c.message;
    EXPECT_EQ(r.message, c.message);
    EXPECT_TRUE(r.row_duals.empty()) << c.message;
  }
}

// Answers that are easy to get wrong, each checked against its known
// optimum or status, and certified.
TEST(SolveModel, HardCasesComeBackRightAndCertified) {
  struct Case {
    const char* what;
    karvon::Model model;
    ModelStatus status;
    double objective;
  };
  const auto dense = [](std::vector<double> c, std::vector<double> a,
                        std::vector<double> lo, std::vector<double> hi) {
    karvon::Model m;
    m.cost = std::move(c);
    m.matrix = std::move(a);
    m.row_lower = std::move(lo);
    m.row_upper = std::move(hi);
    return m;
  };
  const double inf = kInfinity;
  std::vector<Case> cases = {
      // Unbounded along (0, 0, 1, 1, 0) once phase 1 is over.
      {"unbounded after phase 1",
       dense({-7, 13, -14, 0, 11},
             {-3, 2, -3, 0,  -4, -3, 0, 0, -1, 2, 0,  0, 0,
              0,  4, -1, -1, 0,  0,  0, 3, -3, 3, -3, 0},
             {-inf, -inf, -inf, -inf, -inf}, {-4, -13, -8, -5, 6}),
       ModelStatus::kUnbounded, 0},
      {"large right-hand side", dense({1}, {-1}, {-inf}, {-2e10}),
       ModelStatus::kOptimal, 2e10},
      {"large equation", dense({1, 2}, {1, 1}, {1e11}, {1e11}),
       ModelStatus::kOptimal, 1e11},
      // Cycles under the most-negative rule without a guard.
      {"cycling",
       dense({-10, 57, 9, 24},
             {.5, -5.5, -2.5, 9, .5, -1.5, -.5, 1, 1, 0, 0, 0},
             {-inf, -inf, -inf}, {0, 0, 1}),
       ModelStatus::kOptimal, -1},
      {"degenerate equations",
       dense({3, -7, -6}, {0, 0, -1, 2, 0, 0, 1, -2, 0}, {0, 10, -3},
             {0, 10, -3}),
       ModelStatus::kOptimal, -13},
  };
  cases[0].model.col_lower = {0, -inf, 0, 0, -2};
  cases[0].model.col_upper = {inf, inf, inf, inf, 0};
  cases[1].model.col_lower = {0};
  for (const Case& c : cases) {
    const karvon::ModelResult r = karvon::solve(c.model);
    ASSERT_EQ(r.status, c.status) << c.what << ": " << r.message;
    EXPECT_TRUE(r.quality.certified) << c.what;
    if (c.status == ModelStatus::kOptimal) {
      EXPECT_NEAR(r.objective, c.objective, 1e-9 * (1 + std::fabs(c.objective)))
          << c.what;
      EXPECT_LE(r.quality.dual_infeasibility, 1e-9) << c.what;
    }
    if (c.status == ModelStatus::kUnbounded) {
      EXPECT_EQ(r.ray.size(), 5U);
    }
  }
}

// The same model given sparse, by columns or by rows, with an entry split
// in two, gives the same answer as given dense.
TEST(SolveModel, SparseMatricesAreTheSameModel) {
  const karvon::ModelResult dense = karvon::solve(small());
  karvon::Model by_columns = small();
  by_columns.matrix.clear();
  by_columns.sparse.start = {0, 2, 5};
  by_columns.sparse.index = {0, 1, 0, 1, 1};
  by_columns.sparse.value = {1, 1, 1, 1, 2};
  karvon::Model by_rows = by_columns;
  by_rows.sparse.format = karvon::SparseMatrix::Format::kRowwise;
  by_rows.sparse.start = {0, 2, 4};
  by_rows.sparse.index = {0, 1, 0, 1};
  by_rows.sparse.value = {1, 1, 1, 3};
  for (const karvon::Model& m : {by_columns, by_rows}) {
    const karvon::ModelResult r = karvon::solve(m);
    ASSERT_EQ(r.status, ModelStatus::kOptimal) << r.message;
    expect_near(r.x, dense.x, "x");
    expect_near(r.row_duals, dense.row_duals, "duals");
  }
}

// Limits end the solve with the point reached; integer columns are relaxed
// and counted.
TEST(SolveModel, LimitsAndRelaxedIntegers) {
  karvon::Model m = small();
  m.options.iteration_limit = 1;
  m.integer_columns = {1, 1, 0};
  karvon::ModelResult r = karvon::solve(m);
  EXPECT_EQ(r.status, ModelStatus::kIterationLimit) << r.message;
  EXPECT_EQ(r.x.size(), 2U);
  EXPECT_EQ(r.relaxed_integers, 2);
  m.options.iteration_limit = 0;
  m.options.time_limit = 0;
  r = karvon::solve(m);
  EXPECT_EQ(r.status, ModelStatus::kTimeLimit) << r.message;
}

TEST(SolveModel, StatusNames) {
  EXPECT_STREQ(karvon::to_string(ModelStatus::kUnsettled), "could not settle");
  EXPECT_STREQ(karvon::to_string(ModelStatus::kTooLarge), "too large");
  EXPECT_STREQ(karvon::to_string(ModelStatus::kNotCertified),
               "optimal, not certified");
  EXPECT_STREQ(karvon::to_string(karvon::BasisStatus::kUpper), "NU");
  EXPECT_STREQ(karvon::version(), "1.1.0");
}

}  // namespace
