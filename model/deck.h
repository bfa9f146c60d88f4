#pragma once
// One problem in the driver's terms: the tableau, the bounds, the row kinds.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace model {

// How a column of the deck stands for a column of the model:
// model value = shift + sign * deck value.
struct DeckColumn {
  std::string name;              // the model's column
  std::size_t model_column = 0;  // its index among the model's columns
  double shift = 0;
  double sign = 1;  // -1 for the negative part of a free column, or a
                    // column bounded above only
};

struct Deck {
  std::int32_t M = 1;  // tableau rows: M-1 constraint rows, then the objective
  std::int32_t N = 1;  // tableau columns: N-1 variables, then the right side
  std::vector<std::vector<double>> rows;  // M rows of N values
  std::vector<double> bounds;           // NBOUND values; none: lp::kNoBoundFill
  std::vector<std::int32_t> row_kinds;  // M-1 values: +1, -1 or 0
  std::vector<DeckColumn> columns;      // N-1 of them
  std::vector<std::string> row_names;   // M-1 of them
  std::vector<std::size_t> model_rows;  // M-1 of them: the model's indexes
};

}  // namespace model
