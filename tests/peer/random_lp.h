#pragma once
// Seeded random linear programs in karvon's input format, shared by the peer
// check against a general LP solver and by the benchmark decks: one
// generator, so both look at the very same problems.
//
// A problem has `rows` constraints over `vars` structural variables x1..xn,
// each 0 <= x <= u (u optional), and minimises cost.x - cost_rhs. Row i reads
// sign.s = rhs - a_i.x where the row kind is 0 (no slack: an equation), +1
// (slack s >= 0: a_i.x <= rhs) or -1 (surplus: a_i.x >= rhs). Slacks are
// numbered n+1, n+2, ... in row order, skipping equations, and may carry an
// upper bound too, which turns the row into a range.
//
// Every value is a small dyadic number (a multiple of 1/8 well inside 2^53)
// whose shortest decimal form fits in ten columns, so the deck states it
// exactly and any correct reader gets back the very double generated.

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/lp.h"

namespace peer {

// What a problem was built to be. Only a solver decides what it is: an
// "open" problem is feasible and may or may not be bounded.
enum class Intent { kFeasibleBounded, kFeasibleOpen, kInfeasible };

// The one positive scratch unit a deck uses: two different positive units in
// one run would both try to create "LP.TMP".
inline constexpr std::int32_t kScratchUnit = 9;

// Sizes and mix of a family of problems. Sizes are drawn uniformly from the
// ranges; rows from 0 (objective only) to
// lp::kMaxConstraintRows, variables from 1 to lp::kMaxColumns.
struct Shape {
  std::int32_t min_rows = 0;
  std::int32_t max_rows = lp::kMaxConstraintRows;
  std::int32_t min_vars = 1;
  std::int32_t max_vars = lp::kMaxColumns;
  // Relative weights of the three intents.
  double bounded = 0.6;
  double open = 0.2;
  double infeasible = 0.2;
  // Lowest density of the constraint rows; each problem draws its own
  // density between this and 1.
  double min_density = 0.2;
  // Draw the scratch setting from 0 (none), -1 (in memory) and kScratchUnit
  // (the file); otherwise 0 for every problem.
  bool mixed_scratch = true;
};

struct Problem {
  std::uint64_t seed = 0;  // regenerates this problem alone
  Intent intent = Intent::kFeasibleBounded;
  std::int32_t iunit = 0;
  std::int32_t rows = 0;
  std::int32_t vars = 0;
  std::vector<double> a;            // rows x vars, row by row
  std::vector<std::int32_t> kind;   // per row: 0, +1 or -1
  std::vector<double> rhs;          // per row
  std::vector<double> cost;         // per variable
  double cost_rhs = 0.0;            // the objective row's last value
  std::vector<double> bound_field;  // the NBOUND values as written
  // A feasible x the problem was built around; empty for kInfeasible.
  std::vector<double> witness;

  double coef(std::int32_t i, std::int32_t j) const {  // 0-based
    return a[std::size_t(i) * std::size_t(vars) + std::size_t(j)];
  }
  // NV: the structural variables and one slack per row that is not an
  // equation.
  std::int32_t variable_count() const;
  // The slack's variable number of row i (0-based), 0 for an equation.
  std::int32_t slack_number(std::int32_t row) const;
  // Upper bound of variable k (1-based), if it has one: written among the
  // NBOUND values and greater than zero.
  std::optional<double> upper_bound(std::int32_t k) const;
};

// Problem number `index` of the family `seed`: independent of the others,
// so one problem can be regenerated alone.
Problem random_problem(std::uint64_t seed, std::int32_t index,
                       const Shape& shape);

std::vector<Problem> random_problems(std::uint64_t seed, std::int32_t count,
                                     const Shape& shape);

// A value as a right-aligned ten-column field that reads back exactly.
std::string field_text(double value);

// The records of one problem with print unit `iout`.
void write_problem(std::ostream& out, const Problem& p, std::int32_t iout);

// Every problem, then the closing pair (settings, and a header with M = 0).
void write_deck(std::ostream& out, std::span<const Problem> problems,
                std::int32_t iout);

}  // namespace peer
