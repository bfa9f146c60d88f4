#pragma once
// The records of a deck, as text the driver reads.

#include <cstdint>
#include <string>

#include "model/deck.h"

namespace mps2deck {

using model::Deck;
using model::DeckColumn;

struct DeckSettings {
  std::int32_t IUNIT = -1;  // initial tableau kept in memory
  std::int32_t IOUT = 0;    // no tableau prints
  bool close = true;        // end with the closing pair of records
};

struct DeckText {
  std::string text;
  // Values that no ten-column text reads back exactly, and the largest
  // relative change among them.
  std::int32_t rounded = 0;
  double largest_change = 0;
};

// The settings record, the header, the tableau rows (11F10.0), the bounds
// (11F10.0), the row kinds and the column labels (11I5), then, when asked,
// the closing pair (settings, then a header of zeros). Records end with a
// line feed: the driver drops a carriage return before it as well, and a
// deck is a file people read and edit.
DeckText deck_text(const Deck& deck, const DeckSettings& settings);

}  // namespace mps2deck
