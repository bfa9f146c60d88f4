// Each row type, bound type, range sign rule and the objective constant:
// the model is converted by the mps2deck executable, the deck solved by the
// karvon executable, and the objective compared with a value worked out by
// hand and with GLPK's simplex method on the same MPS text.

#include <glpk.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>

#include "tests/peer/glpk_model.h"
#include "tests/peer/karvon_output.h"
#include "tests/support/run_process.h"
#include "tests/support/seed.h"
#include "tests/support/unit_files.h"

namespace {

using test_support::read_file;

// What a solver makes of a model: the optimal objective, or none (the model
// is infeasible or unbounded, and karvon prints no result).
using Optimum = std::optional<double>;

// The programs under test, from the command line.
std::string mps2deck_program;
std::string karvon_program;

// The model's optimum by GLPK's simplex. GLPK counts a right-hand side r on
// the objective row as the constant +r; the model means -r.
Optimum glpk_optimum(const std::filesystem::path& mps_path) {
  glp_term_out(GLP_OFF);
  const peer::GlpkProblem p(glp_create_prob());
  EXPECT_EQ(glp_read_mps(p.get(), GLP_MPS_FILE, nullptr, mps_path.c_str()), 0);
  if (peer::run_simplex(p.get()) != peer::Outcome::kOptimal) return {};
  return glp_get_obj_val(p.get()) - 2 * glp_get_obj_coef(p.get(), 0);
}

struct Conversion {
  int status = 0;
  std::string messages;  // mps2deck's standard error
  Optimum optimum;       // karvon's result on the deck
};

class Workspace {
 public:
  Workspace() : dir_("convert_solve") {
    if (mps2deck_program.empty() || karvon_program.empty()) {
      ADD_FAILURE() << "usage: mps2deck_solve_tests MPS2DECK KARVON";
    }
  }
  std::filesystem::path path(const std::string& name) const {
    return dir_.path() / name;
  }

  // mps2deck -o deck model.mps, then karvon < deck, in this folder.
  Conversion convert_and_solve(const std::string& mps) const {
    std::ofstream(path("model.mps")) << mps;
    Conversion c;
    c.status = test_support::run_program(
                   mps2deck_program, dir_.path(), "/dev/null", path("stdout"),
                   path("messages"),
                   {"-o", path("deck").string(), path("model.mps").string()})
                   .exit_status;
    c.messages = read_file(path("messages"));
    if (c.status != 0) return c;
    EXPECT_EQ(test_support::run_program(karvon_program, dir_.path(),
                                        path("deck"), path("out"), path("err"))
                  .exit_status,
              0)
        << read_file(path("err"));
    const peer::PrintedRun printed =
        peer::parse_karvon_output(read_file(path("out")));
    EXPECT_EQ(printed.error, "");
    if (printed.problems.size() == 1 && printed.problems[0].optimal) {
      c.optimum = printed.problems[0].objective;
    }
    return c;
  }

