#pragma once
// A model solved through the library's standard-form entry.

#include <karvon/karvon.h>

#include <string>

#include "karvon-solve/report.h"
#include "model/model.h"

namespace tools {

struct SolveAttempt {
  bool solved = false;
  ModelSolution solution;
  std::string refusal;  // why the model was not solved ("too large: ...")
};

// What `result`, the library's answer for `model`, reports: values the
// solver left out are unknown (NaN); the basis is kept when it has an entry
// for every column and row, and left empty otherwise.
ModelSolution model_solution(const model::Model& model,
                             const karvon::ModelResult& result);

// Solves `model`; with `tableau`, the tableau is printed on standard output
// after every step of the solver.
SolveAttempt solve_model(const model::Model& model, bool tableau,
                         const karvon::SolveOptions& limits = {});

}  // namespace tools
