#pragma once
// Scale factors: row i of the scaled problem is R_i times row i, column j
// stands for x_j / S_j, and the objective is multiplied by kappa. All are
// powers of two, so scaling and unscaling round nothing.

#include <cstdint>
#include <vector>

#include "simplex/problem.h"

namespace simplex {

struct Scaling {
  std::vector<double> row;  // R, m values
  std::vector<double> col;  // S, n values
  double cost = 1.0;        // kappa

  // What one unit of variable k of the scaled problem is in the problem's
  // own terms: S_j for column j, 1 / R_i for the logical of row i (k = n+i).
  double of_variable(std::int32_t k) const {
    const auto n = std::int32_t(col.size());
    return k < n ? col[std::size_t(k)] : 1.0 / row[std::size_t(k - n)];
  }
};

Scaling scaling_of(const Problem& p);
Scaling unit_scaling(const Problem& p);
Problem scaled(const Problem& p, const Scaling& s);

}  // namespace simplex
