#pragma once
// The report of karvon-solve on standard output, and its solution file.

#include <string>

#include "model/model.h"
#include "tools/outcome.h"

namespace tools {

// Model name, sizes, status in words, objective and iterations, then the
// rows (name, activity, lower side, upper side, dual) and the columns
// (name, value, lower bound, upper bound, reduced cost), one a line, with
// the basis status (B, NL, NU, NF, NS) after the name when the solution
// has one. An infinite side is left blank; an equality row or fixed column
// shows "=" as its upper side. Numbers are written with up to 10
// significant digits; a computed value smaller in magnitude than the
// solver's tolerance is written 0.
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
const char* outcome_words(Outcome outcome);

}  // namespace tools
