#pragma once
// A model to the text of its deck, with what the conversion has to say.

#include <string>
#include <vector>

#include "model/model.h"
#include "mps2deck/deck_text.h"

namespace mps2deck {

struct Conversion {
  bool ok = false;
  std::string text;                // the deck, when ok
  std::string error;               // why the model has no deck
  std::vector<std::string> notes;  // "note: ..." and "warning: ..." lines
};

// build_deck, then deck_text, with a note when values had to be rounded to
// fit their ten columns.
Conversion convert_to_deck(const model::Model& model,
                           const DeckSettings& settings);

}  // namespace mps2deck
