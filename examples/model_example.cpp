// A model in its own terms: maximise x + 2y subject to x + y <= 4 and
// 1 <= x + 3y <= 6, with 0 <= x <= 4 and y free.
#include <karvon/karvon.h>

#include <iostream>

int main() {
  karvon::Model m;
  m.sense = karvon::Sense::kMaximize;
  m.cost = {1, 2};
  m.col_lower = {0, -karvon::kInfinity};
  m.col_upper = {4, karvon::kInfinity};
  m.row_lower = {-karvon::kInfinity, 1};
  m.row_upper = {4, 6};
  m.matrix = {1, 1,   // x + y
              1, 3};  // x + 3y
  const karvon::ModelResult r = karvon::solve(m);
  std::cout << to_string(r.status) << ": objective " << r.objective << ", x "
            << r.x[0] << ' ' << r.x[1] << ", row duals " << r.row_duals[0]
            << ' ' << r.row_duals[1] << '\n';
}
