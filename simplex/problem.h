#pragma once
// The model road's linear program: sparse, minimised, every bound explicit.
//
//   minimise   cost . x
//   subject to row_lower <= A x <= row_upper
//              col_lower <=  x  <= col_upper
//
// A is held by columns. A missing side or bound is an infinity of the
// right sign; nothing else means "no bound", however large.

#include <cstdint>
#include <limits>
#include <vector>

namespace simplex {

inline constexpr double kInf = std::numeric_limits<double>::infinity();

struct Problem {
  std::int32_t rows = 0;
  std::int32_t cols = 0;
  // Column j's entries are index[k], value[k] for start[j] <= k < start[j+1];
  // no row twice within a column, no explicit zeros.
  std::vector<std::int64_t> start{0};
  std::vector<std::int32_t> index;
  std::vector<double> value;
  std::vector<double> cost;
  std::vector<double> col_lower;
  std::vector<double> col_upper;
  std::vector<double> row_lower;
  std::vector<double> row_upper;
};

// Where a variable stands: in the basis, or out of it at its lower bound,
// its upper bound, at zero (free) or at its one value (fixed).
enum class Position : std::uint8_t { kBasic, kLower, kUpper, kFree, kFixed };

}  // namespace simplex
