#pragma once
// The report of karvon-solve on standard output, and its solution file.

#include <karvon/karvon.h>

#include <cstdint>
#include <string>
#include <vector>

#include "model/model.h"

namespace tools {

// What karvon-solve reports for one model, in the model's terms.
struct ModelSolution {
  karvon::ModelStatus status = karvon::ModelStatus::kOptimal;
  std::int64_t iterations = 0;
  double objective = 0;               // of the model, constant included
  std::vector<double> values;         // by column: where the solver stopped
  std::vector<double> activities;     // by row
  std::vector<double> duals;          // by row
  std::vector<double> reduced_costs;  // by column
  // The final basis, by column and by row; empty when the solver gave none.
  std::vector<karvon::BasisStatus> col_status;
  std::vector<karvon::BasisStatus> row_status;
  karvon::Quality quality;
  std::int32_t relaxed_integers = 0;
};

// Model name, sizes, status in words, objective and iterations, then the
// rows (name, activity, lower side, upper side, dual) and the columns
// (name, value, lower bound, upper bound, reduced cost), one a line, with
// the basis status (B, NL, NU, NF, NS) after the name when the solution
// has one. An infinite side is left blank; an equality row or fixed column
// shows "=" as its upper side. Numbers are written with up to 10
// significant digits; a computed value smaller in magnitude than the
// solver's tolerance is written 0.
// Last, the quality of the answer as checked on the model.
std::string report_text(const model::Model& model,
                        const ModelSolution& solution);

// HiGHS's plain-text solution file: "Model status", the status, then
// "# Primal solution values" and "# Dual solution values", each "Feasible"
// with "Objective", "# Columns N" and "# Rows M" sections of "name value"
// lines (every value exact), or "None" when the solver found no optimum;
// last the basis, "Valid" with HiGHS's status numbers by column and by
// row, or "None" when the solution has none.
std::string solution_file_text(const model::Model& model,
                               const ModelSolution& solution);

// The status in words: "OPTIMAL", "INFEASIBLE", ...
const char* status_words(karvon::ModelStatus status);

}  // namespace tools
