#pragma once
// Reads the problems of a deck from unit 5, as the driver does, and solves
// each with every step recorded.

#include <string>
#include <vector>

#include "karvon/karvon.h"
#include "trace/page.h"
#include "trace/recorder.h"

namespace trace {

struct TracedRun {
  std::vector<ProblemTrace> problems;
  // Empty when the deck ended with its closing header; otherwise why the run
  // ended early (the report line, or the solver's stop code).
  std::string note;
};

// Problems until the closing header or the first ending, each counted in
// `budget` once recorded. The scratch unit of the settings record is not
// used: a problem that asks for its initial tableau to be kept has it kept
// in memory, which gives the same steps, and no print is made whatever the
// print unit.
TracedRun trace_deck(PageBudget& budget);

// Solves `model` through the standard-form entry with every step recorded,
// the variables named in the model's terms: a tableau column after the
// model's column it stands for ("-" before the name when it is negated),
// slacks, surpluses and artificial variables after their row. A model
// refused, or found infeasible before the solver runs, gives no problem and
// the reason as the note. The problem is added to `run`, and counted in
// `budget`; the return value is the note (empty when the solve ran).
// `result`, when given, receives what the solve found.
std::string trace_model(const karvon::Model& model, TracedRun& run,
                        PageBudget& budget,
                        karvon::ModelResult* result = nullptr);

}  // namespace trace
