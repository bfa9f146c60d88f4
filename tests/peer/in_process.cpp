#include "tests/peer/in_process.h"

#include <cstddef>
#include <vector>

#include "deck/load.h"
#include "driver/karvon.h"
#include "model/deck.h"

namespace peer {

void load_problem(deck::Storage& s, const Problem& p) {
  model::Deck d;
  d.M = p.rows + 1;
  d.N = p.vars + 1;
  for (std::int32_t i = 0; i < p.rows; ++i) {
    std::vector<double>& row = d.rows.emplace_back();
    for (std::int32_t j = 0; j < p.vars; ++j) row.push_back(p.coef(i, j));
    row.push_back(p.rhs[std::size_t(i)]);
  }
  d.rows.push_back(p.cost);
  d.rows.back().push_back(p.cost_rhs);
  d.bounds = p.bound_field;
  d.row_kinds = p.kind;
  d.columns.resize(std::size_t(p.vars));
  deck::load(d, p.iunit > 0 ? -1 : p.iunit, 0, s);
}

void call_linear(deck::Storage& s) { driver::solve(s); }

SolverRun solve_in_process(deck::Storage& s, const Problem& p) {
  load_problem(s, p);
  call_linear(s);
  SolverRun run;
  run.status = s.STATUS;
  run.iter = s.ITER;
  run.objective = -s.a()(s.M, s.N);
  run.x.assign(s.X.begin(), s.X.begin() + s.NV);
  return run;
}

}  // namespace peer
