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
  // Why the deck was refused: "run.dat:12: 'x' in columns 11-20 is not a
  // number".
  std::string error;
};

// Reads the problems of a deck as karvon does (deck::read_text, with its
// refusals) and states each as a model. The problem's equations are
//   s*x(|ROW(I)|) + sum over J of A(I,J)*x(|COL(J)|) = A(I,N),  I < M,
// with s the sign of ROW(I) (no first term for a row of kind 0), every
// variable 0 <= xk <= BOUND(k) (no upper bound from 1.0e10 on), and the
// objective sum A(M,J)*x(|COL(J)|) - A(M,N), minimised. The variable of a
// labelled row appears nowhere else, so it is that row's slack: the model
// has one column for each tableau column, named x|COL(J)|, and row I, named
// rI, bounds sum A(I,J)*x(|COL(J)|) by A(I,N) - BOUND(k) and A(I,N) for a
// label +k, by A(I,N) and A(I,N) + BOUND(k) for -k, and equals A(I,N) for
// kind 0. (The slack's value is s times A(I,N) minus the row's activity.)
// A deck without a problem is refused too.
DeckRead read_deck(std::string_view text, const std::string& display_name);

}  // namespace modelio