 private:
  test_support::ScratchDir dir_;
};

// Two optima agree to the precision of karvon's report (nine digits) and of
// its tolerance.
void expect_same(const Optimum& got, const Optimum& want,
                 const std::string& what) {
  ASSERT_EQ(got.has_value(), want.has_value())
      << what << ": " << (got ? std::to_string(*got) : "no result")
      << " against " << (want ? std::to_string(*want) : "no optimum");
  if (got) {
    EXPECT_NEAR(*got, *want, 1e-6 * std::max(1.0, std::abs(*want))) << what;
  }
}

// Converts and solves `mps`, and checks the result against `hand` and GLPK.
Conversion check(const std::string& mps, const Optimum& hand,
                 const std::string& what) {
  Workspace w;
  Conversion c = w.convert_and_solve(mps);
  EXPECT_EQ(c.status, 0) << what << ": " << c.messages;
  expect_same(c.optimum, hand, what + " (by hand)");
  expect_same(glpk_optimum(w.path("model.mps")), hand,
              what + " (GLPK on the model)");
  return c;
}

struct Case {
  const char* name;
  const char* mps;
  Optimum hand;
};

// Free MPS; the names say what each model tries.
const Case kRowAndBoundCases[] = {
    {"L rows", R"(NAME L
ROWS
 N COST
 L R1
 L R2
COLUMNS
 X COST -1 R1 1
 X R2 1
 Y COST -2 R1 1
 Y R2 3
RHS
 RHS R1 4 R2 6
ENDATA
)",
     -5.0},  // x = 3, y = 1
    {"G rows", R"(NAME G
ROWS
 N COST
 G R1
 G R2
COLUMNS
 X COST 2 R1 1
 X R2 1
 Y COST 3 R1 1
 Y R2 3
RHS
 RHS R1 4 R2 6
ENDATA
)",
     9.0},  // x = 3, y = 1
    {"E rows", R"(NAME E
ROWS
 N COST
 E R1
 E R2
COLUMNS
 X COST 1 R1 1
 X R2 1
 Y COST 2 R1 1
 Y R2 -1
 Z COST 3 R1 1
RHS
 RHS R1 6 R2 1
ENDATA
)",
     8.5},  // x = 3.5, y = 2.5, z = 0
    {"UP bound", R"(NAME UP
ROWS
 N COST
 L R1
COLUMNS
 X COST -1 R1 1
 Y R1 1
RHS
 RHS R1 10
BOUNDS
 UP BND X 3
ENDATA
)",
     -3.0},
    {"LO bound above zero: shift", R"(NAME LO
ROWS
 N COST
 L R1
COLUMNS
 X COST 1 R1 1
RHS
 RHS R1 10
BOUNDS
 LO BND X 2
ENDATA
)",
     2.0},
    {"LO bound below zero: shift", R"(NAME LONEG
ROWS
 N COST
 G R1
COLUMNS
 X COST 1 R1 1
 Y COST 1 R1 1
RHS
 RHS R1 -3
BOUNDS
 LO BND X -5
ENDATA
)",
     -3.0},
    {"LO and UP: shifted and bounded", R"(NAME DB
ROWS
 N COST
 L R1
COLUMNS
 X COST -1 R1 1
RHS
 RHS R1 10
BOUNDS
 LO BND X 1
 UP BND X 4
ENDATA
)",
     -4.0},
    {"FX: substituted", R"(NAME FX
ROWS
 N COST
 G R1
COLUMNS
 X COST 1 R1 1
 Y COST 1 R1 1
RHS
 RHS R1 6
BOUNDS
 FX BND X 4
ENDATA
)",
     6.0},
    {"UP 0: fixed at zero, substituted", R"(NAME UP0
ROWS
 N COST
 L R1
COLUMNS
 X COST -2 R1 1
 Y COST -1 R1 1
RHS
 RHS R1 5
BOUNDS
 UP BND X 0
ENDATA
)",
     -5.0},
    {"FR: split", R"(NAME FR
ROWS
 N COST
 G R1
COLUMNS
 X COST 1 R1 1
 Y COST 1 R1 1
RHS
 RHS R1 -7
BOUNDS
 FR BND X
ENDATA
)",
     -7.0},
    {"MI: split", R"(NAME MI
ROWS
 N COST
 G R1
COLUMNS
 X COST 1 R1 1
RHS
 RHS R1 -3
BOUNDS
 MI BND X
ENDATA
)",
     -3.0},
    {"MI and UP: negated", R"(NAME MIUP
ROWS
 N COST
 G R1
COLUMNS
 X COST -1 R1 1
RHS
 RHS R1 -100
BOUNDS
 MI BND X
 UP BND X 5
ENDATA
)",
     -5.0},
    {"MI and UP, lower side active", R"(NAME MIUP2
ROWS
 N COST
 G R1
COLUMNS
 X COST 1 R1 1
RHS
 RHS R1 -2
BOUNDS
 MI BND X
 UP BND X 5
ENDATA
)",
     -2.0},
    {"PL", R"(NAME PL
ROWS
 N COST
 G R1
COLUMNS
 X COST 1 R1 1
RHS
 RHS R1 -9
BOUNDS
 LO BND X 2
 PL BND X
ENDATA
)",
     2.0},
    {"BV: relaxed to [0, 1]", R"(NAME BV
ROWS
 N COST
 L R1
COLUMNS
 X COST -1 R1 1
 Y COST -1 R1 1
RHS
 RHS R1 10
BOUNDS
 BV BND X
 UP BND Y 3
ENDATA
)",
     -4.0},
    {"an empty row that holds is dropped", R"(NAME EMPTY
ROWS
 N COST
 L R1
 L EMPTY
 L R2
COLUMNS
 X COST -1 R1 1
 X R2 1
 Y COST -2 R1 1
 Y R2 3
RHS
 RHS R1 4 R2 6
 RHS EMPTY 3
ENDATA
)",
     -5.0},
    {"infeasible", R"(NAME INF
ROWS
 N COST
 L R1
 G R2
COLUMNS
 X COST 1 R1 1
 X R2 1
 Y R1 1 R2 1
RHS
 RHS R1 1 R2 2
ENDATA
)",
     std::nullopt},
    {"unbounded", R"(NAME UNB
ROWS
 N COST
 L R1
COLUMNS
 X COST -1 R1 1
 Y R1 -1
RHS
 RHS R1 1
ENDATA
)",
     std::nullopt},
};

