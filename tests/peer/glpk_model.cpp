#include "tests/peer/glpk_model.h"

#include <vector>

namespace peer {
namespace {

Outcome outcome_of(int glpk_status) {
  switch (glpk_status) {
    case GLP_OPT:
      return Outcome::kOptimal;
    case GLP_NOFEAS:
      return Outcome::kInfeasible;
    case GLP_UNBND:
      return Outcome::kUnbounded;
    default:
      return Outcome::kUndecided;
  }
}

glp_smcp quiet_parameters() {
  glp_smcp parm;
  glp_init_smcp(&parm);
  parm.msg_lev = GLP_MSG_OFF;
  return parm;
}

// A row's bounds on a.x, from its kind and its slack's bound.
void set_row_bounds(glp_prob* lp, int row, std::int32_t kind, double rhs,
                    const std::optional<double>& u) {
  if (kind == 0) {
    glp_set_row_bnds(lp, row, GLP_FX, rhs, rhs);
  } else if (kind > 0) {
    if (u) {
      glp_set_row_bnds(lp, row, GLP_DB, rhs - *u, rhs);
    } else {
      glp_set_row_bnds(lp, row, GLP_UP, 0.0, rhs);
    }
  } else if (u) {
    glp_set_row_bnds(lp, row, GLP_DB, rhs, rhs + *u);
  } else {
    glp_set_row_bnds(lp, row, GLP_LO, rhs, 0.0);
  }
}

}  // namespace

const char* outcome_name(Outcome outcome) {
  switch (outcome) {
    case Outcome::kOptimal:
      return "optimal";
    case Outcome::kInfeasible:
      return "infeasible";
    case Outcome::kUnbounded:
      return "unbounded";
    case Outcome::kUndecided:
      break;
  }
  return "undecided";
}

GlpkProblem glpk_model(const Problem& p) {
  GlpkProblem lp(glp_create_prob());
  glp_set_obj_dir(lp.get(), GLP_MIN);
  glp_set_obj_coef(lp.get(), 0, -p.cost_rhs);
  if (p.vars > 0) glp_add_cols(lp.get(), p.vars);
  for (std::int32_t j = 1; j <= p.vars; ++j) {
    const std::optional<double> u = p.upper_bound(j);
    if (u) {
      glp_set_col_bnds(lp.get(), j, GLP_DB, 0.0, *u);
    } else {
      glp_set_col_bnds(lp.get(), j, GLP_LO, 0.0, 0.0);
    }
    glp_set_obj_coef(lp.get(), j, p.cost[std::size_t(j - 1)]);
  }
  if (p.rows > 0) glp_add_rows(lp.get(), p.rows);
  // GLPK's arrays start at index 1; entry 0 is unused.
  std::vector<int> index(std::size_t(p.vars) + 1);
  std::vector<double> value(std::size_t(p.vars) + 1);
  for (std::int32_t i = 0; i < p.rows; ++i) {
    int count = 0;
    for (std::int32_t j = 0; j < p.vars; ++j) {
      if (p.coef(i, j) == 0.0) continue;
      ++count;
      index[std::size_t(count)] = j + 1;
      value[std::size_t(count)] = p.coef(i, j);
    }
    glp_set_mat_row(lp.get(), i + 1, count, index.data(), value.data());
    const std::int32_t slack = p.slack_number(i);
    set_row_bounds(lp.get(), i + 1, p.kind[std::size_t(i)],
                   p.rhs[std::size_t(i)],
                   slack > 0 ? p.upper_bound(slack) : std::nullopt);
  }
  return lp;
}

PeerAnswer solve_with_glpk(const Problem& p, bool exact) {
  const GlpkProblem lp = glpk_model(p);
  const glp_smcp parm = quiet_parameters();
  // glp_exact starts from the basis glp_simplex leaves, or from the
  // standard one when glp_simplex gave up without a usable basis.
  if (glp_simplex(lp.get(), &parm) != 0) glp_std_basis(lp.get());
  if (exact) glp_exact(lp.get(), &parm);
  PeerAnswer answer;
  answer.outcome = outcome_of(glp_get_status(lp.get()));
  answer.objective = glp_get_obj_val(lp.get());
  return answer;
}

Outcome run_simplex(glp_prob* lp) {
  static const glp_smcp parm = quiet_parameters();
  glp_simplex(lp, &parm);
  return outcome_of(glp_get_status(lp));
}

}  // namespace peer
