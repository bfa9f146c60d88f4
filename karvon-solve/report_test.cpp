#include "karvon-solve/report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "karvon-solve/solve_model.h"

namespace tools {
namespace {

using karvon::BasisStatus;

// x1 + x2 <= 4, x1 - x2 = 0, 0 <= x1 <= 3, x2 free: small enough to read
// every line of the report.
model::Model two_by_two() {
  model::Model m;
  m.name = "TINY";
  m.rows = {{"CAP", -model::kInfinity, 4}, {"BAL", 0, 0}};
  m.columns = {{"X1", 0, 3, -1, false, {{0, 1}, {1, 1}}},
               {"X2",
                -model::kInfinity,
                model::kInfinity,
                -1,
                false,
                {{0, 1}, {1, -1}}}};
  return m;
}

// The library's answer, as the solver would give it, with rounding noise
// where the answer is zero.
karvon::ModelResult answer(std::vector<BasisStatus> cols,
                           std::vector<BasisStatus> rows) {
  karvon::ModelResult r;
  r.status = karvon::ModelStatus::kOptimal;
  r.iterations = 2;
  r.objective = -4;
  r.x = {2, 2.0000000000000004};
  r.row_activity = {4, -3.552713678800501e-15};
  r.row_duals = {-1, -5.551115123125783e-17};
  r.reduced_costs = {0, 0};
  r.col_status = std::move(cols);
  r.row_status = std::move(rows);
  return r;
}

// Each case: the basis the solver gave, lines the report must hold, and
// the basis section of the solution file.
struct Case {
  const char* what;
  std::vector<BasisStatus> cols, rows;
  std::vector<std::string> report_lines;
  std::string basis_section;
};

TEST(Report, BasisStatusAndRoundingNoise) {
  // Without a basis the tables have no status column.
  const std::vector<std::string> plain = {
      "   No. Row name             Activity      Lower bound      Upper "
      "bound         Marginal",
      "------ ------------ ---------------- ---------------- "
      "---------------- ----------------",
      "     1 CAP                         4                                 "
      "4               -1",
      "     2 BAL                         0                0                "
      "=                0",
      "     2 X2                          2                                  "
      "                0"};
  const std::vector<Case> cases = {
      {"no basis: the tables as without a status column",
       {},
       {},
       plain,
       "# Basis\nHiGHS v1\nNone\n"},
      {"a basis without its rows: none",
       {BasisStatus::kBasic, BasisStatus::kFree},
       {},
       plain,
       "# Basis\nHiGHS v1\nNone\n"},
      {"a basis: St after the name, HiGHS's numbers in the file",
       {BasisStatus::kBasic, BasisStatus::kFree},
       {BasisStatus::kUpper, BasisStatus::kFixed},
       {"   No. Row name     St         Activity      Lower bound      Upper "
        "bound         Marginal",
        "------ ------------ -- ---------------- ---------------- "
        "---------------- ----------------",
        "     1 CAP          NU                4                              "
        "   4               -1",
        "     2 BAL          NS                0                0             "
        "   =                0",
        "     1 X1           B                 2                0             "
        "   3                0",
        "     2 X2           NF                2                              "
        "                    0"},
       "# Basis\nHiGHS v1\nValid\n# Columns 2\n1 3 \n# Rows 2\n2 0 \n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const model::Model m = two_by_two();
    const ModelSolution s = model_solution(m, answer(c.cols, c.rows));
    const std::string report = report_text(m, s);
    for (const std::string& line : c.report_lines) {
      EXPECT_NE(report.find("\n" + line + "\n"), std::string::npos)
          << "missing line\n"
          << line << "\nin\n"
          << report;
    }
    EXPECT_EQ(report.find("e-1"), std::string::npos) << report;
    const std::string file = solution_file_text(m, s);
    EXPECT_EQ(file.substr(file.find("# Basis")), c.basis_section);
    // The solution file keeps every value exactly.
    EXPECT_NE(file.find("\nBAL -3.552713678800501e-15\n"), std::string::npos)
        << file;
    EXPECT_NE(file.find("\nX2 2.0000000000000004\n"), std::string::npos);
  }
}

}  // namespace
}  // namespace tools
