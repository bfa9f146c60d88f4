#pragma once
// What karvon-trace keeps of a run: every step of every problem, copied as
// the solver reported it.

#include <cstdint>
#include <string>
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

// Names the variables from the labels as the solver received them: a
// column's variable k is x(k); a row's label of a variable beyond the
// columns names that row's slack (surplus when the row is given negated);
// the c-th row labelled 0 gets the artificial variable NV+c.
std::vector<VariableName> name_variables(const karvon::TableauView& entry);

// Copies every step into a ProblemTrace; names the variables at entry.
class Recorder final : public karvon::StepObserver {
 public:
  explicit Recorder(ProblemTrace& into) : into_(into) {}
  void step(const karvon::Step& s) override;

 private:
  ProblemTrace& into_;
};

}  // namespace trace
