#pragma once
// A model file of any format the tools read, as models in general form.

#include <optional>
#include <string>
#include <vector>

#include "model/model.h"

namespace modelio {

enum class Format {
  kMps,      // fixed MPS, then free MPS when the fixed reading fails
  kFreeMps,  // free MPS only
  kLp,       // CPLEX LP
  kDeck,     // a karvon deck: one model for each problem
};

// The format a file's name announces: .mps, .freemps, .lp, and .deck or
// .dat for decks (in any case); nothing for another name.
std::optional<Format> format_of_name(const std::string& name);

struct ModelsRead {
  bool ok = false;
  std::vector<model::Model> models;
  std::string error;                  // one line, with the file and line
  std::vector<std::string> warnings;  // the readers' warnings
};

// Reads `name` ("-" for standard input) in `format`. An MPS file's OBJSENSE
// section is taken out and applied to the model (GLPK reads the rest). A
// deck's problems are named after the file, with their number when there
// are several.
ModelsRead read_models(const std::string& name, Format format);

}  // namespace modelio
