#pragma once
// Reads the problems of a deck from unit 5, as the driver does, and solves
// each with every step recorded.

#include <string>
#include <vector>

#include "trace/recorder.h"

namespace trace {

struct TracedRun {
  std::vector<ProblemTrace> problems;
  // Empty when the deck ended with its closing header; otherwise why the run
  // ended early (the report line, or the solver's stop code).
  std::string note;
};

// Problems until the closing header or the first ending. The scratch unit of
// the settings record is not used: a problem that asks for its initial
// tableau to be kept has it kept in memory, which gives the same steps, and
// no print is made whatever the print unit.
TracedRun trace_deck();

}  // namespace trace
