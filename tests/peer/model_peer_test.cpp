// The standard-form entry against GLPK on one model with every row type
// (<=, >=, =, range, free, empty, and one left empty by a fixed column) and
// every bound type (default, double, upper only, free, fixed, negative
// lower): objective, values, row duals and reduced costs, minimised and
// maximised. The optimum is unique and not degenerate, so the duals are too.

#include <glpk.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

#include "karvon/karvon.h"
#include "tests/support/near.h"

namespace {

using test_support::expect_near;

constexpr double kInf = karvon::kInfinity;

karvon::Model every_row_and_bound_type() {
  karvon::Model m;
  m.col_names = {"default", "double", "upper", "free", "fixed", "neglower"};
  m.cost = {1, -2, -1, 1, 3, 2};
  m.offset = 0.5;
  m.col_lower = {0, 1, -kInf, -kInf, 2, -2};
  m.col_upper = {kInf, 4, 3, kInf, 2, kInf};
  m.row_names = {"le", "ge", "eq", "range", "free", "empty", "fixedonly"};
  m.row_lower = {-kInf, -1, 1, 2, -kInf, -1, -kInf};
  m.row_upper = {10, kInf, 1, 8, kInf, 1, 5};
  m.matrix = {
      1, 1, 1,  1, 0,  0,  // le
      1, 0, -1, 0, 0,  1,  // ge
      0, 1, 0,  1, -1, 0,  // eq
      0, 0, 1,  1, 0,  1,  // range
      1, 1, 0,  0, 0,  0,  // free
      0, 0, 0,  0, 0,  0,  // empty
      0, 0, 0,  0, 1,  0,  // fixedonly
  };
  return m;
}

struct GlpkAnswer {
  double objective = 0;
  std::vector<double> x, row_duals, reduced_costs;
};

GlpkAnswer solve_with_glpk(const karvon::Model& m) {
  const std::size_t rows = m.row_lower.size();
  const std::size_t n = m.cost.size();
  glp_prob* lp = glp_create_prob();
  glp_set_obj_dir(lp, m.sense == karvon::Sense::kMinimize ? GLP_MIN : GLP_MAX);
  glp_set_obj_coef(lp, 0, m.offset);
  const auto type = [](double lo, double hi) {
    if (lo == -kInf && hi == kInf) return GLP_FR;
    if (hi == kInf) return GLP_LO;
    if (lo == -kInf) return GLP_UP;
    return lo == hi ? GLP_FX : GLP_DB;
  };
  glp_add_rows(lp, static_cast<int>(rows));
  glp_add_cols(lp, static_cast<int>(n));
  for (std::size_t i = 0; i < rows; ++i) {
    const double lo = m.row_lower[i], hi = m.row_upper[i];
    glp_set_row_bnds(lp, static_cast<int>(i + 1), type(lo, hi), lo, hi);
  }
  for (std::size_t j = 0; j < n; ++j) {
    const int c = static_cast<int>(j + 1);
    const double lo = m.col_lower[j], hi = m.col_upper[j];
    glp_set_col_bnds(lp, c, type(lo, hi), lo, hi);
    glp_set_obj_coef(lp, c, m.cost[j]);
    std::vector<int> index{0};
    std::vector<double> value{0};
    for (std::size_t i = 0; i < rows; ++i) {
      if (m.matrix[i * n + j] == 0) continue;
      index.push_back(static_cast<int>(i + 1));
      value.push_back(m.matrix[i * n + j]);
    }
    glp_set_mat_col(lp, c, static_cast<int>(index.size() - 1), index.data(),
                    value.data());
  }
  glp_smcp parm;
  glp_init_smcp(&parm);
  parm.msg_lev = GLP_MSG_OFF;
  EXPECT_EQ(glp_simplex(lp, &parm), 0);
  EXPECT_EQ(glp_get_status(lp), GLP_OPT);
  GlpkAnswer a;
  a.objective = glp_get_obj_val(lp);
  for (std::size_t j = 0; j < n; ++j) {
    a.x.push_back(glp_get_col_prim(lp, static_cast<int>(j + 1)));
    a.reduced_costs.push_back(glp_get_col_dual(lp, static_cast<int>(j + 1)));
  }
  for (std::size_t i = 0; i < rows; ++i)
    a.row_duals.push_back(glp_get_row_dual(lp, static_cast<int>(i + 1)));
  glp_delete_prob(lp);
  return a;
}

TEST(ModelAgainstGlpk, EveryRowAndBoundType) {
  for (const karvon::Sense sense :
       {karvon::Sense::kMinimize, karvon::Sense::kMaximize}) {
    karvon::Model m = every_row_and_bound_type();
    if (sense == karvon::Sense::kMaximize) {
      m.sense = sense;
      for (double& c : m.cost) c = -c;
      m.offset = -m.offset;
    }
    const karvon::ModelResult r = karvon::solve(m);
    ASSERT_EQ(r.status, karvon::ModelStatus::kOptimal) << r.message;
    const GlpkAnswer g = solve_with_glpk(m);
    EXPECT_NEAR(r.objective, g.objective, 1e-9);
    expect_near(r.x, g.x, "x");
    expect_near(r.row_duals, g.row_duals, "row duals");
    expect_near(r.reduced_costs, g.reduced_costs, "reduced costs");
    // Every kind of row and bound is active somewhere, so the duals say
    // something: none of these is zero.
    EXPECT_NE(r.row_duals[1], 0.0);      // >= row at its side
    EXPECT_NE(r.row_duals[3], 0.0);      // range at its lower side
    EXPECT_NE(r.reduced_costs[1], 0.0);  // double bound at its upper
    EXPECT_NE(r.reduced_costs[2], 0.0);  // upper-only at its bound
  }
}

}  // namespace
