#pragma once
// The linear-programming solver LINEAR as a library. This header compiles
// as C++17 and later; the library itself is built as C++20.
//
// Three ways in:
//  - karvon::solve(const Model&), the standard-form entry: a model in its
//    own terms (costs, a matrix, sides of rows, bounds of columns, either
//    of them infinite), minimised or maximised; it returns the values, the
//    row activities, the duals and the reduced costs.
//  - karvon::solve(const Problem&), the tableau-form entry: a problem
//    already written as LINEAR's tableau, labels and bounds. It checks the
//    problem and sizes the solver's arrays itself.
//  - karvon::LINEAR, the solver routine with its seventeen arguments, as the
//    karvon driver calls it: the caller owns and sizes every array and keeps
//    the rules stated below; nothing is checked.
//
// Both solve() entries print nothing, write no file, never end the program
// and never throw (running out of memory is reported in the result); they
// keep no state between calls.
//
// Threads: the two solve() entries may run in any number of threads at
// once, each on its own model. LINEAR with IUNIT <= 0 and IOUT <= 0 touches
// only the arrays it is given and may run concurrently too; LINEAR with a
// scratch unit (IUNIT > 0) or a print unit (IOUT > 0), and close_units(),
// use the process's one table of units and its files: call them from one
// thread at a time, and never while another thread does the same.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <limits>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "karvon/observer.h"
#include "karvon/version.h"

