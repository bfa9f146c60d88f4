#pragma once
// The trace as one self-contained HTML page: the data as JSON, the style and
// the script inline, nothing fetched.
//
// The data, written here and read by page.js under these names:
//
//   #run (one)        title, note (why the run ended early, or empty),
//                     constants: kinds {entry, start, pivot, flip,
//                     recomputed} (the numbers of karvon::StepKind),
//                     statuses {STATUS: text}, noBound (a bound this large
//                     or larger is none), tolerance (values smaller in
//                     magnitude are rounding noise), viewRows, viewColumns
//   .problem (each)   M, N, NV, viewRows, viewColumns, ended, status,
//                     iterations, x (variables 1..NV), names ([short, long]
//                     per variable), total (steps the solver reported),
//                     first (steps kept before those left out), steps
//   a step            kind, phase, iteration, restarts, ip, jp, entering,
//                     leaving, tableau (the view, row by row), rowLabels,
//                     colLabels, bounds (1..NV)
//
// tableau and bounds are base64 of the doubles' little-endian bytes; NaN
// and infinities elsewhere are the strings "NaN", "Infinity", "-Infinity".

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "trace/recorder.h"

namespace trace {

// `title` names the input; `note` (may be empty) says why the run ended
// early.
std::string page(const std::vector<ProblemTrace>& problems,
                 std::string_view title, std::string_view note);

// One problem as JSON.
std::string problem_json(const ProblemTrace& p);

// The shortest text that reads back as the same double; "NaN", "Infinity"
// and "-Infinity" quoted, as JSON has no literal for them.
std::string json_number(double v);

// Keeps the page of a run within its budget while the problems are
// recorded: add() after each problem thins the steps of every problem
// alike, the first and the last ones kept, when the page would outgrow
// budget.max_bytes. So a deck of many problems holds no more than the
// budget between them. The size counted is an upper bound of page()'s.
class PageBudget {
 public:
  PageBudget(const Budget& budget, std::string_view title);
  const Budget& budget() const { return budget_; }
  void add(std::vector<ProblemTrace>& problems);

 private:
  Budget budget_;
  std::int64_t allowance_;                // steps each problem keeps at most
  std::int64_t fixed_;                    // bytes of the page without any step
  std::int64_t steps_ = 0;                // bytes of the steps kept
  std::vector<std::int64_t> step_bytes_;  // one step of each problem
};

// Keeps at most `k` steps of `p`: the first k - k / 2 of those it has
// before its gap, and then its last ones.
void thin(ProblemTrace& p, std::size_t k);

}  // namespace trace
