#include "tests/peer/in_process.h"

#include <algorithm>

#include "common/lp.h"
#include "driver/karvon.h"
#include "driver/problem_input.h"

namespace peer {

void load_problem(driver::Storage& s, const Problem& p) {
  s.IUNIT = p.iunit > 0 ? -1 : p.iunit;
  s.IOUT = 0;
  s.M = p.rows + 1;
  s.N = p.vars + 1;
  s.NBOUND = std::int32_t(p.bound_field.size());
  const lp::MatrixRef A = s.a();
  for (std::int32_t i = 1; i <= p.rows; ++i) {
    for (std::int32_t j = 1; j <= p.vars; ++j) A(i, j) = p.coef(i - 1, j - 1);
    A(i, s.N) = p.rhs[std::size_t(i - 1)];
    s.row()(i) = p.kind[std::size_t(i - 1)];
  }
  for (std::int32_t j = 1; j <= p.vars; ++j) {
    A(s.M, j) = p.cost[std::size_t(j - 1)];
    s.col()(j) = 0;
  }
  A(s.M, s.N) = p.cost_rhs;
  std::copy(p.bound_field.begin(), p.bound_field.end(), s.BOUND.begin());
  driver::prepare(s);
}

void call_linear(driver::Storage& s) { driver::solve(s); }

SolverRun solve_in_process(driver::Storage& s, const Problem& p) {
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