namespace karvon {

// ---------------------------------------------------------------------------
// The standard-form entry.
//
//   minimise or maximise   c.x + offset
//   subject to             row_lower <= A x <= row_upper
//                          col_lower <=  x  <= col_upper
//
// A side or bound of magnitude 1e30 or more, or an infinite one, is absent:
// row_lower = -inf is a <= row, row_upper = +inf a >= row, equal sides an
// equation, two finite sides a range; a column with both bounds infinite is
// free, one with equal bounds fixed.
//
// The model is brought into the solver's form by shifting columns onto
// their lower bounds, negating columns bounded above only, splitting free
// columns in two, substituting fixed columns, giving every inequality row a
// slack (bounded by the width of a range) and dropping rows that are free
// or have no coefficient (a row without coefficients that 0 does not
// satisfy makes the model infeasible). The solver holds at most 49
// constraint rows and 60 columns after that; a larger model is refused as
// kTooLarge, with the counts, and never cut down.
// ---------------------------------------------------------------------------

inline constexpr double kInfinity = std::numeric_limits<double>::infinity();

enum class Sense : std::int32_t { kMinimize = 1, kMaximize = -1 };

// A sparse matrix in compressed form, as scipy.sparse's CSC and CSR hold it:
// column-wise, the entries of column j are index[k] (their rows) and
// value[k] for k from start[j] to start[j+1]-1, with n+1 starts; row-wise
// the same by rows, with m+1 starts. Entries repeated at one position add up.
struct SparseMatrix {
  enum class Format : std::int32_t { kColumnwise, kRowwise };
  Format format = Format::kColumnwise;
  std::vector<std::int64_t> start;
  std::vector<std::int32_t> index;
  std::vector<double> value;
};

// Limits on one solve of a model. Zero or infinity: no limit of that kind
// (the memory limit's default is a fair share of the machine's memory).
struct SolveOptions {
  std::int64_t iteration_limit = 0;  // pivots and bound flips; 0: none
  double time_limit = kInfinity;     // seconds of wall-clock time
  std::uint64_t memory_limit = 0;    // bytes for the tableau; 0: the default
};

struct Model {
  Sense sense = Sense::kMinimize;
  // c, one cost per column: its size is the number of columns n.
  std::vector<double> cost;
  // The constant added to c.x.
  double offset = 0;
  // Bounds of the columns, n of each; left empty: 0 and +infinity.
  std::vector<double> col_lower;
  std::vector<double> col_upper;
  // Sides of the rows, m of each: the size of row_lower is the number of
  // rows m.
  std::vector<double> row_lower;
  std::vector<double> row_upper;
  // A, dense, by rows: m x n values, row i at matrix[i*n] ... matrix[i*n+n-1].
  // Leave it empty when A is given as `sparse` instead.
  std::vector<double> matrix;
  // A, sparse: used when sparse.start is not empty (and then `matrix` must
  // be).
  SparseMatrix sparse;
  // Columns that the model asks to be integer, by number from 0: they are
  // relaxed (solved as continuous), and the result counts them.
  std::vector<std::int32_t> integer_columns;
  // Optional names, used in messages: empty, or one for each row or column.
  // Unnamed rows are called R1, R2, ..., unnamed columns C1, C2, ...
  std::vector<std::string> row_names;
  std::vector<std::string> col_names;
  SolveOptions options;
};

enum class ModelStatus : std::int32_t {
  kOptimal,
  kInfeasible,
  kUnbounded,
  kIterationLimit,  // the iteration limit reached
  kUnsettled,       // the solver could not settle (numerical trouble)
  kRefused,         // the model is malformed; the message says how
  kTooLarge,        // the tableau would need more memory than the limit
  kTimeLimit,       // the time limit reached
  kNotCertified,    // an optimum was found whose check against the model failed
};

// "optimal", "infeasible", "unbounded", "iteration limit",
// "could not settle", "model refused", "too large", "time limit",
// "optimal, not certified".
const char* to_string(ModelStatus status) noexcept;

// Where a column or a row stands at the end: basic, or nonbasic at its
// lower bound, at its upper bound, free at zero, or fixed (equal bounds).
// A row's status is that of its activity A x between its sides.
enum class BasisStatus : std::int8_t { kBasic, kLower, kUpper, kFree, kFixed };

// "B", "NL", "NU", "NF", "NS".
const char* to_string(BasisStatus status) noexcept;

// How well an answer satisfies the model as given, measured on the
// model's own data after the solve (not on the solver's tableau). Each
// figure is relative: a violation divided by 1 + the size of the terms it
// comes from.
struct Quality {
  double primal_infeasibility = 0;  // largest violation of a row or bound
  double dual_infeasibility = 0;    // largest wrong-signed dual or reduced cost
  double duality_gap = 0;           // |c.x - dual objective| relative
  bool certified = false;  // the answer passed every check of its status
};

// What solve(const Model&) found.
//
// Duals and reduced costs follow the convention that HiGHS documents and
// that scipy.optimize.linprog reports as marginals: they are the rates at
// which the model's objective (as given: minimised or maximised) changes.
//   row_duals[i]      the change of the objective per unit move of the side
//                     of row i that holds it (for a range or an equation,
//                     the active side); 0 for a row that is not binding.
//   reduced_costs[j]  cost[j] - sum over i of A[i][j] * row_duals[i]: the
//                     change per unit move of the bound of x[j] that holds
//                     it; 0 for a column strictly between its bounds.
// Minimising, at an optimum a row at its lower side has a dual >= 0 and at
// its upper side <= 0; a column at its lower bound has a reduced cost >= 0,
// at its upper bound <= 0. Maximising, every one of these signs turns.
struct ModelResult {
  ModelStatus status = ModelStatus::kRefused;
  std::string message;  // the status in words, and for a refusal the reason
  // x (n values), A x (m values) and c.x + offset: at the optimum, or where
  // the solver stopped for kInfeasible, kUnbounded, kIterationLimit,
  // kTimeLimit, kUnsettled and kNotCertified; empty and 0 for kRefused and
  // kTooLarge.
  std::vector<double> x;
  std::vector<double> row_activity;
  double objective = 0;
  std::int64_t iterations = 0;  // pivots and bound flips, both phases
  // For kOptimal and kNotCertified: m row duals and n reduced costs; empty
  // otherwise.
  std::vector<double> row_duals;
  std::vector<double> reduced_costs;
  // The final basis, n and m entries, wherever x is given.
  std::vector<BasisStatus> col_status;
  std::vector<BasisStatus> row_status;
  // kUnbounded: a direction d (n values) along which x + t d stays
  // feasible for every t >= 0 and the objective improves.
  std::vector<double> ray;
  // kInfeasible: multipliers y of the rows (m values) whose combination
  // y.(A x) cannot meet the sides given the bounds; empty where the model
  // is infeasible by its bounds alone.
  std::vector<double> farkas;
  Quality quality;
  // Integer columns that were solved as continuous.
  std::int32_t relaxed_integers = 0;

