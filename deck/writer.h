#pragma once
// A built deck as the text of its records, which karvon reads back.

#include <cstdint>
#include <string>

#include "model/deck.h"

namespace deck {

struct Settings {
  std::int32_t IUNIT = -1;  // initial tableau kept in memory
  std::int32_t IOUT = 0;    // no tableau prints
  bool close = true;        // end with the closing pair of records
};

struct Text {
  std::string text;
  // Values that no ten-column text reads back exactly, and the largest
  // relative change among them.
  std::int32_t rounded = 0;
  double largest_change = 0;
};

// The settings record, the header, the tableau rows and the bounds
// (kReals), the row kinds and the column labels (kIntegers; the labels 0, so
// that karvon numbers the columns itself), then, when asked, the closing
// pair. Records end with a line feed: karvon drops a carriage return before
// it as well, and a deck is a file people read and edit.
Text to_text(const model::Deck& deck, const Settings& settings);

}  // namespace deck
