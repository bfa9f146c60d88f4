#pragma once
// What karvon-trace keeps of a run: every step of every problem, copied as
// the solver reported it.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "karvon/observer.h"

namespace trace {

struct StepRecord {
  karvon::StepKind kind;
  karvon::StepPhase phase;
  std::int32_t iteration;
  std::int32_t restarts;
  std::int32_t ip;
  std::int32_t jp;
  std::int32_t entering;
  std::int32_t leaving;
  std::vector<double> a;          // rows 1..M+1 of columns 1..N, row by row
  std::vector<std::int32_t> row;  // 1..M-1, signed
  std::vector<std::int32_t> col;  // 1..N-1, signed
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
  std::vector<StepRecord> steps;
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

// The values of variables 1..NV after `last`, as the solver fills them on
// exit: basic variables at their row's right-hand side, the others at 0 or,
// complemented, at their bound, none above its bound.
std::vector<double> values_after(const ProblemTrace& p, const StepRecord& last);

// Copies every step into a ProblemTrace; names the variables at entry. An
// entry starts the record afresh, so that of a solve run twice the second
// is kept.
class Recorder final : public karvon::StepObserver {
 public:
  explicit Recorder(ProblemTrace& into, const ModelTerms* terms = nullptr)
      : into_(into), terms_(terms) {}
  void step(const karvon::Step& s) override;

 private:
  ProblemTrace& into_;
  const ModelTerms* terms_;
};

}  // namespace trace
