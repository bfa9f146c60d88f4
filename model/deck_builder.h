#pragma once
// From a model to a deck, the solver's tableau form: rows to row kinds,
// bounds to shifted, negated, split or substituted columns. mps2deck writes
// the deck as text; the library hands it to the solver.

#include <cstddef>
#include <string>
#include <vector>

#include "model/deck.h"
#include "model/model.h"

namespace model {

// Why a model has no deck.
enum class Failure {
  kNone,
  kRefused,     // its data cannot be written as a deck
  kInfeasible,  // crossed bounds or sides, or an empty row 0 does not satisfy
  kTooLarge,    // more rows or columns than the tableau holds
};

struct BuildResult {
  bool ok = false;
  Failure failure = Failure::kNone;
  Deck deck;
  std::string error;  // why the model has no deck
  // The deck's constraint rows and columns, counted also when they are too
  // many.
  std::size_t rows = 0;
  std::size_t columns = 0;
  std::vector<std::string> notes;  // "note: ..." and "warning: ..." lines
};

// Maps `model` to a deck. Rows: L to kind +1 (slack), G to -1 (surplus), E
// to 0; a row with both sides finite and apart to kind +1 whose slack is
// bounded by the width of the range. Columns, for x with bounds [l, u]:
//   l finite:        x = l + y, y bounded by u - l when u is finite;
//   l = u:           x = l, substituted into the rows and the objective;
//   only u finite:   x = u - y;
//   neither finite:  x = y1 - y2, two columns.
// Rows left without a coefficient are dropped when 0 satisfies them and
// refuse the model otherwise; free rows are dropped. Bounds and sides of
// magnitude 1e30 or more count as infinite.
BuildResult build_deck(const Model& model);

}  // namespace model
