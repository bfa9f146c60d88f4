#pragma once
// Checks of an answer against the problem as given: nothing here trusts the
// solver's tableau. Every figure is a violation divided by 1 + the size of
// the terms it comes from, so that it means the same on any scale of data.

#include <vector>

#include "simplex/problem.h"

namespace simplex {

// An answer passes a check when its figure is at most this.
inline constexpr double kCertifyTol = 1e-7;

struct Measures {
  double primal = 0;  // largest violation of a bound or of a row's sides
  double dual = 0;    // largest reduced cost or row dual of the wrong sign
  double gap = 0;     // complementarity: |c.x - dual objective| relative
};

// A.x, by rows.
std::vector<double> activities(const Problem& p, const std::vector<double>& x);

// The primal violation of x (n values) with its activities.
double primal_violation(const Problem& p, const std::vector<double>& x,
                        const std::vector<double>& activity);

// Row duals y (m) and the reduced costs c - A'y they imply (n): the dual
// violation of each against where x and A x stand (a value at its lower
// bound allows a nonnegative reduced cost, at its upper bound a
// nonpositive one, strictly between only zero), and the complementarity
// gap. `reduced` receives c - A'y.
Measures optimality(const Problem& p, const std::vector<double>& x,
                    const std::vector<double>& activity,
                    const std::vector<double>& y, std::vector<double>& reduced);

// A direction d (n values) is a ray of improvement: A d and d keep to the
// sides and bounds that are finite (a finite lower bound allows no fall, a
// finite upper bound no rise), and c.d < 0, each against the tolerance.
bool is_improving_ray(const Problem& p, const std::vector<double>& d);

// Row multipliers y prove infeasibility: over every x within its bounds
// and r within the rows' sides, y.(A x) - y.r keeps one strict sign, while
// any feasible point would make it zero.
bool is_farkas_proof(const Problem& p, const std::vector<double>& y);

}  // namespace simplex
