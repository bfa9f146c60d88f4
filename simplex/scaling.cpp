#include "simplex/scaling.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace simplex {
namespace {

double power_of_two(double v) {
  if (!(v > 0) || !std::isfinite(v)) return 1.0;
  return std::ldexp(1.0, int(std::lround(std::log2(v))));
}

}  // namespace

// Geometric scaling: a few passes that bring the largest and smallest entry
// of every row and column to reciprocal sizes, then the costs to a largest
// magnitude near one.
Scaling scaling_of(const Problem& p) {
  const auto m = std::size_t(p.rows);
  const auto n = std::size_t(p.cols);
  Scaling s{std::vector<double>(m, 1.0), std::vector<double>(n, 1.0), 1.0};
  std::vector<double> big(m), small(m);
  for (int pass = 0; pass < 6; ++pass) {
    std::fill(big.begin(), big.end(), 0.0);
    std::fill(small.begin(), small.end(), kInf);
    for (std::size_t j = 0; j < n; ++j) {
      for (auto k = p.start[j]; k < p.start[j + 1]; ++k) {
        const auto i = std::size_t(p.index[std::size_t(k)]);
        const double a = std::fabs(p.value[std::size_t(k)]) * s.col[j];
        big[i] = std::max(big[i], a);
        small[i] = std::min(small[i], a);
      }
    }
    for (std::size_t i = 0; i < m; ++i)
      if (big[i] > 0) s.row[i] = 1.0 / std::sqrt(big[i] * small[i]);
    for (std::size_t j = 0; j < n; ++j) {
      double hi = 0;
      double lo = kInf;
      for (auto k = p.start[j]; k < p.start[j + 1]; ++k) {
        const double a = std::fabs(p.value[std::size_t(k)]) *
                         s.row[std::size_t(p.index[std::size_t(k)])];
        hi = std::max(hi, a);
        lo = std::min(lo, a);
      }
      if (hi > 0) s.col[j] = 1.0 / std::sqrt(hi * lo);
    }
  }
  for (double& r : s.row) r = power_of_two(r);
  for (double& c : s.col) c = power_of_two(c);
  double cmax = 0;
  for (std::size_t j = 0; j < n; ++j)
    cmax = std::max(cmax, std::fabs(p.cost[j]) * s.col[j]);
  if (cmax > 0) s.cost = power_of_two(1.0 / cmax);
  return s;
}

Problem scaled(const Problem& p, const Scaling& s) {
  Problem q = p;
  for (std::size_t j = 0; j < std::size_t(p.cols); ++j) {
    for (auto k = p.start[j]; k < p.start[j + 1]; ++k)
      q.value[std::size_t(k)] *=
          s.row[std::size_t(p.index[std::size_t(k)])] * s.col[j];
    q.cost[j] *= s.col[j] * s.cost;
    q.col_lower[j] /= s.col[j];
    q.col_upper[j] /= s.col[j];
  }
  for (std::size_t i = 0; i < std::size_t(p.rows); ++i) {
    q.row_lower[i] *= s.row[i];
    q.row_upper[i] *= s.row[i];
  }
  return q;
}

Scaling unit_scaling(const Problem& p) {
  return {std::vector<double>(std::size_t(p.rows), 1.0),
          std::vector<double>(std::size_t(p.cols), 1.0), 1.0};
}

}  // namespace simplex
