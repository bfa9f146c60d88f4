#pragma once
// A model to the text of its deck, with what the conversion has to say.

#include <string>
#include <vector>

#include "deck/writer.h"
#include "model/model.h"

namespace deck {

struct Conversion {
  bool ok = false;
  std::string text;                // the deck, when ok
  std::string error;               // why the model has no deck
  std::vector<std::string> notes;  // "note: ..." and "warning: ..." lines
};

// model::build_deck, then to_text, with a note when values had to be
// rounded to fit their columns.
Conversion from_model(const model::Model& model, const Settings& settings);

}  // namespace deck
