#include "diag/chkout.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "common/lp.h"
#include "recio/units.h"
#include "tests/support/unit_files.h"

namespace diag {
namespace {

constexpr std::int32_t kLda = 6;
constexpr std::int32_t kNcol = 20;

// A small tableau with its labels and bounds, printed on unit 7, whose
// FORT7 variable names a file in a private directory.
class Chkout : public test_support::UnitFilesTest {
 protected:
  Chkout() { connect(7, "print.txt"); }

  // Rows 1, 2, ... of the tableau, LI(1..), LJ(1..) and DJ(1..).
  void set(const std::vector<std::vector<double>>& rows,
           const std::vector<std::int32_t>& li,
           const std::vector<std::int32_t>& lj, const std::vector<double>& dj) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
      for (std::size_t j = 0; j < rows[i].size(); ++j) {
        A(std::int32_t(i + 1), std::int32_t(j + 1)) = rows[i][j];
      }
    }
    for (std::size_t i = 0; i < li.size(); ++i) li_[i] = li[i];
    for (std::size_t j = 0; j < lj.size(); ++j) lj_[j] = lj[j];
    for (std::size_t j = 0; j < dj.size(); ++j) dj_[j] = dj[j];
  }

  void print(std::int32_t M, std::int32_t N, std::int32_t iout = 7) {
    CHKOUT(A, LI, LJ, DJ, LI, LJ, M, N, 9, kLda, kNcol, iout, 0, 1, 1);
  }

  std::string printed() { return written("print.txt"); }

  // Records joined as they are written to a file: each ends with CR LF.
  static std::string records(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) out += line + "\r\n";
    return out;
  }

  std::array<double, kLda * kNcol> a_{};
  std::array<std::int32_t, 8> li_{};
  std::array<std::int32_t, 20> lj_{};
  std::array<double, 20> dj_{};
  lp::MatrixRef A{a_, kLda, kNcol};
  lp::VectorRef<std::int32_t> LI{li_};
  lp::VectorRef<std::int32_t> LJ{lj_};
  lp::VectorRef<double> DJ{dj_};
};

TEST_F(Chkout, PrintsNothingOnUnitZeroOrBelow) {
  set({{1, 2, 4}}, {}, {}, {});
  for (const std::int32_t iout : {0, -1}) {
    print(2, 3, iout);
    // Not even a connection: unit 0 would otherwise be standard error.
    EXPECT_EQ(recio::find_unit(iout), nullptr) << iout;
  }
  EXPECT_EQ(recio::find_unit(7), nullptr);
}

// A whole print: the tableau's rows, the labels LI and LJ, the values DJ,
// M and N, and the records expected.
struct Shape {
  const char* name;
  std::vector<std::vector<double>> rows;
  std::vector<std::int32_t> li, lj;
  std::vector<double> dj;
  std::int32_t M, N;
  std::vector<std::string> expected;
};

const Shape kShapes[] = {
    {"BoxedTableau",
     {{1, 2, 4}, {3, -1, 6}, {-1, -1, 0}, {0, 0, 0}},
     {3, 4},
     {1, 2},
     {1.0e30, 1.0e30},
     3,
     3,
     {
         "  +-------------------+-----------+-----",
         "  |   1.00     2.00   |    4.00   |   3",
         "  |   3.00    -1.00   |    6.00   |   4",
         "  +-------------------+-----------+-  ^ ",
         "  |  -1.00    -1.00   |    0.00   |  LI",
         "  |   0.00     0.00   |    0.00   *  M ",
         "  +-------------------+-----------+-----",
         "  |     1        2    <--   LJ    |",
         "   1.00E+30 1.00E+30   <--   DJ",
         "",
     }},
    // N = 1: no variable columns, but the first write of every value line
    // still prints A(I,1), and the label line still prints LJ(1).
    {"OneColumnPrintsTheRightHandSideTwice",
     {{5}, {-2}, {0.5}},
     {2},
     {1},
     {},
     2,
     1,
     {
         "  +-+-----------+-----",
         "  |   5.00   |    5.00   |   2",
         "  +-+-----------+-  ^ ",
         "  |  -2.00   |   -2.00   |  LI",
         "  |   0.50   |    0.50   *  M ",
         "  +-+-----------+-----",
         "  |     1    <--   LJ    |",
         "     <--   DJ",
         "",
     }},
    {"TwoColumnsHaveNoMiddleValues",
     {{1.5, 3}, {-0.25, 7}, {0, 0}},
     {3},
     {1},
     {4.0},
     2,
     2,
     {
         "  +----------+-----------+-----",
         "  |   1.50   |    3.00   |   3",
         "  +----------+-----------+-  ^ ",
         "  |  -0.25   |    7.00   |  LI",
         "  |   0.00   |    0.00   *  M ",
         "  +----------+-----------+-----",
         "  |     1    <--   LJ    |",
         "   4.00E+00   <--   DJ",
         "",
     }},
    {"NoConstraintRowsPutsTheMiddleSeparatorRightBelowTheTop",
     {{-1, 2}, {0, 0}},
     {},
     {1},
     {3.0},
     1,
     2,
     {
         "  +----------+-----------+-----",
         "  +----------+-----------+-  ^ ",
         "  |  -1.00   |    2.00   |  LI",
         "  |   0.00   |    0.00   *  M ",
         "  +----------+-----------+-----",
         "  |     1    <--   LJ    |",
         "   3.00E+00   <--   DJ",
         "",
     }},
};

