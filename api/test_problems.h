#pragma once
// Problems the library's tests share.

#include "karvon/karvon.h"

namespace karvon::testing {

// min -x - 2y, x + y <= 4, x + 3y <= 6 in tableau form: slacks x3 and x4
// start in the basis. x = 3, y = 1, objective -5.
inline Problem small_tableau_problem() {
  Problem p;
  p.rows = {{1, 1, 4}, {1, 3, 6}, {-1, -2, 0}};
  p.row_labels = {3, 4};
  p.column_labels = {1, 2};
  p.bounds = {1e30, 1e30, 1e30, 1e30};
  return p;
}

}  // namespace karvon::testing
