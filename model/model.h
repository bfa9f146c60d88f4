#pragma once
// A linear program in its own terms, as a model file states it or a library
// caller gives it: rows with their two sides, columns with their bounds,
// costs and coefficients.

#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace model {

inline constexpr double kInfinity = std::numeric_limits<double>::infinity();

// A constraint row: lower <= sum of its coefficients times the columns <=
// upper. An L row has lower = -infinity, a G row upper = +infinity, an E row
// lower = upper; RANGES make both finite.
struct ModelRow {
  std::string name;
  double lower = -kInfinity;
  double upper = kInfinity;
};

struct ModelColumn {
  std::string name;
  double lower = 0;
  double upper = kInfinity;
  double cost = 0;
  bool integer = false;  // inside MARKER lines or with an integer bound type
  // (row index from 0, coefficient); no row twice, no zeros.
  std::vector<std::pair<std::int32_t, double>> entries;
};

// Minimise (or maximise) sum(cost * column) + objective_constant over the
// rows and bounds.
struct Model {
  std::string name;
  std::string objective_name;
  std::vector<ModelRow> rows;
  std::vector<ModelColumn> columns;
  // A right-hand side r given on the objective row means the constant -r,
  // so that the objective of the model is sum(cost * column) - r.
  double objective_constant = 0;
  // The objective is maximised: an LP file or an OBJSENSE section says so.
  // build_deck always minimises; negate the objective first.
  bool maximize = false;
};

}  // namespace model
