#pragma once
// A built deck put into karvon's storage without going through its text.

#include <cstdint>

#include "deck/storage.h"
#include "model/deck.h"

namespace deck {

// Puts the problem of `d` into `s` as karvon's reading of the records that
// to_text writes for it would, with the settings IUNIT and IOUT and column
// labels 0, then prepares it. Only the entries the records name are
// written: what earlier problems left elsewhere stays. The deck fits the
// storage (model::build_deck refuses one that does not).
void load(const model::Deck& d, std::int32_t IUNIT, std::int32_t IOUT,
          Storage& s);

}  // namespace deck
