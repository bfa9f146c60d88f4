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
// preparation of labels and bounds) and states each problem as a model.
// The problem's equations are
//   s*x(|ROW(I)|) + sum over J of A(I,J)*x(|COL(J)|) = A(I,N),  I < M,
// with s the sign of ROW(I) (no first term for a row of kind 0), every
// variable 0 <= xk <= BOUND(k) (no upper bound from 1.0e10 on), and the
// objective sum A(M,J)*x(|COL(J)|) - A(M,N), minimised. The variable of a
// labelled row appears nowhere else, so it is that row's slack: the model
// has one column for each tableau column, named x|COL(J)|, and row I, named
// rI, bounds sum A(I,J)*x(|COL(J)|) by A(I,N) - BOUND(k) and A(I,N) for a
// label +k, by A(I,N) and A(I,N) + BOUND(k) for -k, and equals A(I,N) for
// kind 0. (The slack's value is s times A(I,N) minus the row's activity.)
// A closing header ends the deck, and so does the end of the input where a
// settings record would start. Labels that do not name distinct variables
// 1..NV are refused, with the record that holds them.
DeckRead read_deck(std::string_view text, const std::string& display_name);

// Whether `text` begins as a deck does: a settings record and a problem
// header whose fields read as the driver reads them.
bool begins_as_deck(std::string_view text);

}  // namespace modelio
