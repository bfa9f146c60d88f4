// Calling the solver from a program of your own.
//
//   minimise  -x - 2y   subject to   x + y <= 4,  x + 3y <= 6,  x, y >= 0
//
// as a tableau: one row per constraint, then the objective row, each ending
// with its right-hand side. Row labels 3 and 4 make the slacks x3 and x4
// the starting basis; columns hold x1 = x and x2 = y.

#include <karvon/karvon.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <iostream>

namespace {

karvon::Problem small_problem() {
  karvon::Problem p;
  p.rows = {{1.0, 1.0, 4.0}, {1.0, 3.0, 6.0}, {-1.0, -2.0, 0.0}};
  p.row_labels = {3, 4};
  p.column_labels = {1, 2};
  p.bounds = {1.0e30, 1.0e30, 1.0e30, 1.0e30};  // x1..x4, no upper bounds
  return p;
}

// The safe way: containers in, a Solution out.
void with_solve() {
  const karvon::Solution s = karvon::solve(small_problem());
  if (s.error != karvon::SolveError::kNone) {
    std::cout << "refused: " << s.message << '\n';
    return;
  }
  std::cout << "status " << s.status << " after " << s.iterations
            << " iterations\n";
  std::cout << "x =";
  for (const double v : s.values) std::cout << ' ' << v;
  std::cout << "\nobjective " << s.objective << '\n';

  karvon::Problem broken = small_problem();
  broken.rows[1].pop_back();
  std::cout << "refused: " << karvon::solve(broken).message << '\n';
}

// The routine itself, with fixed arrays as the karvon driver keeps them:
// 51 x 61 column-major, the phase-1 row M+1 included.
void with_linear() {
  constexpr std::int32_t LDA = 51;
  constexpr std::int32_t NCOL = 61;
  std::array<double, LDA * NCOL> A{};
  std::array<double, LDA * NCOL> ASAVE{};
  std::array<std::int32_t, LDA> ROW{3, 4};
  std::array<std::int32_t, LDA> ROW0{};
  std::array<std::int32_t, NCOL> COL{1, 2};
  std::array<std::int32_t, NCOL> COL0{};
  std::array<double, 110> BOUND{1.0e30, 1.0e30, 1.0e30, 1.0e30};
  std::array<double, 110> X{};
  const double rows[3][3] = {{1, 1, 4}, {1, 3, 6}, {-1, -2, 0}};
  for (std::size_t i = 0; i < 3; ++i) {
    for (std::size_t j = 0; j < 3; ++j) A[j * LDA + i] = rows[i][j];
  }
  std::int32_t STATUS = 0;
  std::int32_t ITER = 0;
  karvon::LINEAR(A, ROW, COL, BOUND, X, 3, 3, 4, STATUS, ITER, LDA, NCOL, ASAVE,
                 ROW0, COL0, -1, 0);
  std::cout << "LINEAR: status " << STATUS << ", objective " << -A[2 * LDA + 2]
            << '\n';
}

}  // namespace

int main() {
  with_solve();
  with_linear();
}
