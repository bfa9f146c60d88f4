#include "deck/writer.h"

#include <gtest/gtest.h>

#include <string>

#include "common/lp.h"

namespace deck {
namespace {

TEST(DeckWriter, RecordsInTheDriversColumns) {
  model::Deck d;
  d.M = 3;
  d.N = 3;
  d.rows = {{1.0, 1.0, 4.0}, {1.0, 3.0, 6.0}, {-1.0, -2.0, 0.0}};
  d.bounds = {lp::kNoBoundFill, 2.5};
  d.row_kinds = {1, -1};
  d.columns = {{"X", 0, 1}, {"Y", 0, 1}};
  const Text t = to_text(d, Settings{});
  EXPECT_EQ(t.text,
            "   -1    0\n"
            "    3    3    2\n"
            "       1.0       1.0       4.0\n"
            "       1.0       3.0       6.0\n"
            "      -1.0      -2.0       0.0\n"
            "   1.0E+30       2.5\n"
            "    1   -1\n"
            "    0    0\n"
            "    0    0\n"
            "    0    0    0\n");
  EXPECT_EQ(t.rounded, 0);
}

// Eleven values a record; a list with nothing in it is still one (empty)
// record, since the driver reads one.
TEST(DeckWriter, LongRowsContinueAndEmptyListsTakeOneRecord) {
  model::Deck d;
  d.M = 1;
  d.N = 12;
  d.rows = {std::vector<double>(12, 2.0)};
  d.columns.resize(11);
  const Text t = to_text(d, Settings{7, 6, false});
  std::string eleven;
  for (int k = 0; k < 11; ++k) eleven.append("       2.0");
  const std::string expected =
      "    7    6\n"
      "    1   12    0\n" +
      eleven +
      "\n"
      "       2.0\n"
      "\n"  // no bounds
      "\n"  // no row kinds
      "    0    0    0    0    0    0    0    0    0    0    0\n";
  EXPECT_EQ(t.text, expected);
}

TEST(DeckWriter, CountsRoundedValuesAndTheLargestChange) {
  model::Deck d;
  d.M = 1;
  d.N = 4;
  d.rows = {{1.0 / 3.0, 2.0 / 3.0, 0.25, 0.0}};
  d.columns.resize(3);
  const Text t = to_text(d, Settings{});
  EXPECT_EQ(t.text.substr(t.text.find('\n', 11) + 1, 41),
            ".333333333.666666667      0.25       0.0\n");
  EXPECT_EQ(t.rounded, 2);
  // .333333333 is 1/3 less a third of 1e-9: off by 1e-9 relatively.
  EXPECT_NEAR(t.largest_change, 1e-9, 1e-15);
}

}  // namespace
}  // namespace deck