  bool optimal() const { return status == ModelStatus::kOptimal; }
};

// Solves `model`. A malformed model (sizes that disagree, NaN anywhere, an
// infinite cost or coefficient, a lower bound of +inf or an upper of -inf,
// a finite bound the solver cannot enforce once shifted: 1e10 or more) is
// kRefused with the reason; bounds or sides that cross make it kInfeasible.
// Runs out of memory as kRefused with the message "not enough memory".
// `observer`, when given, hears of every step of the solve of the model's
// tableau (karvon/observer.h); a model refused or found infeasible before
// the solver runs gives it none. A solve that phase 1 cannot settle is run
// once more without recomputation: the observer then hears that solve too,
// from its entry.
[[nodiscard]] ModelResult solve(const Model& model,
                                StepObserver* observer = nullptr);

// ---------------------------------------------------------------------------
// The tableau form.
//
// LINEAR minimises over a dense simplex tableau A (column-major, indexed from
// 1 in what follows): rows 1..M-1 are constraint rows, row M the objective
// row, row M+1 the phase-1 row that the solver builds; columns 1..N-1 are the
// nonbasic variables, column N the right-hand side. Constraint row I states
//   sign(ROW(I)) * v(|ROW(I)|) = A(I,N) - sum over J of A(I,J) * v(|COL(J)|)
// (row label 0: an equation, given an artificial variable), and the
// objective row  -z = A(M,N) - sum over J of A(M,J) * v(|COL(J)|),  so the
// objective value at the end is -A(M,N). Variables 1..NV are bounded below
// by 0 and above by BOUND(k): a bound of 0 fixes the variable at zero (it
// never enters the basis), a bound of 1.0e10 or more is no bound. Any label
// above NV names an artificial variable, which the solver holds at zero.
// ---------------------------------------------------------------------------

// The solver's result codes (STATUS).
inline constexpr std::int32_t kOptimal = 0;
inline constexpr std::int32_t kUnbounded = 1;
inline constexpr std::int32_t kInfeasible = -1;
inline constexpr std::int32_t kUnsettled = -2;  // phase 1 did not settle
inline constexpr std::int32_t kIterationLimit = 2;

// The no-bound threshold: the solver takes a bound of this size or more as
// no bound at all. It is a threshold, not a value to write: any bound from
// here up (1e30, say, or +infinity) stands for a missing one.
inline constexpr double kNoBoundThreshold = 1.0e10;
// The same threshold under its older name, kept so that programs written
// against it still build. The name reads like a value to write, which it
// is not.
[[deprecated("use kNoBoundThreshold")]] inline constexpr double kNoBound =
    kNoBoundThreshold;

// A view of the caller's storage for one of LINEAR's arrays: made from any
// contiguous container (std::vector, std::array, std::span) or from a
// pointer and a length.
template <typename T>
class ArrayRef {
 public:
  ArrayRef(T* data, std::size_t size) noexcept : data_(data), size_(size) {}
  template <typename C, typename = std::enable_if_t<std::is_convertible_v<
                            decltype(std::declval<C&>().data()), T*>>>
  ArrayRef(C&& container) noexcept  // implicit on purpose
      : data_(container.data()), size_(container.size()) {}

  T* data() const noexcept { return data_; }
  std::size_t size() const noexcept { return size_; }