// Named in test listings by its name alone.
void PrintTo(const Shape& shape, std::ostream* os) { *os << shape.name; }

class ChkoutShape : public Chkout, public testing::WithParamInterface<Shape> {};

TEST_P(ChkoutShape, PrintsEveryRecord) {
  const Shape& s = GetParam();
  set(s.rows, s.li, s.lj, s.dj);
  print(s.M, s.N);
  EXPECT_EQ(printed(), records(s.expected));
}

INSTANTIATE_TEST_SUITE_P(Shapes, ChkoutShape, testing::ValuesIn(kShapes),
                         [](const testing::TestParamInfo<Shape>& shape) {
                           return std::string(shape.param.name);
                         });

TEST_F(Chkout, NegativeLabelsKeepTheirSignInsideTheirFields) {
  set({{1, 1, 1}, {1, 1, 1}}, {-123}, {-99999, -12345678}, {-3.0, 0.0});
  print(2, 3);
  const std::string text = printed();
  EXPECT_NE(text.find("    1.00   |-123\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("  |-99999-12345678    <--   LJ    |\r\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("  -3.00E+00 0.00E+00   <--   DJ\r\n"), std::string::npos)
      << text;
}

TEST_F(Chkout, NineColumnsSplitTheSeparatorsButNotTheValueLines) {
  // N = 9: eight dashes fill the first separator record; the tail goes on
  // a record of its own that starts again with "  +".
  for (std::int32_t i = 1; i <= 3; ++i) {
    for (std::int32_t j = 1; j <= 9; ++j) A(i, j) = j;
  }
  LI(1) = 10;
  for (std::int32_t j = 1; j <= 8; ++j) {
    LJ(j) = j;
    DJ(j) = 1.0;
  }
  print(2, 9);
  const std::string dashes(72, '-');
  const std::string values =
      "  |   1.00     2.00     3.00     4.00     5.00     6.00     7.00"
      "     8.00   |    9.00   |";
  EXPECT_EQ(printed(),
            records({
                "  +" + dashes,
                "  +-+-----------+-----",
                values + "  10",
                "  +" + dashes,
                "  +-+-----------+-  ^ ",
                values + "  LI",
                "  |   1.00     2.00     3.00     4.00     5.00     6.00     "
                "7.00     8.00   |    9.00   *  M ",
                "  +" + dashes,
                "  +-+-----------+-----",
                "  |     1        2        3        4        5        6       "
                " 7        8    <--   LJ    |",
                "   1.00E+00 1.00E+00 1.00E+00 1.00E+00 1.00E+00 1.00E+00 "
                "1.00E+00 1.00E+00   <--   DJ",
                "",
            }));
}

TEST_F(Chkout, SixteenColumnsFillTwoSeparatorRecordsExactly) {
  // N = 17: sixteen dashes and the tail make 17 items, 8 + 8 + 1.
  LJ(1) = 1;
  print(1, 17);
  const std::string text = printed();
  const std::string dashes(72, '-');
  const std::string top =
      records({"  +" + dashes, "  +" + dashes, "  +-+-----------+-----"});
  EXPECT_EQ(text.substr(0, top.size()), top);
}

TEST_F(Chkout, ValuesTooWideForTheirFieldsPrintAsAsterisks) {
  set({{10000.0, -1000.0, 123456.0}, {0, 0, 0}}, {1}, {1, 2}, {});
  print(2, 3);
  EXPECT_NE(printed().find("  |******* -1000.00   |********   |   1\r\n"),
            std::string::npos);
}

}  // namespace
}  // namespace diag
