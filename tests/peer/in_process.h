#pragma once
// A generated problem solved by LINEAR inside this process, on the driver's
// own storage and after the driver's own preparation: what karvon computes
// for it, with the full STATUS and ITER, which its printed report does not
// show, and every value at full precision.

#include <cstdint>
#include <vector>

#include "deck/storage.h"
#include "tests/peer/random_lp.h"

namespace peer {

// Puts the problem into `s` as its records would (deck::load, IOUT 0). A
// positive IUNIT becomes -1: the saved tableau is then kept in memory rather
// than in "LP.TMP", which holds the very same bits, and no unit is needed.
void load_problem(deck::Storage& s, const Problem& p);

// LINEAR on storage prepared by load_problem.
void call_linear(deck::Storage& s);

struct SolverRun {
  std::int32_t status = 0;
  std::int32_t iter = 0;
  double objective = 0.0;  // -A(M,N) as returned
  std::vector<double> x;   // X(1..NV)
};

SolverRun solve_in_process(deck::Storage& s, const Problem& p);

}  // namespace peer
