#include "solver/linear.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "common/lp.h"
#include "recio/errors.h"
#include "recio/unformatted.h"
#include "recio/units.h"
#include "tests/support/tableau_arrays.h"
#include "tests/support/unit_files.h"

namespace solver {
namespace {

namespace fs = std::filesystem;

constexpr double kNone =
    lp::kNoBoundFill;  // what the driver writes for "no bound"

// What one step showed: its kind, pivot, variables and labels.
struct Seen {
  karvon::StepKind kind;
  karvon::StepPhase phase;
  std::int32_t iteration, ip, jp, entering, leaving;
  std::vector<std::int32_t> row;
};

// One problem in the driver's arrays, solved in a private directory, every
// step it reports recorded.
class Linear : public test_support::UnitFilesTest,
               public test_support::TableauArrays<>,
               public karvon::StepObserver {
 protected:
  Linear() {
    // Whatever an earlier problem left behind.
    x.fill(-99.0);
    row0.fill(-99);
    col0.fill(-99);
    asave.fill(-99.0);
  }
  // Rows 1..M of the tableau, the row labels 1..M-1, the column labels and
  // the bounds of variables 1..NV.
  void problem(std::vector<std::vector<double>> rows,
               std::vector<std::int32_t> row_labels,
               std::vector<std::int32_t> col_labels,
               std::vector<double> bounds) {
    M_ = std::int32_t(rows.size());
    N_ = std::int32_t(rows[0].size());
    NV_ = std::int32_t(bounds.size());
    for (std::int32_t i = 1; i <= M_; ++i) {
      for (std::int32_t j = 1; j <= N_; ++j) {
        A(i, j) = rows[std::size_t(i - 1)][std::size_t(j - 1)];
      }
    }
    for (std::size_t i = 0; i < row_labels.size(); ++i) {
      row[i] = row_labels[i];
    }
    for (std::size_t j = 0; j < col_labels.size(); ++j) {
      col[j] = col_labels[j];
    }
    for (std::size_t k = 0; k < bounds.size(); ++k) bound[k] = bounds[k];
  }

  void solve(std::int32_t iunit = 0) {
    LINEAR(A, ROW, COL, BOUND, X, M_, N_, NV_, status_, iter_, kLda, kNcol,
           ASAVE, ROW0, COL0, iunit, this);
  }

  void step(const karvon::Step& s) override {
    const karvon::TableauView& t = s.tableau;
    EXPECT_EQ(t.at(1, 1), A(1, 1));
    std::vector<std::int32_t> labels;
    for (std::int32_t i = 1; i <= t.M - 1; ++i) {
      labels.push_back(t.row_label(i));
    }
    seen_.push_back({s.kind, s.phase, s.iteration, s.ip, s.jp, s.entering,
                     s.leaving, labels});
  }
  // The tableau print shows every step.
  std::int32_t prints() const { return std::int32_t(seen_.size()); }

  std::int32_t M_ = 0;
  std::int32_t N_ = 0;
  std::int32_t NV_ = 0;
  std::int32_t status_ = -99;
  std::int32_t iter_ = -99;
  std::vector<Seen> seen_;
};

// x1 + 2 x2 <= 4, 3 x1 + x2 <= 6 (slacks 3 and 4), minimise -x1 - x2.
TEST_F(Linear, SolvesAnOrdinaryProblemTheSameWayWhereverTheTableauIsKept) {
  for (const std::int32_t iunit : {0, -1, 9}) {
    problem({{1, 2, 4}, {3, 1, 6}, {-1, -1, 0}}, {3, 4}, {1, 2},
            {kNone, kNone, kNone, kNone});
    if (iunit > 0) recio::open_new_unformatted(iunit, "LP.TMP");
    solve(iunit);
    EXPECT_EQ(status_, lp::kOptimal) << iunit;
    EXPECT_EQ(iter_, 2);
    // Column 1 enters first (tie, lower index) and row 2 leaves; then
    // column 2 enters and row 1 leaves.
    EXPECT_EQ(ROW(1), 2);
    EXPECT_EQ(ROW(2), 1);
    EXPECT_EQ(COL(1), 4);
    EXPECT_EQ(COL(2), 3);
    EXPECT_DOUBLE_EQ(X(1), 1.6);
    EXPECT_DOUBLE_EQ(X(2), 1.2);
    EXPECT_EQ(X(3), 0.0);
    EXPECT_EQ(X(4), 0.0);
    EXPECT_DOUBLE_EQ(A(3, 3), 2.8);
  }
}

TEST_F(Linear, ARowGivenNegatedIsSavedNegatedAndSolvedThroughPhaseOne) {
  // x1 + x2 >= 2 with surplus variable 3, minimise x1 + 2 x2.
  problem({{1, 1, 2}, {1, 2, 0}}, {-3}, {1, 2}, {kNone, kNone, kNone});
  solve(-1);
  EXPECT_EQ(status_, lp::kOptimal);
  EXPECT_EQ(iter_, 1);
  EXPECT_EQ(X(1), 2.0);
  EXPECT_EQ(X(2), 0.0);
  EXPECT_EQ(X(3), 0.0);
  EXPECT_EQ(A(2, 3), -2.0);
  // Saved after the entry negated it: right-hand side included.
  EXPECT_EQ(ASAVE(1, 1), -1.0);
  EXPECT_EQ(ASAVE(1, 2), -1.0);
  EXPECT_EQ(ASAVE(1, 3), -2.0);
  EXPECT_EQ(ASAVE(2, 1), 1.0);
  EXPECT_EQ(ASAVE(3, 1), -99.0);  // the phase-1 row is not saved
  EXPECT_EQ(ROW0(1), 3);
  EXPECT_EQ(COL0(1), 1);
  EXPECT_EQ(COL0(2), 2);
  // One iteration and the one recomputation that ends phase 1: entry,
  // before the first iteration, after it, after the recomputation.
  EXPECT_EQ(prints(), 1 + 1 + 2);
}

TEST_F(Linear, FlipsBothVariablesToTheirBounds) {
  problem({{-1, -2, 0}}, {}, {1, 2}, {3, 4});
  solve();
  EXPECT_EQ(status_, lp::kOptimal);
  EXPECT_EQ(iter_, 2);
  EXPECT_EQ(A(1, 1), 1.0);
  EXPECT_EQ(A(1, 2), 2.0);
  EXPECT_EQ(A(1, 3), 11.0);
  EXPECT_EQ(BOUND(1), -3.0);
  EXPECT_EQ(BOUND(2), -4.0);
  EXPECT_EQ(X(1), 3.0);  // nonbasic, complemented: at the bound
  EXPECT_EQ(X(2), 4.0);
}

TEST_F(Linear, AnUnboundedColumnStopsBeforeAnyIteration) {
  problem({{-1, -2, 0}}, {}, {1, 2}, {3, kNone});
  solve();
  EXPECT_EQ(status_, lp::kUnbounded);
  EXPECT_EQ(iter_, 0);
  EXPECT_EQ(A(1, 1), -1.0);
  EXPECT_EQ(A(1, 2), -2.0);
  EXPECT_EQ(A(1, 3), 0.0);
  EXPECT_EQ(X(1), 0.0);  // filled although the problem is unsolved
  EXPECT_EQ(X(2), 0.0);
}

TEST_F(Linear, AnEquationOutOfReachOfTheBoundsIsInfeasible) {
  // x1 + x2 = 5 with x1 <= 1, x2 <= 2: both flip, one restart without
  // recomputation, and the rebuilt phase-1 row still shows 2 missing.
  problem({{1, 1, 5}, {0, 0, 0}}, {0}, {1, 2}, {1, 2});
  solve(0);
  EXPECT_EQ(status_, lp::kInfeasible);
  EXPECT_EQ(iter_, 2);
  EXPECT_EQ(ROW(1), -3);
  EXPECT_EQ(A(3, 1), 1.0);
  EXPECT_EQ(A(3, 2), 1.0);
  EXPECT_EQ(A(3, 3), -2.0);
  EXPECT_EQ(X(1), 1.0);
  EXPECT_EQ(X(2), 2.0);
  // Nothing kept with IUNIT = 0, and no recomputation printed.
  EXPECT_EQ(row0[0], -99);
  EXPECT_EQ(col0[0], -99);
  EXPECT_EQ(asave[0], -99.0);
  EXPECT_EQ(recio::find_unit(0), nullptr);
  EXPECT_EQ(prints(), 2 + 2);
}

TEST_F(Linear, AnEquationNoEligibleColumnTouchesIsInfeasibleAtOnce) {
  // 0 x1 + 0 x2 = 5: the phase-1 row has no cost at all, only the missing
  // 5. Going on to phase 2 would report an optimum that ignores the row.
  problem({{0, 0, 5}, {-1, -1, 0}}, {0}, {1, 2}, {kNone, kNone});
  solve(-1);
  EXPECT_EQ(status_, lp::kInfeasible);
  EXPECT_EQ(iter_, 0);
  EXPECT_EQ(A(3, 3), -5.0);
  EXPECT_EQ(prints(), 1);  // the entry print only
}

TEST_F(Linear, EntryNumbersArtificialsAndKeepsTheInitialLabels) {
  // NV = 5 (two columns, three rows); rows labelled 0, 4, 0. The equations
  // are empty, so the solve ends at once and shows the entry labels.
  problem({{0, 0, 0}, {1, 1, 3}, {0, 0, 0}, {1, 1, 0}}, {0, 4, 0}, {1, 2},
          {kNone, kNone, kNone, kNone, kNone});
  solve(-1);
  EXPECT_EQ(status_, lp::kOptimal);
  EXPECT_EQ(iter_, 0);
  EXPECT_EQ(ROW(1), -6);
  EXPECT_EQ(ROW(2), 4);
  EXPECT_EQ(ROW(3), -7);
  EXPECT_EQ(ROW0(1), 6);
  EXPECT_EQ(ROW0(2), 4);
  EXPECT_EQ(ROW0(3), 7);
  EXPECT_EQ(row0[3], -99);  // only M-1 entries
  EXPECT_EQ(X(4), 3.0);
  EXPECT_EQ(X(5), 0.0);  // artificial labels never index X
  EXPECT_EQ(x[5], -99.0);
  EXPECT_EQ(x[6], -99.0);
}

TEST_F(Linear, ANegativeBoundStopsTheRunAfterTheFirstPrint) {
  problem({{1, 2, 4}, {-1, -1, 0}}, {3}, {1, 2}, {kNone, -1.0, kNone});
  recio::open_new_unformatted(9, "LP.TMP");
  try {
    solve(9);
    ADD_FAILURE() << "LINEAR returned";
  } catch (const recio::RunEnd& end) {
    EXPECT_EQ(end.kind(), recio::RunEnd::Kind::kNumericStop);
    EXPECT_EQ(end.status(), 1111u);
  }
  EXPECT_EQ(prints(), 1);
  EXPECT_EQ(fs::file_size(dir() / "LP.TMP"), 0u);  // nothing saved yet
}

TEST_F(Linear, BoundsBeyondNvAreNotChecked) {
  problem({{1, 2, 4}, {-1, -1, 0}}, {3}, {1, 2}, {kNone, kNone, kNone});
  bound[3] = -1.0;
  solve();
  EXPECT_EQ(status_, lp::kOptimal);
  EXPECT_EQ(X(1), 4.0);
}

TEST_F(Linear, ABasicValueAboveItsBoundThroughRoundingIsReportedAtTheBound) {
  // Found by search: variable 1 ends basic with 0.10000000000000002 in its
  // row, one unit in the last place above its bound 0.1.
  problem({{1.7, 1.1, 1.1}, {0.1, -0.1, 0.1}}, {3}, {1, 2},
          {0.1, 0.30000000000000004, 0.6});
  solve();
  EXPECT_EQ(status_, lp::kOptimal);
  ASSERT_EQ(ROW(1), 1);
  EXPECT_GT(A(1, 3), 0.1);
  EXPECT_EQ(X(1), 0.1);
}

TEST_F(Linear, ABasicValueJustBelowZeroIsReportedAsItIs) {
  // Found by search: variable 4 ends basic at -2.2e-16.
  problem({{0.2, 1.3, 1.7}, {0.2, 1.3, 1.7}, {0.7, -0.7, 1.3}}, {3, 4}, {1, 2},
          {0.2, kNone, kNone, kNone});
  solve();
  EXPECT_EQ(status_, lp::kOptimal);
  ASSERT_EQ(ROW(2), 4);
  EXPECT_LT(A(2, 3), 0.0);
  EXPECT_EQ(X(4), A(2, 3));
}

TEST_F(Linear, OnATiedRatioTheInfeasibleRowLeavesFirst) {
  // x2 = 2 - x1 (label 2) and -x4 = -2 + x1 (label 4, negative right-hand
  // side, so an infeasible row -4): both block at x1 = 2.
  problem({{1, 2}, {-1, -2}, {0, 0}}, {2, 4}, {1}, {kNone, kNone, 5, kNone});
  solve();
  EXPECT_EQ(status_, lp::kOptimal);
  EXPECT_EQ(iter_, 1);
  EXPECT_EQ(ROW(1), 2);
  EXPECT_EQ(ROW(2), 1);
  EXPECT_EQ(X(1), 2.0);
}

TEST_F(Linear, OnATiedRatioBetweenEqualLabelsTheLaterRowLeaves) {
  // The same variable given for two rows (labels are the caller's): both
  // block at x1 = 2 with label 2, and the later row wins.
  problem({{1, 2}, {1, 2}, {-1, 0}}, {2, 2}, {1}, {kNone, kNone});
  solve();
  EXPECT_EQ(status_, lp::kOptimal);
  EXPECT_EQ(ROW(1), 2);
  EXPECT_EQ(ROW(2), 1);
}

TEST_F(Linear, ARowBlockingExactlyAtTheOwnBoundMakesAPivot) {
  problem({{1, 2}, {-1, 0}}, {2}, {1}, {2, kNone});
  solve();
  EXPECT_EQ(status_, lp::kOptimal);
  EXPECT_EQ(iter_, 1);
  EXPECT_EQ(ROW(1), 1);
  EXPECT_EQ(COL(1), 2);
  EXPECT_EQ(BOUND(1), 2.0);  // entered uncomplemented
  EXPECT_EQ(X(1), 2.0);
}

TEST_F(Linear, AVariableLeavingThroughItsBoundEndsComplemented) {
  // x2 = 1 + x1 with x2 <= 3: x1 rises until x2 reaches 3.
  problem({{-1, 1}, {-1, 0}}, {2}, {1}, {kNone, 3});
  solve();
  EXPECT_EQ(status_, lp::kOptimal);
  EXPECT_EQ(iter_, 1);
  EXPECT_EQ(ROW(1), 1);
  EXPECT_EQ(COL(1), 2);  // positive: it may enter again
  EXPECT_EQ(BOUND(2), -3.0);
  EXPECT_EQ(A(1, 1), 1.0);
  EXPECT_EQ(A(1, 2), 2.0);
  EXPECT_EQ(X(1), 2.0);
  EXPECT_EQ(X(2), 3.0);
}

TEST_F(Linear, AComplementedVariableEntersAsItself) {
  // min -2 x1 - 1.5 x2, x1 + 0.5 x2 <= 2 (slack 3), x1 <= 1.5, x2 <= 3:
  // x1 flips to 1.5, x2 enters, then x1 comes back into the basis through
  // the row of x2, which leaves at its bound.
  problem({{1, 0.5, 2}, {-2, -1.5, 0}}, {3}, {1, 2}, {1.5, 3, kNone});
  solve();
  EXPECT_EQ(status_, lp::kOptimal);
  EXPECT_EQ(iter_, 3);
  EXPECT_EQ(ROW(1), 1);
  EXPECT_EQ(BOUND(1), 1.5);
  EXPECT_EQ(BOUND(2), -3.0);
  EXPECT_DOUBLE_EQ(X(1), 0.5);
  EXPECT_EQ(X(2), 3.0);
  EXPECT_DOUBLE_EQ(A(2, 3), 5.5);
}

TEST_F(Linear, AnArtificialThatLeavesIsBarredForGood) {
  // x1 + x2 = 5, minimise x1 + x2: the artificial 3 leaves for x1.
  problem({{1, 1, 5}, {1, 1, 0}}, {0}, {1, 2}, {kNone, kNone});
  solve(-1);
  EXPECT_EQ(status_, lp::kOptimal);
  EXPECT_EQ(ROW(1), 1);
  EXPECT_EQ(COL(1), -3);
  EXPECT_EQ(X(1), 5.0);
}

TEST_F(Linear, TheSixthRunOutOfPhaseOneEndsTheSolve) {
  // Found by search: phase 1 runs out of columns six times, with
  // iterations in between; five recomputations are made.
  problem({{-0.5, 3, -3, -3}, {0.5, 0.5, -2, 1}, {1, -3, 0, 0}}, {-4, 0},
          {1, 2, 3}, {kNone, kNone, kNone, 2});
  solve(-1);
  EXPECT_EQ(status_, lp::kUnsettled);
  EXPECT_EQ(iter_, 7);
  EXPECT_EQ(prints(), iter_ + 5 + 2);
}

TEST_F(Linear, InfeasibleAtTheFirstSetUpPrintsOnce) {
  // x1 = -3 can never hold: x1 only grows. The phase-1 row shows a cost of
  // +1 and 3 missing, so the first set-up already ends the solve.
  problem({{-1, 3}, {0, 0}}, {0}, {1}, {kNone});
  solve(-1);
  EXPECT_EQ(status_, lp::kInfeasible);
  EXPECT_EQ(iter_, 0);
  EXPECT_EQ(prints(), 1);
}

TEST_F(Linear, AStalledRecomputationEndsTheSolve) {
  // Equations 1e-5 x1 + x2 = 1 and 1e-5 x2 = 1e-6. Phase 1 pivots on the
  // two entries 1e-5; the recomputation picks the larger entry 1 first and
  // is then left with 1e-10, too small to pivot on. A third, empty equation
  // keeps its artificial variable basic throughout: after the stalled
  // recomputation its label is positive, and it must not index X.
  problem({{1.0e-5, 1, 1}, {0, 1.0e-5, 1.0e-6}, {0, 0, 0}, {1, 1, 0}},
          {0, 0, 0}, {1, 2}, {kNone, kNone});
  solve(-1);
  EXPECT_EQ(status_, lp::kUnsettled);
  EXPECT_EQ(iter_, 2);
  EXPECT_LT(ROW(2), 0);
  EXPECT_EQ(ROW(3), 5);
  for (std::size_t k = 2; k < x.size(); ++k) EXPECT_EQ(x[k], -99.0) << k;
  EXPECT_EQ(prints(), 2 + 1 + 2);
}

TEST_F(Linear, ACyclingProblemStopsAtTheIterationLimit) {
  // A classic degenerate problem on which this pricing and these ties cycle.
  problem({{0.25, -8, -1, 9, 0},
           {0.5, -12, -0.5, 3, 0},
           {0, 0, 1, 0, 1},
           {-0.75, 20, -0.5, 6, 0}},
          {5, 6, 7}, {1, 2, 3, 4},
          {kNone, kNone, kNone, kNone, kNone, kNone, kNone});
  solve();
  EXPECT_EQ(status_, lp::kIterationLimit);
  EXPECT_EQ(iter_, kMaxIterations);
}

TEST_F(Linear, ReportsEntryFirstIterationEveryIterationAndRecomputation) {
  // n iterations and r recomputations give n + r + 2 steps; the ordinary
  // problem has no recomputation.
  problem({{1, 2, 4}, {3, 1, 6}, {-1, -1, 0}}, {3, 4}, {1, 2},
          {kNone, kNone, kNone, kNone});
  solve(-1);
  using K = karvon::StepKind;
  using P = karvon::StepPhase;
  ASSERT_EQ(prints(), 2 + 0 + 2);
  const std::vector<std::int32_t> initial{3, 4};
  EXPECT_EQ(seen_[0].kind, K::kEntry);
  EXPECT_EQ(seen_[0].phase, P::kNone);
  EXPECT_EQ(seen_[0].row, initial);
  EXPECT_EQ(seen_[1].kind, K::kStart);
  EXPECT_EQ(seen_[1].phase, P::kTwo);
  // Column 1 (x1) enters in row 2 (x4 leaves), then column 2 (x2) in row 1.
  const Seen& first = seen_[2];
  EXPECT_EQ(first.kind, K::kPivot);
  EXPECT_EQ(first.iteration, 1);
  EXPECT_EQ(first.ip, 2);
  EXPECT_EQ(first.jp, 1);
  EXPECT_EQ(first.entering, 1);
  EXPECT_EQ(first.leaving, 4);
  EXPECT_EQ(first.row, (std::vector<std::int32_t>{3, 1}));
  EXPECT_EQ(seen_[3].ip, 1);
  EXPECT_EQ(seen_[3].entering, 2);
  EXPECT_EQ(seen_[3].leaving, 3);
}

TEST_F(Linear, ABoundFlipNamesTheVariableThatFlipped) {
  problem({{-1, -2, 0}}, {}, {1, 2}, {3, 4});
  solve();
  ASSERT_EQ(prints(), 2 + 2);
  EXPECT_EQ(seen_[2].kind, karvon::StepKind::kBoundFlip);
  EXPECT_EQ(seen_[2].ip, 0);
  EXPECT_EQ(seen_[2].jp, 2);
  EXPECT_EQ(seen_[2].entering, 2);
  EXPECT_EQ(seen_[2].leaving, 0);
}

}  // namespace
}  // namespace solver
