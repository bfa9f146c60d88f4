#pragma once
// The tableau-form entry with what it leaves behind: the final tableau and
// basis, which the standard-form entry reads its duals from.

#include <cstdint>
#include <vector>

#include "karvon/karvon.h"

namespace karvon::detail {

struct TableauRun {
  Solution solution;
  std::int32_t LDA = 0;           // rows of A as stored: M+1
  std::vector<double> A;          // the final tableau, LDA x N, column-major
  std::vector<std::int32_t> ROW;  // the final row labels, signed
};

// Whether LINEAR keeps the initial tableau in memory and rebuilds the
// tableau from it whenever phase 1 restarts (IUNIT < 0), or goes on with
// the tableau it has (IUNIT = 0).
enum class Restart : bool { kRecompute, kKeepTableau };

// solve(const Problem&), keeping the final tableau and labels when the
// solver ran (solution.error == kNone).
TableauRun run_tableau(const Problem& problem,
                       Restart restart = Restart::kRecompute,
                       StepObserver* observer = nullptr);

}  // namespace karvon::detail
