#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "api/test_problems.h"
#include "karvon/karvon.h"

namespace {

using karvon::testing::small_tableau_problem;
karvon::Problem small() { return small_tableau_problem(); }

TEST(Solve, SolvesAndReportsValuesAndObjective) {
  const karvon::Solution s = karvon::solve(small());
  ASSERT_TRUE(s.optimal()) << s.message;
  ASSERT_EQ(s.values.size(), 4u);
  const double want[] = {3, 1, 0, 0};
  for (std::size_t k = 0; k < 4; ++k)
    EXPECT_NEAR(s.values[k], want[k], 1e-12) << k;
  EXPECT_NEAR(s.objective, -5.0, 1e-12);
  EXPECT_GT(s.iterations, 0);
}

// An observer that keeps what each step showed.
struct Steps : karvon::StepObserver {
  std::vector<karvon::StepKind> kinds;
  std::vector<double> objective;  // -A(M,N) after each step
  void step(const karvon::Step& s) override {
    kinds.push_back(s.kind);
    objective.push_back(-s.tableau.at(s.tableau.M, s.tableau.N));
  }
};

TEST(Solve, AnObserverHearsOfEveryStep) {
  Steps steps;
  const karvon::Solution s = karvon::solve(small(), &steps);
  ASSERT_TRUE(s.optimal()) << s.message;
  using K = karvon::StepKind;
  EXPECT_EQ(steps.kinds,
            (std::vector<K>{K::kEntry, K::kStart, K::kPivot, K::kPivot}));
  EXPECT_EQ(steps.objective.back(), s.objective);
}

TEST(Solve, OutcomesOtherThanOptimalAreStatusesNotErrors) {
  karvon::Problem unbounded = small();
  unbounded.rows = {{-1, 1, 4}, {-1, 3, 6}, {-1, -2, 0}};
  karvon::Solution s = karvon::solve(unbounded);
  EXPECT_EQ(s.error, karvon::SolveError::kNone);
  EXPECT_EQ(s.status, karvon::kUnbounded);

  // x + y = 1 and x + y >= 2 (the second written as a negated surplus row).
  karvon::Problem infeasible;
  infeasible.rows = {{1, 1, 1}, {1, 1, 2}, {1, 1, 0}};
  infeasible.row_labels = {0, -3};
  infeasible.column_labels = {1, 2};
  infeasible.bounds = {1e30, 1e30, 1e30};
  s = karvon::solve(infeasible);
  EXPECT_EQ(s.error, karvon::SolveError::kNone);
  EXPECT_EQ(s.status, karvon::kInfeasible);
  EXPECT_EQ(s.values.size(), 3u);
}

TEST(Solve, EquationRowsAndBoundsAsTheDriverGivesThem) {
  // min x + 2y + 3z, x + y + z = 6, x - y = 1: x = 3.5, y = 2.5, objective
  // 8.5; with y <= 2 the optimum moves to x = 3, y = 2, z = 1: 10.
  karvon::Problem p;
  p.rows = {{1, 1, 1, 6}, {1, -1, 0, 1}, {1, 2, 3, 0}};
  p.row_labels = {0, 0};
  p.column_labels = {1, 2, 3};
  p.bounds = {1e30, 1e30, 1e30};
  karvon::Solution s = karvon::solve(p);
  ASSERT_TRUE(s.optimal()) << s.message;
  EXPECT_DOUBLE_EQ(s.objective, 8.5);
  p.bounds[1] = 2;
  s = karvon::solve(p);
  ASSERT_TRUE(s.optimal()) << s.message;
  EXPECT_DOUBLE_EQ(s.objective, 10.0);
  EXPECT_DOUBLE_EQ(s.values[2], 1.0);
}

// Every rule the routine leaves to its caller, broken once: each is refused
// with its reason, and nothing runs.
TEST(Solve, RefusesProblemsThatBreakTheRules) {
  struct Case {
    const char* message;
    void (*breaks)(karvon::Problem&);
  };
  const Case cases[] = {
      {"the problem has no rows (the objective row is the last one)",
       [](karvon::Problem& p) { p.rows.clear(); }},
      {"the rows have no values (the right-hand side is the last one)",
       [](karvon::Problem& p) { p.rows = {{}}; }},
      {"row 2 has 2 values; row 1 has 3",
       [](karvon::Problem& p) { p.rows[1].pop_back(); }},
      {"row 3, column 2 is not a finite number",
       [](karvon::Problem& p) {
         p.rows[2][1] = std::numeric_limits<double>::quiet_NaN();
       }},
      {"row 1, column 3 is not a finite number",
       [](karvon::Problem& p) {
         p.rows[0][2] = std::numeric_limits<double>::infinity();
       }},
      {"there are 1 row labels for 2 constraint rows",
       [](karvon::Problem& p) { p.row_labels.pop_back(); }},
      {"there are 3 column labels for 2 columns",
       [](karvon::Problem& p) { p.column_labels.push_back(5); }},
      {"the bound of variable 2 is negative or NaN",
       [](karvon::Problem& p) { p.bounds[1] = -1; }},
      {"the bound of variable 1 is negative or NaN",
       [](karvon::Problem& p) {
         p.bounds[0] = std::numeric_limits<double>::quiet_NaN();
       }},
      {"column label 2 is 0",
       [](karvon::Problem& p) { p.column_labels[1] = 0; }},
      {"column label 2 names variable 3 twice",
       [](karvon::Problem& p) { p.column_labels[1] = -3; }},
      {"row label 2 names variable 3 twice",
       [](karvon::Problem& p) { p.row_labels[1] = -3; }},
      // A label above NV = 4 would be taken for an artificial variable.
      {"column label 1 names variable 5, above the 4 variables that have "
       "bounds",
       [](karvon::Problem& p) {
         p.row_labels[0] = 0;
         p.column_labels[0] = 5;
       }},
      {"row label 2 names variable 40, above the 4 variables that have bounds",
       [](karvon::Problem& p) { p.row_labels[1] = 40; }},
      {"row label 1 names variable 2147483648, above the 4 variables that "
       "have bounds",
       [](karvon::Problem& p) {
         p.row_labels[0] = std::numeric_limits<std::int32_t>::min();
       }},
  };
  for (const Case& c : cases) {
    karvon::Problem p = small();
    c.breaks(p);
    const karvon::Solution s = karvon::solve(p);
    EXPECT_EQ(s.error, karvon::SolveError::kBadProblem) << c.message;
    EXPECT_EQ(s.message, c.message);
  }
}

// min x subject to x <= 4 with the slack's bound left out: the slack's
// label 2 lay above NV = 1, the solver held it at zero as an artificial
// variable and reported x = 4 as optimal. Refused now; with the slack's
// bound given the optimum is x = 0.
TEST(Solve, SlackWithoutABoundIsRefusedNotHeldAtZero) {
  karvon::Problem p;
  p.rows = {{1, 4}, {1, 0}};
  p.row_labels = {2};
  p.column_labels = {1};
  p.bounds = {1e30};
  karvon::Solution s = karvon::solve(p);
  EXPECT_EQ(s.error, karvon::SolveError::kBadProblem);
  EXPECT_EQ(s.message,
            "row label 1 names variable 2, above the 1 variables that have "
            "bounds");
  p.bounds = {1e30, 1e30};
  s = karvon::solve(p);
  ASSERT_TRUE(s.optimal()) << s.message;
  EXPECT_EQ(s.values[0], 0.0);
  EXPECT_EQ(s.objective, 0.0);
}

// A bound of 0 fixes the variable at zero: it never enters.
TEST(Solve, BoundOfZeroFixesTheVariable) {
  karvon::Problem p = small();
  p.bounds[1] = 0;  // y = 0: min -x, x <= 4, x <= 6
  const karvon::Solution s = karvon::solve(p);
  ASSERT_TRUE(s.optimal()) << s.message;
  EXPECT_EQ(s.values[1], 0.0);
  EXPECT_DOUBLE_EQ(s.objective, -4.0);
}

// LINEAR on one constraint over two variables with these bounds, printing
// on unit IOUT; what it throws reaches the caller.
void one_row_linear(std::vector<double> BOUND, std::int32_t IOUT) {
  std::vector<double> A(4 * 3), ASAVE(4 * 3), X(2);
  std::vector<std::int32_t> ROW{2}, COL{1}, ROW0(1), COL0(1);
  std::int32_t STATUS = 0;
  std::int32_t ITER = 0;
  karvon::LINEAR(A, ROW, COL, BOUND, X, 2, 2, 2, STATUS, ITER, 3, 2, ASAVE,
                 ROW0, COL0, -1, IOUT);
}

TEST(Linear, StopsAreThrownAsStopWithTheirCode) {
  try {
    one_row_linear({-1.0, 1e30}, 0);
    FAIL() << "no stop";
  } catch (const karvon::Stop& stop) {
    EXPECT_EQ(stop.code(), 1111);
    EXPECT_STREQ(stop.what(), "Return code 1111");
  }
}

TEST(Solve, NoConstraintsAtAll) {
  karvon::Problem p;
  p.rows = {{2.0, 0.0}};  // min 2x, x >= 0
  p.column_labels = {1};
  p.bounds = {1e30};
  const karvon::Solution s = karvon::solve(p);
  ASSERT_TRUE(s.optimal()) << s.message;
  EXPECT_EQ(s.objective, 0.0);
}

// A print unit whose file cannot be opened ends the call as the driver's
// run would end, but as an exception the caller can catch.
TEST(Linear, AFailedPrintUnitIsThrownAsUnitError) {
  ASSERT_EQ(setenv("FORT97", "/nonexistent-directory/print.txt", 1), 0);
  try {
    one_row_linear({1e30, 1e30}, 97);
    FAIL() << "no error";
  } catch (const karvon::UnitError& e) {
    EXPECT_EQ(e.status(), 0xC0000000u + 43u);
    EXPECT_NE(std::string(e.what()).find("severe (43)"), std::string::npos)
        << e.what();
  }
  unsetenv("FORT97");
}

// The routine itself, with the driver's fixed arrays.
TEST(Linear, TheSeventeenArgumentRoutine) {
  constexpr std::size_t LDA = 51;
  constexpr std::size_t NCOL = 61;
  std::vector<double> A(LDA * NCOL), ASAVE(LDA * NCOL);
  std::array<std::int32_t, LDA> ROW{3, 4}, ROW0{};
  std::array<std::int32_t, NCOL> COL{1, 2}, COL0{};
  std::array<double, 110> BOUND{1e30, 1e30, 1e30, 1e30}, X{};
  const double rows[3][3] = {{1, 1, 4}, {1, 3, 6}, {-1, -2, 0}};
  for (std::size_t i = 0; i < 3; ++i) {
    for (std::size_t j = 0; j < 3; ++j) A[j * LDA + i] = rows[i][j];
  }
  std::int32_t STATUS = 99;
  std::int32_t ITER = -1;
  karvon::LINEAR(A, ROW, COL, BOUND, X, 3, 3, 4, STATUS, ITER, 51, 61, ASAVE,
                 ROW0, COL0, -1, 0);
  EXPECT_EQ(STATUS, karvon::kOptimal);
  EXPECT_NEAR(-A[2 * LDA + 2], -5.0, 1e-12);
  EXPECT_NEAR(X[0], 3.0, 1e-12);
  EXPECT_NEAR(X[1], 1.0, 1e-12);
  EXPECT_TRUE(karvon::close_units());
}

}  // namespace
