#include "deck/conversion.h"

#include <cstdio>
#include <utility>

#include "model/deck_builder.h"

namespace deck {

Conversion from_model(const model::Model& model, const Settings& settings) {
  Conversion out;
  model::BuildResult built = model::build_deck(model);
  out.notes = std::move(built.notes);
  if (!built.ok) {
    out.error = std::move(built.error);
    return out;
  }
  Text deck = to_text(built.deck, settings);
  if (deck.rounded > 0) {
    char change[32];
    std::snprintf(change, sizeof change, "%.1e", deck.largest_change);
    out.notes.push_back(
        "note: " + std::to_string(deck.rounded) +
        " value(s) have no exact ten-column form and were rounded; largest "
        "relative change " +
        change);
  }
  out.text = std::move(deck.text);
  out.ok = true;
  return out;
}

}  // namespace deck
