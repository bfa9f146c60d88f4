#pragma once
// Watching a solve: LINEAR tells an observer about every step it makes, at
// the points where the tableau print shows it (on entry, before the first
// iteration, after each pivot or bound flip, after each recomputation). The
// print itself is one such observer; a caller may attach its own.

#include <cstddef>
#include <cstdint>

namespace karvon {

// What the step just made was.
enum class StepKind : std::uint8_t {
  kEntry,       // the tableau as the caller handed it over
  kStart,       // set up, before the first iteration
  kPivot,       // a basis exchange on A(ip, jp)
  kBoundFlip,   // column jp moved from one of its bounds to the other
  kRecomputed,  // phase 1 restarted, the tableau rebuilt from the initial one
};

// Which row prices the next iteration: the phase-1 row (M+1) or the
// objective row (M). kNone on entry, before the set-up has run.
enum class StepPhase : std::uint8_t { kNone, kOne, kTwo };

// A read-only view of the solver's arrays as they stand after the step.
// Column-major, indexed from 1 like LINEAR's arguments; each array comes
// with the number of entries the caller gave it. The view is valid only
// during the call that receives it. (Plain pointers and sizes, so that the
// header also serves C++17 callers.)
struct TableauView {
  const double* a;  // lda x ncol
  std::size_t a_size;
  const std::int32_t* row;  // row labels, 1..M-1 used (signed)
  std::size_t row_size;
  const std::int32_t* col;  // column labels, 1..N-1 used (signed)
  std::size_t col_size;
  const double* bound;  // bounds, 1..NV used (negative: complemented)
  std::size_t bound_size;
  std::int32_t lda;
  std::int32_t ncol;
  std::int32_t M;   // rows up to the objective row; row M+1 is the phase-1 row
  std::int32_t N;   // columns up to the right-hand side
  std::int32_t NV;  // variables that are not artificial

  double at(std::int32_t i, std::int32_t j) const {
    return a[std::size_t(j - 1) * std::size_t(lda) + std::size_t(i - 1)];
  }
  std::int32_t row_label(std::int32_t i) const {
    return row[std::size_t(i - 1)];
  }
  std::int32_t col_label(std::int32_t j) const {
    return col[std::size_t(j - 1)];
  }
  double upper_bound(std::int32_t k) const { return bound[std::size_t(k - 1)]; }
};

struct Step {
  StepKind kind;
  StepPhase phase;
  std::int32_t iteration;  // ITER after the step
  std::int32_t restarts;   // phase-1 restarts so far in this solve
  // The pivot position: ip = 0 for a bound flip; both 0 when no pivot was
  // made (entry, start, recomputation).
  std::int32_t ip;
  std::int32_t jp;
  // Variable numbers, unsigned: the variable that entered the basis (or,
  // for a bound flip, the one that flipped) and the one that left it; 0
  // where the step has none. Numbers above NV are artificial variables.
  std::int32_t entering;
  std::int32_t leaving;
  TableauView tableau;
};

class StepObserver {
 public:
  virtual ~StepObserver() = default;
  // Called once per step, on the solver's thread, before the solver goes on.
  virtual void step(const Step& s) = 0;
};

}  // namespace karvon
