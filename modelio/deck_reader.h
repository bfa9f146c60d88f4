#pragma once
// The problems of a karvon deck as models in general form.

#include <string>
#include <string_view>
#include <vector>

#include "model/model.h"

namespace modelio {

struct DeckRead {
  bool ok = false;
  std::vector<model::Model> problems;  // one for each problem, in order
  // Why the deck was refused: "run.dat:12: 'x' is not a number (columns
  // 11-20)".
  std::string error;
};

// Reads the records of a deck as the driver does (same fields, same
// preparation of labels and bounds) and states each problem as a model:
//  - variables x1..xNV, 0 <= xk <= BOUND(k) (no upper bound from 1.0e10 on);
//  - constraint row I, named rI: s*x(|ROW(I)|) + sum A(I,J)*x(|COL(J)|) =
//    A(I,N) with s the sign of ROW(I), or without the first term for a row
//    of kind 0;
//  - minimise sum A(M,J)*x(|COL(J)|) - A(M,N).
// A closing header ends the deck, and so does the end of the input where a
// settings record would start. Labels that do not name distinct variables
// 1..NV are refused, with the record that holds them.
DeckRead read_deck(std::string_view text, const std::string& display_name);

}  // namespace modelio