 private:
  T* data_;
  std::size_t size_;
};

// A stop inside LINEAR: code 1111 (a negative bound among BOUND(1..NV)) or
// 2222 (a recomputation found labels it cannot match). The driver ends the
// run with this code; a library caller gets it thrown.
class Stop : public std::exception {
 public:
  explicit Stop(std::int32_t code);
  std::int32_t code() const noexcept { return code_; }
  const char* what() const noexcept override;  // "Return code 1111"

 private:
  std::int32_t code_;
  char text_[24];
};

// A failed operation on a print or scratch unit inside LINEAR (a file that
// cannot be created or written). what() is the report line the driver
// would write, status() the driver's status code (0xC0000000 + error).
class UnitError : public std::runtime_error {
 public:
  UnitError(const std::string& report, std::uint32_t status);
  std::uint32_t status() const noexcept { return status_; }

 private:
  std::uint32_t status_;
};

// The solver routine. Arrays are views of the caller's storage:
//   A, ASAVE   LDA x NCOL reals, column-major (LDA >= M+1, NCOL >= N)
//   ROW, ROW0  at least M-1 labels;  COL, COL0  at least N-1 labels
//   BOUND, X   at least NV reals, and as far as the largest label reaches
// In/out: A, ROW, COL, BOUND (changed in place to the final basis). Out: X
// (values of variables 1..NV), STATUS, ITER (pivots and bound flips). Work:
// ASAVE, ROW0, COL0. IUNIT > 0 keeps the initial tableau on the scratch unit
// IUNIT (file LP.TMP), < 0 in ASAVE, 0 nowhere (then phase 1 cannot
// recompute). IOUT > 0 prints the tableau after every step on unit IOUT
// (6: standard output). Units buffer what they write: call close_units()
// before the program ends. Throws Stop for codes 1111 and 2222 and
// UnitError for a failed unit operation; the arrays are then as the solver
// left them. Column labels must be nonzero and the magnitudes of all labels
// distinct. `observer`, when given, hears of every step the print shows
// (karvon/observer.h), after the print of that step.
void LINEAR(ArrayRef<double> A, ArrayRef<std::int32_t> ROW,
            ArrayRef<std::int32_t> COL, ArrayRef<double> BOUND,
            ArrayRef<double> X, std::int32_t M, std::int32_t N, std::int32_t NV,
            std::int32_t& STATUS, std::int32_t& ITER, std::int32_t LDA,
            std::int32_t NCOL, ArrayRef<double> ASAVE,
            ArrayRef<std::int32_t> ROW0, ArrayRef<std::int32_t> COL0,
            std::int32_t IUNIT, std::int32_t IOUT,
            StepObserver* observer = nullptr);

// Writes out and closes every unit LINEAR printed to or saved on. Returns
// false when a write failed.
bool close_units();

// A problem for solve(const Problem&), in LINEAR's terms.
struct Problem {
  // M rows of N values (A by rows): the constraint rows, then the objective
  // row; the last value of each row is its right-hand side.
  std::vector<std::vector<double>> rows;
  // M-1 row labels (ROW): k > 0, the row's basic variable is x(k); -k, the
  // same with the row written negated; 0, the row is an equation.
  std::vector<std::int32_t> row_labels;
  // N-1 column labels (COL): the variable in each column, nonzero; the sign
  // is ignored (the solver sets it).
  std::vector<std::int32_t> column_labels;
  // Upper bounds of variables 1..NV: NV is their number, and every variable
  // that a label names needs one (a slack as much as a column). 0 fixes the
  // variable at zero (unlike a deck, where 0 means "no bound");
  // kNoBoundThreshold or more, or +infinity, is no bound; negative or NaN is
  // refused.
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
// N-1 column labels, that no column label is 0, that every label names one
// of the variables 1..NV (a label above NV would be taken for an artificial
// variable and held at zero), that the magnitudes of all labels are
// distinct, and that no bound is negative or NaN; any breach is reported as
// kBadProblem and nothing is solved. `observer`, when given, hears of every
// step of the solve (karvon/observer.h).
[[nodiscard]] Solution solve(const Problem& problem,
                             StepObserver* observer = nullptr);

}  // namespace karvon
