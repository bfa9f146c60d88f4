#pragma once
// What karvon-solve reports for one model: the solver's outcome in the
// model's terms.

#include <karvon/karvon.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tools {

enum class Outcome : std::uint8_t {
  kOptimal,
  kInfeasible,
  kUnbounded,
  kIterationLimit,
  kUnsettled,     // phase 1 did not settle
  kTimeLimit,     // stopped by the time limit
  kNotCertified,  // an optimum whose check against the model failed
};

struct ModelSolution {
  Outcome outcome = Outcome::kOptimal;
  std::int64_t iterations = 0;
  double objective = 0;               // of the model, constant included
  std::vector<double> values;         // by column: where the solver stopped
  std::vector<double> activities;     // by row
  std::vector<double> duals;          // by row
  std::vector<double> reduced_costs;  // by column
  // The final basis, by column and by row; empty when the solver gave none.
  std::vector<karvon::BasisStatus> col_status;
  std::vector<karvon::BasisStatus> row_status;
};

}  // namespace tools
