#pragma once
// Models written as MPS, LP or deck text.

#include <string>
#include <vector>

#include "deck/writer.h"
#include "model/model.h"

namespace modelio {

enum class OutputFormat { kMps, kLp, kDeck };

struct ModelText {
  bool ok = false;
  std::string text;
  std::string error;
  std::vector<std::string> notes;  // "note: ..." and "warning: ..." lines
};

// The name of the column that carries the objective's constant in MPS and
// LP files, when that constant is not zero: fixed at 1, its cost the
// constant. Readers disagree on the sign of a right-hand side on the
// objective row; on a column they all agree.
inline constexpr const char* kConstantColumn = "CONSTANT";

// `model` with a maximum turned into the minimum of the negated objective
// (costs and constant negated): the same optimum, its objective value of
// the opposite sign. A minimum is returned as it is.
model::Model as_minimum(model::Model model);

// The note that says a maximum was written as a minimum.
std::string minimum_note(const model::Model& model);

// Free MPS text of one model (an OBJSENSE MAX section for a maximum; every
// number in the shortest form that reads back exactly), or LP text written
// by GLPK. Names with blanks cannot stand in free MPS, and GLPK's LP writer
// cannot write a model without rows: both refused.
ModelText model_text(const model::Model& model, OutputFormat format);

// The deck of the models, one problem after the other, as mps2deck writes
// it: a maximum is written as the minimum of the negated objective, with a
// note. Only the last problem gets the closing records, when asked.
ModelText deck_text(const std::vector<model::Model>& models,
                    const deck::Settings& settings);

}  // namespace modelio