TEST(ConvertAndSolve, RowTypesAndBoundTypes) {
  for (const Case& c : kRowAndBoundCases) check(c.mps, c.hand, c.name);
}

// A range R on a row with right side b allows, by the row's type:
//   L: [b - |R|, b]   G: [b, b + |R|]   E: [b, b + R] for R > 0, [b + R, b]
// for R < 0. Minimising x and -x over the one-variable row x finds both ends.
TEST(ConvertAndSolve, RangesFollowTheSignRule) {
  struct Range {
    char type;
    double range;
    double lower, upper;  // by the rule above, with b = 6
  };
  const Range ranges[] = {{'L', 4, 2, 6},   {'L', -4, 2, 6}, {'G', 4, 6, 10},
                          {'G', -4, 6, 10}, {'E', 4, 6, 10}, {'E', -4, 2, 6}};
  for (const Range& r : ranges) {
    for (const double cost : {1.0, -1.0}) {
      std::ostringstream mps;
      mps << "NAME RANGE\nROWS\n N COST\n " << r.type
          << " R1\nCOLUMNS\n X COST " << cost
          << " R1 1\n Y R1 0.5\nRHS\n RHS R1 6\nRANGES\n RNG R1 " << r.range
          << "\nBOUNDS\n FX BND Y 0\nENDATA\n";
      const double hand = cost > 0 ? r.lower : -r.upper;
      check(mps.str(), hand,
            std::string(1, r.type) + " row, range " + std::to_string(r.range) +
                ", cost " + std::to_string(cost));
    }
  }
}

// A right-hand side r on the objective row is the constant -r; the shift of
// a column with a lower bound adds its cost times the bound.
TEST(ConvertAndSolve, ObjectiveConstant) {
  const auto model = [](double r, double lower) {
    std::ostringstream mps;
    mps << "NAME CONST\nROWS\n N COST\n G R1\nCOLUMNS\n X COST 3 R1 1\nRHS\n "
           "RHS COST "
        << r << " R1 1\nBOUNDS\n LO BND X " << lower << "\nENDATA\n";
    return mps.str();
  };
  check(model(5, 0), 3 * 1 - 5.0, "r = 5");
  check(model(-2.5, 0), 3 * 1 + 2.5, "r = -2.5");
  check(model(1, 2), 3 * 2 - 1.0, "r = 1, x >= 2");
  check(model(0, -4), 3 * 1.0, "x >= -4, row x >= 1 active");
}

TEST(ConvertAndSolve, IntegerMarkersAreRelaxedWithAWarning) {
  const Conversion c = check(R"(NAME INT
ROWS
 N COST
 L R1
COLUMNS
 M1 'MARKER' 'INTORG'
 X COST -1 R1 2
 Y COST -1 R1 2
 M2 'MARKER' 'INTEND'
RHS
 RHS R1 3
ENDATA
)",
                             -1.5, "MARKER");
  EXPECT_NE(c.messages.find("warning: 2 integer column(s) read as continuous"),
            std::string::npos)
      << c.messages;
}

