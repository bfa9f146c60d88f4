#include "model/deck_builder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/lp.h"

namespace model {
namespace {

ModelColumn column(std::string name,
                   std::vector<std::pair<std::int32_t, double>> entries,
                   double cost = 0, double lower = 0,
                   double upper = kInfinity) {
  return {std::move(name), lower, upper, cost, false, std::move(entries)};
}

ModelRow row_le(std::string name, double b) {
  return {std::move(name), -kInfinity, b};
}
ModelRow row_ge(std::string name, double b) {
  return {std::move(name), b, kInfinity};
}
ModelRow row_eq(std::string name, double b) { return {std::move(name), b, b}; }

Deck build_ok(const Model& m) {
  BuildResult r = build_deck(m);
  EXPECT_TRUE(r.ok) << r.error;
  return r.deck;
}

TEST(BuildDeck, RowTypesBecomeRowKinds) {
  Model m;
  m.rows = {row_le("L", 4), row_ge("G", 1), row_eq("E", 2)};
  m.columns = {column("X", {{0, 1.0}, {1, 2.0}, {2, 3.0}}, 5.0)};
  const Deck d = build_ok(m);
  EXPECT_EQ(d.M, 4);
  EXPECT_EQ(d.N, 2);
  EXPECT_EQ(d.row_kinds, (std::vector<std::int32_t>{1, -1, 0}));
  EXPECT_EQ(d.rows[0], (std::vector<double>{1.0, 4.0}));
  EXPECT_EQ(d.rows[1], (std::vector<double>{2.0, 1.0}));
  EXPECT_EQ(d.rows[2], (std::vector<double>{3.0, 2.0}));
  EXPECT_EQ(d.rows[3], (std::vector<double>{5.0, 0.0}));
  EXPECT_TRUE(d.bounds.empty());
}

// A range makes a bounded slack. The slack's variable number counts the
// columns and the rows before it that take a number (kinds +1 and -1, not
// 0), as the driver numbers them.
TEST(BuildDeck, RangedRowsGetABoundedSlackAtTheDriversNumber) {
  Model m;
  m.rows = {row_eq("E", 2), {"R", 6, 10}, row_ge("G", 1), {"S", -3, -1}};
  m.columns = {column("X", {{0, 1.0}, {1, 1.0}, {2, 1.0}, {3, 1.0}}),
               column("Y", {{0, 1.0}})};
  const Deck d = build_ok(m);
  EXPECT_EQ(d.row_kinds, (std::vector<std::int32_t>{0, 1, -1, 1}));
  EXPECT_EQ(d.rows[1][2], 10.0);  // slack = 10 - x, at most 4
  EXPECT_EQ(d.rows[3][2], -1.0);
  // Variables: X 1, Y 2, slack of R 3, surplus of G 4, slack of S 5.
  EXPECT_EQ(d.bounds, (std::vector<double>{lp::kNoBoundFill, lp::kNoBoundFill,
                                           4.0, lp::kNoBoundFill, 2.0}));
}

TEST(BuildDeck, ColumnBoundsShiftNegateSplitOrSubstitute) {
  Model m;
  m.rows = {row_le("R", 100)};
  m.objective_constant = 0.5;
  m.columns = {
      column("LO", {{0, 2.0}}, 3.0, 4.0),              // x = 4 + y
      column("DB", {{0, 1.0}}, 1.0, -1.0, 5.0),        // x = -1 + y, y <= 6
      column("UP", {{0, 1.0}}, 1.0, -kInfinity, 7.0),  // x = 7 - y
      column("FR", {{0, 3.0}}, 2.0, -kInfinity),       // x = y1 - y2
      column("FX", {{0, 10.0}}, 1.5, 2.0, 2.0),        // x = 2, substituted
      column("UP0", {{0, 1.0}}, 1.0, 0.0, 0.0),        // x = 0, substituted
  };
  const Deck d = build_ok(m);
  ASSERT_EQ(d.N, 6);
  // Coefficients carry the column's sign; the right side the shifts:
  // 100 - (2*4 + 1*(-1) + 1*7 + 10*2) = 66.
  EXPECT_EQ(d.rows[0], (std::vector<double>{2.0, 1.0, -1.0, 3.0, -3.0, 66.0}));
  // Costs likewise; the constant is 0.5 + 3*4 + 1*(-1) + 1*7 + 1.5*2 = 21.5,
  // written negated.
  EXPECT_EQ(d.rows[1], (std::vector<double>{3.0, 1.0, -1.0, 2.0, -2.0, -21.5}));
  EXPECT_EQ(d.bounds, (std::vector<double>{lp::kNoBoundFill, 6.0}));
  EXPECT_EQ(d.columns[2].sign, -1.0);
  EXPECT_EQ(d.columns[2].shift, 7.0);
  EXPECT_EQ(d.columns[4].name, "FR");
}

TEST(BuildDeck, EmptyRowsAreDroppedWhenTheyHoldAndRefusedWhenNot) {
  Model m;
  m.rows = {row_le("HOLDS", 0), row_le("KEPT", 3), row_ge("ALSO", -2)};
  m.columns = {column("X", {{1, 1.0}})};
  BuildResult r = build_deck(m);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.deck.M, 2);  // KEPT only; ALSO holds too
  EXPECT_EQ(r.deck.row_names, (std::vector<std::string>{"KEPT"}));
  EXPECT_EQ(
      r.notes,
      (std::vector<std::string>{
          "note: row 'HOLDS' has no coefficients and always holds: dropped",
          "note: row 'ALSO' has no coefficients and always holds: dropped"}));

