#pragma once
// The generated problems for GLPK, built from the same data as the deck:
//   minimise   cost.x - cost_rhs
//   subject to a_i.x = rhs_i              (row kind 0)
//              rhs_i - u <= a_i.x <= rhs_i (kind +1: slack s = rhs - a.x,
//                                          0 <= s <= u, u absent: no floor)
//              rhs_i <= a_i.x <= rhs_i + u (kind -1: surplus s = a.x - rhs)
//              0 <= x_j <= u_j             (u_j absent: no ceiling)
// The objective row states -z = cost_rhs - cost.x, which makes the value
// karvon prints, -A(M,N) at the optimum, equal to cost.x - cost_rhs.

#include <glpk.h>

#include <memory>

#include "tests/peer/random_lp.h"

namespace peer {

enum class Outcome { kOptimal, kInfeasible, kUnbounded, kUndecided };

const char* outcome_name(Outcome outcome);

struct GlpkDelete {
  void operator()(glp_prob* lp) const { glp_delete_prob(lp); }
};
using GlpkProblem = std::unique_ptr<glp_prob, GlpkDelete>;

GlpkProblem glpk_model(const Problem& p);

struct PeerAnswer {
  Outcome outcome = Outcome::kUndecided;
  double objective = 0.0;
};

// glp_simplex from the standard basis, then, when `exact`, glp_exact from
// the basis it found: rational arithmetic settles the status and the optimum
// beyond any tolerance (the data are dyadic, so GLPK sees them exactly).
PeerAnswer solve_with_glpk(const Problem& p, bool exact);

// glp_simplex with default parameters and no terminal output, from the
// basis `lp` holds (glp_std_basis first for a cold start, as the benchmark
// does before each timed call). Returns the status.
Outcome run_simplex(glp_prob* lp);

}  // namespace peer
