#pragma once
// What karvon's report shows of each problem: whether the solver reported an
// optimum (only then are the values and the objective printed) and, if so,
// the printed values.

#include <string>
#include <string_view>
#include <vector>

namespace peer {

struct PrintedProblem {
  bool optimal = false;
  double objective = 0.0;  // the OBJECTIVE FUNCTION record, E15.8
  std::vector<double> x;   // the VALUES OF VARIABLES records, E10.3 each
};

struct PrintedRun {
  std::vector<PrintedProblem> problems;
  bool stopped = false;  // ended with the plain stop record
  std::string error;     // empty when the output had the expected shape
};

// Reads standard output as karvon writes it to a file: records ending in
// CR LF, tableau prints off.
PrintedRun parse_karvon_output(std::string_view out);

}  // namespace peer