  m.rows[2] = row_ge("NEVER", 1);
  r = build_deck(m);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error,
            "row 'NEVER' has no coefficients and can never hold (1 <= 0 <= inf "
            "is false)");
}

TEST(BuildDeck, RowsEmptiedBySubstitutionAreJudgedOnTheirSides) {
  Model m;
  m.rows = {row_le("OK", 6), row_ge("BAD", 7)};
  m.columns = {column("FX", {{0, 3.0}, {1, 3.0}}, 0, 2.0, 2.0),
               column("Y", {})};
  BuildResult r = build_deck(m);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error,
            "row 'BAD' has no coefficients left once fixed columns are "
            "substituted and can "
            "never hold (1 <= 0 <= inf is false)");
  m.rows[1] = row_ge("FINE", 6);
  r = build_deck(m);
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.deck.M, 1);
  EXPECT_EQ(r.notes[1],
            "note: row 'FINE' has no coefficients left once fixed columns are "
            "substituted and "
            "always holds: dropped");
}

TEST(BuildDeck, ImpossibleColumnBoundsAreRefused) {
  Model m;
  m.rows = {row_le("R", 1)};
  m.columns = {column("X", {{0, 1.0}}, 0, 0.0, -3.0)};
  const BuildResult r = build_deck(m);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error,
            "column 'X' has its lower bound 0 above its upper bound -3 (give "
            "MI or LO as well "
            "for a lower bound below zero)");
}

TEST(BuildDeck, BoundsOf1e30AndBeyondAreNone) {
  Model m;
  m.rows = {{"R", -1e30, 5}, {"FREE", -1e31, 1e30}};
  m.columns = {column("X", {{0, 1.0}, {1, 1.0}}, 0, -1e30, 1e30)};
  BuildResult r = build_deck(m);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.deck.N, 3);  // X is free: split
  EXPECT_EQ(r.deck.row_kinds, (std::vector<std::int32_t>{1}));
  EXPECT_EQ(r.notes,
            (std::vector<std::string>{"note: row 'FREE' is free: dropped"}));
}

TEST(BuildDeck, IntegerColumnsAreRelaxedWithAWarning) {
  Model m;
  m.rows = {row_le("R", 1)};
  m.columns = {column("X", {{0, 1.0}}), column("Y", {{0, 1.0}})};
  m.columns[0].integer = true;
  const BuildResult r = build_deck(m);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.notes,
            (std::vector<std::string>{
                "warning: 1 integer column(s) read as continuous: the deck is "
                "the linear relaxation"}));
}

// "R7": built with append, which GCC 12 does not mistake for an overlapping
// copy as it does "R" + std::to_string(7).
std::string numbered(const char* prefix, int i) {
  std::string s(prefix);
  s.append(std::to_string(i));
  return s;
}

// Every row has a coefficient, in column row % columns.
Model sized(int rows, int columns, bool free_columns) {
  Model m;
  for (int i = 0; i < rows; ++i) m.rows.push_back(row_le(numbered("R", i), 1));
  for (int j = 0; j < columns; ++j) {
    m.columns.push_back(
        column(numbered("C", j), {}, 0, free_columns ? -kInfinity : 0.0));
  }
  for (int i = 0; i < rows; ++i) {
    m.columns[static_cast<std::size_t>(i % columns)].entries.emplace_back(i,
                                                                          1.0);
  }
  return m;
}

TEST(BuildDeck, LimitsCountRowsAndColumnsAsTheDeckHasThem) {
  EXPECT_TRUE(build_deck(sized(49, 60, false)).ok);
  EXPECT_TRUE(build_deck(sized(49, 30, true)).ok);  // 60 after splitting

  BuildResult r = build_deck(sized(50, 10, false));
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error,
            "the model has 50 constraint rows; a deck holds at most 49");
  r = build_deck(sized(10, 61, false));
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error,
            "the model has 61 columns after free columns are split in two and "
            "fixed ones "
            "substituted; a deck holds at most 60");
  EXPECT_FALSE(build_deck(sized(10, 31, true)).ok);  // 62 after splitting

  // Rows that are dropped do not count.
  Model m = sized(49, 10, false);
  m.rows.push_back(row_le("EMPTY", 0));
  EXPECT_TRUE(build_deck(m).ok);
}

}  // namespace
}  // namespace model
