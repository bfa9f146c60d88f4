#pragma once
// The linear-programming solver LINEAR as a library.
//
// Two ways in:
//  - karvon::solve, for a problem held in ordinary containers: it checks the
//    problem, sizes the solver's arrays itself and returns the outcome. It
//    prints nothing, writes no file and never ends the program.
//  - karvon::LINEAR, the solver routine with its seventeen arguments, as the
//    karvon driver calls it: the caller owns and sizes every array and keeps
//    the rules stated below; nothing is checked.
//
// LINEAR minimises over a dense simplex tableau A (column-major, indexed from
// 1 in what follows): rows 1..M-1 are constraint rows, row M the objective
// row, row M+1 the phase-1 row that the solver builds; columns 1..N-1 are the
// nonbasic variables, column N the right-hand side. Constraint row I states
//   sign(ROW(I)) * v(|ROW(I)|) = A(I,N) - sum over J of A(I,J) * v(|COL(J)|)
// (row label 0: an equation, given an artificial variable), and the
// objective row  -z = A(M,N) - sum over J of A(M,J) * v(|COL(J)|),  so the
// objective value at the end is -A(M,N). Variables 1..NV are bounded below
// by 0 and above by BOUND(k) (1.0e10 or more: no upper bound).

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "karvon/observer.h"

namespace karvon {

// The solver's result codes (STATUS).
inline constexpr std::int32_t kOptimal = 0;
inline constexpr std::int32_t kUnbounded = 1;
inline constexpr std::int32_t kInfeasible = -1;
inline constexpr std::int32_t kUnsettled = -2;  // phase 1 did not settle
inline constexpr std::int32_t kIterationLimit = 2;

// A bound of this size or more is no bound.
inline constexpr double kNoBound = 1.0e10;

// The solver routine. Arrays are spans over the caller's storage:
//   A, ASAVE   LDA x NCOL reals, column-major (LDA >= M+1, NCOL >= N)
//   ROW, ROW0  at least M-1 labels;  COL, COL0  at least N-1 labels
//   BOUND, X   at least NV reals
// In/out: A, ROW, COL, BOUND (changed in place to the final basis). Out: X
// (values of variables 1..NV), STATUS, ITER (pivots and bound flips). Work:
// ASAVE, ROW0, COL0. IUNIT > 0 keeps the initial tableau on the scratch unit
// IUNIT, < 0 in ASAVE, 0 nowhere (then phase 1 cannot recompute). IOUT > 0
// prints the tableau after every step on unit IOUT (6: standard output).
// Units buffer what they write: call close_units() before the program ends.
// A negative BOUND(k), k <= NV, ends the run as in the driver: the solver
// throws the record layer's run-ending exception with stop code 1111 (catch
// it with catch (...)). Column labels must be nonzero and the magnitudes of
// all labels distinct. `observer`, when given, hears of every step the print
// shows (karvon/observer.h), after the print of that step.
void LINEAR(std::span<double> A, std::span<std::int32_t> ROW,
            std::span<std::int32_t> COL, std::span<double> BOUND,
            std::span<double> X, std::int32_t M, std::int32_t N,
            std::int32_t NV, std::int32_t& STATUS, std::int32_t& ITER,
            std::int32_t LDA, std::int32_t NCOL, std::span<double> ASAVE,
            std::span<std::int32_t> ROW0, std::span<std::int32_t> COL0,
            std::int32_t IUNIT, std::int32_t IOUT,
            StepObserver* observer = nullptr);

// Writes out and closes every unit LINEAR printed to or saved on. Returns
// false when a write failed.
bool close_units();

// A problem for solve(), in LINEAR's terms.
struct Problem {
  // M rows of N values (A by rows): the constraint rows, then the objective
  // row; the last value of each row is its right-hand side.
  std::vector<std::vector<double>> rows;
  // M-1 row labels (ROW): k > 0, the row's basic variable is x(k); -k, the
  // same with the row written negated; 0, the row is an equation.
  std::vector<std::int32_t> row_labels;
  // N-1 column labels (COL): the variable in each column, nonzero.
  std::vector<std::int32_t> column_labels;
  // Upper bounds of variables 1..NV (BOUND; NV is their number): 0 or more,
  // kNoBound or more for none.
  std::vector<double> bounds;
};

enum class SolveError {
  kNone,
  kBadProblem,  // the problem breaks one of the rules above
  kStopped,     // the solver met data it cannot work with
  kNoMemory,
};

struct Solution {
  SolveError error = SolveError::kNone;
  std::string message;      // what went wrong, when error is not kNone
  std::int32_t status = 0;  // STATUS, when error is kNone
  std::int32_t iterations = 0;
  std::vector<double> values;  // x(1..NV), filled whatever the status
  double objective = 0;        // -A(M,N) as the solver left it

  bool optimal() const {
    return error == SolveError::kNone && status == kOptimal;
  }
};

// Solves `problem` with LINEAR, keeping the initial tableau in memory for
// phase-1 restarts and printing nothing. Checks first that the rows are M
// by N with M, N >= 1 and finite values, that there are M-1 row labels and
// N-1 column labels, that no column label is 0, that the magnitudes of all
// labels (including the artificial variables NV+1, NV+2, ... that equation
// rows get) are distinct, and that no bound is negative or NaN; any breach
// is reported as kBadProblem and nothing is solved. `observer`, when given,
// hears of every step of the solve (karvon/observer.h).
[[nodiscard]] Solution solve(const Problem& problem,
                             StepObserver* observer = nullptr);

}  // namespace karvon
