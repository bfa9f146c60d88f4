#pragma once
// What karvon-trace keeps of a run: the steps of every problem, copied as the
// solver reported them, within a budget. A cycling problem makes 100,002
// steps, and a large model's tableau may hold millions of values, so only
// the first and the last steps are kept, each with a view of at most
// kViewRows x kViewColumns of its tableau; the rest is counted.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "karvon/observer.h"

namespace trace {

// How much of a run a page holds. Every deck's tableau (at most 49 rows by
// 60 columns) fits the view whole; the defaults keep a page under about
// 20 MB, which a browser opens in about a second.
struct Budget {
  // Steps kept of each problem: the first half of them and the last half.
  std::int32_t max_steps = 1000;
  // The page's size in bytes; problems keep fewer steps, all alike, when
  // the steps they kept would not fit.
  std::int64_t max_bytes = 20'000'000;
};

inline constexpr std::int32_t kViewRows = 49;     // constraint rows kept
inline constexpr std::int32_t kViewColumns = 60;  // columns before the RHS

struct StepRecord {
  karvon::StepKind kind;
  karvon::StepPhase phase;
  std::int32_t iteration;
  std::int32_t restarts;
  std::int32_t ip;
  std::int32_t jp;
  std::int32_t entering;
  std::int32_t leaving;
  // The view of the tableau: constraint rows 1..view_rows, then the
  // objective and the phase-1 row; of each, columns 1..view_cols and then
  // the right-hand side; row by row.
  std::vector<double> a;
  std::vector<std::int32_t> row;  // labels of the rows in view, signed
  std::vector<std::int32_t> col;  // labels of the columns in view, signed
  std::vector<double> bound;      // 1..NV, signed
};

// head + tail, built by appending: GCC 12 warns falsely about a literal
// joined to a std::string.
std::string joined(std::string_view head, const std::string& tail);

// A variable's names: short for headers ("x3", "s2", "a1"), long for the
// step list ("x3", "slack of row 2", "artificial of row 1").
struct VariableName {
  std::string short_name;
  std::string long_name;
};

struct ProblemTrace {
  std::int32_t M = 0;
  std::int32_t N = 0;
  std::int32_t NV = 0;
  std::int32_t view_rows = 0;  // min(M - 1, kViewRows)
  std::int32_t view_cols = 0;  // min(N - 1, kViewColumns)
  // The steps kept, in order: steps 1..first of the solve, then the last
  // steps.size() - first of them. `total` counts every step the solver
  // reported, so total - steps.size() were left out, after the first.
  std::vector<StepRecord> steps;
  std::size_t first = 0;
  std::int64_t total = 0;
  // Index k-1 names variable k, artificial ones included.
  std::vector<VariableName> names;
  // How the solve ended; `ended` is false when the run stopped inside it.
  bool ended = false;
  std::int32_t status = 0;
  std::int32_t iterations = 0;
  std::vector<double> x;  // 1..NV
};

// A tableau that stands for a model: the names of its columns 1..N-1 and of
// its constraint rows 1..M-1 in the model's own terms.
struct ModelTerms {
  std::vector<VariableName> columns;
  std::vector<std::string> rows;
};

// Names the variables from the labels as the solver received them: a
// column's variable k is x(k); a row's label of a variable beyond the
// columns names that row's slack (surplus when the row is given negated);
// the c-th row labelled 0 gets the artificial variable NV+c. With `terms`,
// the columns and rows it names take those names instead of numbers.
std::vector<VariableName> name_variables(const karvon::TableauView& entry,
                                         const ModelTerms* terms = nullptr);

// Copies the steps into a ProblemTrace: the first half of the steps it may
// keep as they come, then the last half in a ring whose records are reused,
// so that memory stays bounded however long the solve runs. It keeps
// max_steps, or fewer where their tableaux would outgrow max_bytes, and
// two at least.
// Names the variables at entry, and keeps `x` the values of variables
// 1..NV after the latest step, as the solver fills them on exit. An entry
// starts the record afresh, so that of a solve run twice the second is
// kept. finish() puts the ring in order once the solve is over; the
// destructor calls it, so a run that ends inside a solve leaves its record
// in order too.
class Recorder final : public karvon::StepObserver {
 public:
  Recorder(ProblemTrace& into, const Budget& budget,
           const ModelTerms* terms = nullptr);
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;
  ~Recorder() override;
  void step(const karvon::Step& s) override;
  void finish();

 private:
  void start(const karvon::TableauView& t);

  ProblemTrace& into_;
  const ModelTerms* terms_;
  Budget budget_;
  std::size_t keep_first_ = 1;
  std::size_t keep_last_ = 1;
  std::size_t next_ = 0;  // the ring's oldest record, overwritten next
};

}  // namespace trace