// Random small models mixing every row type, range and bound type, built
// around a point that satisfies them all, so every one is feasible (some are
// unbounded); karvon must agree with GLPK on each.
class RandomModel {
 public:
  explicit RandomModel(unsigned seed) : rng_(seed) {}

  std::string next() {
    const int rows = between(2, 7);
    const int cols = between(2, 6);
    std::vector<int> point;
    std::ostringstream bounds;
    for (int j = 0; j < cols; ++j) point.push_back(column_bounds(j, bounds));
    std::ostringstream row_section, rhs, ranges, columns;
    std::vector<std::vector<int>> a;
    for (int i = 0; i < rows; ++i) {
      std::vector<int> row;
      int at = 0;  // the row's value at the point
      for (int j = 0; j < cols; ++j) {
        row.push_back(between(0, 2) == 0 ? 0 : between(-4, 4));
        at += row.back() * point[static_cast<std::size_t>(j)];
      }
      a.push_back(row);
      const char type = "LGE"[between(0, 2)];
      const int slack = type == 'E' ? 0 : between(0, 3);
      row_section << " " << type << " R" << i << "\n";
      rhs << " RHS R" << i << " " << (type == 'L' ? at + slack : at - slack)
          << "\n";
      if (between(0, 2) == 0) {
        // |R| at least the slack keeps the point inside; E rows take either
        // sign as it is.
        const int width = slack + between(1, 3);
        ranges << " RNG R" << i << " " << (between(0, 1) == 0 ? width : -width)
               << "\n";
      }
    }
    for (int j = 0; j < cols; ++j) {
      columns << " C" << j << " COST " << between(-5, 5) << "\n";
      for (int i = 0; i < rows; ++i) {
        const int v =
            a[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
        if (v != 0) columns << " C" << j << " R" << i << " " << v << "\n";
      }
    }
    return "NAME RANDOM\nROWS\n N COST\n" + row_section.str() + "COLUMNS\n" +
           columns.str() + "RHS\n" + rhs.str() + "RANGES\n" + ranges.str() +
           "BOUNDS\n" + bounds.str() + "ENDATA\n";
  }

 private:
  int between(int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng_);
  }

  // Writes column j's bounds and returns a value of the column within them.
  int column_bounds(int j, std::ostringstream& out) {
    const std::string name = " BND C" + std::to_string(j) + " ";
    const int p = between(-3, 5);
    switch (between(0, 6)) {
      case 0:  // [0, inf)
        return std::max(p, 0);
      case 1:  // [0, u], u = 0 now and then
        out << " UP" << name << std::max(p, 0) + between(0, 2) << "\n";
        return std::max(p, 0);
      case 2:
        out << " LO" << name << p - between(0, 3) << "\n";
        return p;
      case 3:
        out << " LO" << name << p - between(0, 3) << "\n UP" << name
            << p + between(1, 4) << "\n";
        return p;
      case 4:
        out << " FX" << name << p << "\n";
        return p;
      case 5:
        out << " FR" << name << "\n";
        return p;
      default:
        out << " MI" << name << "\n UP" << name << p + between(0, 3) << "\n";
        return p;
    }
  }

  std::mt19937 rng_;
};

TEST(ConvertAndSolve, RandomModelsAgreeWithGlpk) {
  const test_support::Seed seed(7);
  RandomModel models(static_cast<unsigned>(seed));
  for (int k = 0; k < 25; ++k) {
    const std::string mps = models.next();
    Workspace w;
    const Conversion c = w.convert_and_solve(mps);
    ASSERT_EQ(c.status, 0) << c.messages << mps;
    expect_same(c.optimum, glpk_optimum(w.path("model.mps")),
                "random model\n" + mps);
  }
}

}  // namespace

// Usage: mps2deck_solve_tests [gtest options] MPS2DECK KARVON
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc == 3) {
    mps2deck_program = argv[1];
    karvon_program = argv[2];
  }
  return RUN_ALL_TESTS();
}
