#pragma once
// The text of one real in a deck field: at most kRealWidth columns, read
// back by karvon under kReals.

#include <cstddef>
#include <string>

#include "deck/format.h"

namespace deck {

struct FieldText {
  std::string text;  // at most kRealWidth characters, not padded
  double read_back;  // what karvon reads from `text`
};

// The text for `value` (finite), at most `width` (6 or more) characters. When
// some text of that width reads back as exactly `value`, the result is one of
// them; otherwise it is the text whose value is nearest. Among equally near
// texts the plainest wins: fixed notation ("-12.5"), then an exponent letter
// ("1.5E-7"), then the exponent's bare sign ("1.25-10").
FieldText real_field_text(double value, std::size_t width = kRealWidth);

}  // namespace deck
