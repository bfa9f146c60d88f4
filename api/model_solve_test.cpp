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
      {ModelStatus::kRefused,
       "a bound or range width of 100000000000.000000 once shifted is beyond "
       "what the solver enforces (below 1e10)",
       [](karvon::Model& m) {
         m.col_upper = {1e11, kInfinity};
       }},
      {ModelStatus::kTooLarge,
       "too large: 2 constraint rows and 61 columns after the transformation; "
       "the solver holds at most 49 rows and 60 columns",
       [](karvon::Model& m) {
         m.cost.assign(61, -1.0);
         m.matrix.assign(2 * 61, 1.0);
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

// Too large is judged after the transformation: 61 free columns are 122,
// 61 fixed ones none.
TEST(SolveModel, TooLargeCountsTheTransformedModel) {
  karvon::Model m;
  m.cost.assign(61, 1.0);
  m.col_lower.assign(61, 2.0);
  m.col_upper.assign(61, 2.0);
  m.row_lower = {0};
  m.row_upper = {kInfinity};
  m.matrix.assign(61, 1.0);
  karvon::ModelResult r = karvon::solve(m);
  ASSERT_EQ(r.status, ModelStatus::kOptimal) << r.message;
  EXPECT_NEAR(r.objective, 122, 1e-9);
  m.col_lower.assign(61, -kInfinity);
  m.col_upper.assign(61, kInfinity);
  r = karvon::solve(m);
  EXPECT_EQ(r.status, ModelStatus::kTooLarge);
  EXPECT_NE(r.message.find("122 columns"), std::string::npos) << r.message;
}

// A degenerate optimum, x = (1, 1, 0) where four rows meet in three
// dimensions: phase 1 does not settle on the rebuilt tableau; the solve goes
// on with the tableau it has and reports the optimum.
TEST(SolveModel, DegenerateOptimumSettles) {
  karvon::Model m;
  m.cost = {0.5, 0, 2};
  m.row_lower = {2, 5, -1, -kInfinity};
  m.row_upper = {kInfinity, 5, -1, 4};
  m.matrix = {3,  -1, 0,  //
              3,  2,  2,  //
              -1, 0,  1,  //
              3,  1,  0};
  const karvon::ModelResult r = karvon::solve(m);
  ASSERT_EQ(r.status, ModelStatus::kOptimal) << r.message;
  EXPECT_NEAR(r.objective, 0.5, 1e-9);
  expect_near(r.x, {1, 1, 0}, "x");
  // Duals of the final basis: its columns x and y price out to 0.
  ASSERT_EQ(r.row_duals.size(), 4U);
  EXPECT_NEAR(r.reduced_costs[0], 0, 1e-9);
  EXPECT_NEAR(r.reduced_costs[1], 0, 1e-9);
}

TEST(SolveModel, StatusNames) {
  EXPECT_STREQ(karvon::to_string(ModelStatus::kUnsettled), "could not settle");
  EXPECT_STREQ(karvon::to_string(ModelStatus::kTooLarge), "too large");
  EXPECT_STREQ(karvon::version(), "1.1.0");
}

}  // namespace
