#include "simplex/certify.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace simplex {
namespace {

// How far v lies outside [lo, hi].
double outside(double v, double lo, double hi) {
  if (v < lo) return lo - v;
  if (v > hi) return v - hi;
  return 0.0;
}

// Whether v stands at the bound b, within the primal tolerance.
bool at(double v, double b, double scale) {
  return std::isfinite(b) && std::fabs(v - b) <= kCertifyTol * scale;
}

// The wrong-signed part of a reduced cost or dual r of a value v within
// [lo, hi] (for a minimum): at the lower bound r may be positive, at the
// upper negative, between the bounds it must be zero. Returns the part
// that breaks this and the distance from the bound the sign picks (for the
// gap).
struct DualPart {
  double wrong = 0;
  double slack = 0;
};
DualPart dual_part(double r, double v, double lo, double hi, double scale) {
  const bool low = at(v, lo, scale);
  const bool high = at(v, hi, scale);
  DualPart part;
  if (r > 0) {
    if (!low) part.wrong = r;
    part.slack = std::isfinite(lo) ? std::fabs(v - lo) : 0.0;
  } else if (r < 0) {
    if (!high) part.wrong = -r;
    part.slack = std::isfinite(hi) ? std::fabs(v - hi) : 0.0;
  }
  return part;
}

}  // namespace

std::vector<double> activities(const Problem& p, const std::vector<double>& x) {
  std::vector<double> r(std::size_t(p.rows), 0.0);
  for (std::size_t j = 0; j < std::size_t(p.cols); ++j) {
    if (x[j] == 0.0) continue;
    for (auto k = p.start[j]; k < p.start[j + 1]; ++k)
      r[std::size_t(p.index[std::size_t(k)])] += p.value[std::size_t(k)] * x[j];
  }
  return r;
}

// Row i's scale is 1 + the largest of its finite sides and of the sum of
// |a_ij x_j|: a row whose terms are large may carry their rounding.
double primal_violation(const Problem& p, const std::vector<double>& x,
                        const std::vector<double>& activity) {
  double worst = 0;
  for (std::size_t j = 0; j < std::size_t(p.cols); ++j) {
    const double v = outside(x[j], p.col_lower[j], p.col_upper[j]);
    if (v > 0) worst = std::max(worst, v / (1.0 + std::fabs(x[j])));
  }
  std::vector<double> size(std::size_t(p.rows), 0.0);
  for (std::size_t j = 0; j < std::size_t(p.cols); ++j) {
    for (auto k = p.start[j]; k < p.start[j + 1]; ++k)
      size[std::size_t(p.index[std::size_t(k)])] +=
          std::fabs(p.value[std::size_t(k)] * x[j]);
  }
  for (std::size_t i = 0; i < std::size_t(p.rows); ++i) {
    const double v = outside(activity[i], p.row_lower[i], p.row_upper[i]);
    if (v > 0) worst = std::max(worst, v / (1.0 + size[i]));
  }
  return worst;
}

Measures optimality(const Problem& p, const std::vector<double>& x,
                    const std::vector<double>& activity,
                    const std::vector<double>& y,
                    std::vector<double>& reduced) {
  Measures out;
  double cmax = 0;
  for (const double c : p.cost) cmax = std::max(cmax, std::fabs(c));
  double objective = 0;
  double complementarity = 0;
  reduced.assign(p.cost.begin(), p.cost.end());
  for (std::size_t j = 0; j < std::size_t(p.cols); ++j) {
    double size = std::fabs(p.cost[j]);
    for (auto k = p.start[j]; k < p.start[j + 1]; ++k) {
      const double term =
          p.value[std::size_t(k)] * y[std::size_t(p.index[std::size_t(k)])];
      reduced[j] -= term;
      size += std::fabs(term);
    }
    objective += p.cost[j] * x[j];
    const DualPart part = dual_part(reduced[j], x[j], p.col_lower[j],
                                    p.col_upper[j], 1.0 + std::fabs(x[j]));
    out.dual = std::max(out.dual, part.wrong / (1.0 + size));
    complementarity += std::fabs(reduced[j]) * part.slack;
  }
  for (std::size_t i = 0; i < std::size_t(p.rows); ++i) {
    const DualPart part =
        dual_part(y[i], activity[i], p.row_lower[i], p.row_upper[i],
                  1.0 + std::fabs(activity[i]));
    out.dual = std::max(out.dual, part.wrong / (1.0 + cmax));
    complementarity += std::fabs(y[i]) * part.slack;
  }
  out.gap = complementarity / (1.0 + std::fabs(objective));
  return out;
}

