#pragma once
// A deck's text read as karvon reads its standard input, for the tools that
// take a deck as a model file: what karvon would end the run on is refused
// here with the line and the columns where it stands.

#include <functional>
#include <string>
#include <string_view>

#include "deck/storage.h"

namespace deck {

// Reads the problems of `text` one after the other into `s` (never cleared
// between them, as in karvon), prepares each, and hands it to `take`. The
// deck ends at a closing header, or at the end of the input where a settings
// record would start; records end with a line feed, a carriage return before
// it is dropped, and a line holding only 0x1A ends the input. Returns the
// empty string when the deck was read to its end, and otherwise why it was
// refused, as "run.dat:12: 'x' in columns 11-20 is not a number": a field
// that does not read, a value that is not finite, an invalid header, the end
// of the input inside a problem, or labels (row kinds and column labels) that
// do not name distinct variables 1..NV. The problems handed over before a
// refusal have been read in full.
std::string read_text(std::string_view text, const std::string& display_name,
                      Storage& s, const std::function<void(Storage&)>& take);

// Whether `text` begins as a deck does: a settings record and a problem
// header whose fields read as karvon reads them.
bool begins_as_deck(std::string_view text);

}  // namespace deck