bool is_improving_ray(const Problem& p, const std::vector<double>& d) {
  double dmax = 0;
  for (const double v : d) dmax = std::max(dmax, std::fabs(v));
  if (!(dmax > 0) || !std::isfinite(dmax)) return false;
  double slope = 0;
  double slope_size = 0;
  for (std::size_t j = 0; j < std::size_t(p.cols); ++j) {
    const double v = d[j] / dmax;
    if (std::isfinite(p.col_lower[j]) && v < -kCertifyTol) return false;
    if (std::isfinite(p.col_upper[j]) && v > kCertifyTol) return false;
    slope += p.cost[j] * v;
    slope_size += std::fabs(p.cost[j] * v);
  }
  std::vector<double> rd(std::size_t(p.rows), 0.0);
  std::vector<double> size(std::size_t(p.rows), 0.0);
  for (std::size_t j = 0; j < std::size_t(p.cols); ++j) {
    const double v = d[j] / dmax;
    for (auto k = p.start[j]; k < p.start[j + 1]; ++k) {
      const auto i = std::size_t(p.index[std::size_t(k)]);
      rd[i] += p.value[std::size_t(k)] * v;
      size[i] += std::fabs(p.value[std::size_t(k)] * v);
    }
  }
  for (std::size_t i = 0; i < std::size_t(p.rows); ++i) {
    const double tol = kCertifyTol * (1.0 + size[i]);
    if (std::isfinite(p.row_lower[i]) && rd[i] < -tol) return false;
    if (std::isfinite(p.row_upper[i]) && rd[i] > tol) return false;
  }
  return slope < -kCertifyTol * (1.0 + slope_size);
}

// With g = A'y, the largest value of g.x - y.r over the bounds and sides is
// the sum of each term's largest; if it is below zero (or, with y turned
// round, the smallest above zero), no point meets A x = r.
bool is_farkas_proof(const Problem& p, const std::vector<double>& y) {
  for (const double sign : {1.0, -1.0}) {
    double top = 0;
    double size = 0;
    bool unbounded = false;
    for (std::size_t j = 0; j < std::size_t(p.cols) && !unbounded; ++j) {
      double g = 0;
      double g_size = 0;
      for (auto k = p.start[j]; k < p.start[j + 1]; ++k) {
        const double term = sign * p.value[std::size_t(k)] *
                            y[std::size_t(p.index[std::size_t(k)])];
        g += term;
        g_size += std::fabs(term);
      }
      if (g == 0.0) continue;
      const double b = g > 0 ? p.col_upper[j] : p.col_lower[j];
      if (!std::isfinite(b)) {
        // A sum that is rounding noise counts as zero against no bound.
        if (std::fabs(g) <= 1e-12 * (1.0 + g_size)) continue;
        unbounded = true;
        break;
      }
      top += g * b;
      size += std::fabs(g * b);
    }
    for (std::size_t i = 0; i < std::size_t(p.rows) && !unbounded; ++i) {
      const double v = -sign * y[i];
      if (v == 0.0) continue;
      const double b = v > 0 ? p.row_upper[i] : p.row_lower[i];
      if (!std::isfinite(b)) {
        unbounded = true;
        break;
      }
      top += v * b;
      size += std::fabs(v * b);
    }
    if (!unbounded && top < -kCertifyTol * (1.0 + size)) return true;
  }
  return false;
}

}  // namespace simplex
