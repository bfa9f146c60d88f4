// The three ways a problem gets into the storage (karvon's reading of unit 5,
// the tools' text reader, a built deck loaded) hold the same values, and the
// text reader's refusals say where the deck went wrong.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "common/lp.h"
#include "deck/load.h"
#include "deck/storage.h"
#include "deck/text_reader.h"
#include "deck/unit_reader.h"
#include "deck/writer.h"
#include "model/deck.h"
#include "recio/errors.h"
#include "tests/support/unit_files.h"

namespace deck {
namespace {

// Rows of more than one record, each row kind, fewer bounds than variables
// and one of kNoBound; every value has a text that reads back exactly.
model::Deck wide_problem() {
  model::Deck d;
  d.M = 4;
  d.N = 14;
  for (std::int32_t i = 0; i < d.M; ++i) {
    std::vector<double>& row = d.rows.emplace_back();
    for (std::int32_t j = 0; j < d.N; ++j) row.push_back(0.25 * (i - j) + i);
  }
  d.bounds = {lp::kNoBoundFill, 2.5, 0.0, 7.0};
  d.row_kinds = {1, -1, 0};
  d.columns.resize(13);
  return d;
}

// Smaller than the first, so what the first left behind stays in place.
model::Deck narrow_problem() {
  model::Deck d;
  d.M = 2;
  d.N = 3;
  d.rows = {{1.0, -2.0, 4.0}, {-1.5, 3.0, 0.0}};
  d.row_kinds = {-1};
  d.columns.resize(2);
  return d;
}

void expect_same(const Storage& a, const Storage& b) {
  EXPECT_EQ(a.IUNIT, b.IUNIT);
  EXPECT_EQ(a.IOUT, b.IOUT);
  EXPECT_EQ(a.M, b.M);
  EXPECT_EQ(a.N, b.N);
  EXPECT_EQ(a.NBOUND, b.NBOUND);
  EXPECT_EQ(a.NV, b.NV);
  EXPECT_EQ(a.A, b.A);
  EXPECT_EQ(a.BOUND, b.BOUND);
  EXPECT_EQ(a.ROW, b.ROW);
  EXPECT_EQ(a.COL, b.COL);
}

class DeckReading : public test_support::UnitFilesTest {};

TEST_F(DeckReading, UnitTextAndLoadHoldTheSameProblems) {
  const std::vector<model::Deck> decks = {wide_problem(), narrow_problem()};
  const std::vector<Settings> settings = {{-1, 0, false}, {0, 6, true}};
  std::string text;
  for (std::size_t k = 0; k < decks.size(); ++k) {
    text += to_text(decks[k], settings[k]).text;
  }

  std::vector<Storage> from_text;
  auto scratch = std::make_unique<Storage>();
  EXPECT_EQ(read_text(text, "d", *scratch,
                      [&](Storage& s) { from_text.push_back(s); }),
            "");
  ASSERT_EQ(from_text.size(), decks.size());

  std::ofstream(dir() / "deck.txt", std::ios::binary) << text;
  connect(5, "deck.txt");
  auto unit = std::make_unique<Storage>();
  auto loaded = std::make_unique<Storage>();
  for (std::size_t k = 0; k < decks.size(); ++k) {
    read_settings(*unit);
    read_header(*unit);
    read_problem(*unit);
    prepare(*unit);
    load(decks[k], settings[k].IUNIT, settings[k].IOUT, *loaded);
    expect_same(*unit, from_text[k]);
    expect_same(*unit, *loaded);
  }
  read_settings(*unit);
  try {
    read_header(*unit);
    ADD_FAILURE() << "the closing header did not end the run";
  } catch (const recio::RunEnd& end) {
    EXPECT_EQ(end.kind(), recio::RunEnd::Kind::kPlainStop);
  }
}

TEST(DeckTextReader, RefusesWithTheLineAndTheColumns) {
  const std::string start = "    0    0\n    2    3    0\n";
  const std::string rows =
      "       1.0       1.0       4.0\n"
      "      -1.0      -2.0       0.0\n\n";
  const struct {
    std::string text;
    const char* error;
  } cases[] = {
      {start + "       1.0  x\n",
       "d:3: '  x' in columns 11-13 is not a number"},
      {start + "       1.0 1.0E+999\n",
       "d:3: ' 1.0E+999' in columns 11-19 is not a finite number"},
      {"    0    0\n   -1    3    0\n",
       "d:2: invalid problem header: M = -1, N = 3"},
      {start, "d:3: the deck ends where a tableau row should follow"},
      {start + rows + "    5\n    0    0\n",
       "d:6: row kind 1 names variable 5, above the 3 variables of the "
       "problem"},
      {start + rows + "    0\n    2    2\n",
       "d:7: column label 2 names variable 2, which another label names too"},
      {"    0    0\n    1   1x    0\n",
       "d:2: '   1x' in columns 6-10 is not a whole number"},
  };
  for (const auto& c : cases) {
    auto s = std::make_unique<Storage>();
    int taken = 0;
    EXPECT_EQ(read_text(c.text, "d", *s, [&](Storage&) { ++taken; }), c.error)
        << c.text;
    EXPECT_EQ(taken, 0) << c.text;
  }
}

TEST(DeckTextReader, KnowsADeckByItsFirstRecords) {
  EXPECT_TRUE(begins_as_deck("    0    0\n    2    3    0\n"));
  EXPECT_TRUE(begins_as_deck("   -1\r\n    0\r\n"));  // blank fields read 0
  EXPECT_FALSE(begins_as_deck("    0    0\n"));
  EXPECT_FALSE(begins_as_deck("NAME AFIRO\nROWS\n"));
  EXPECT_FALSE(begins_as_deck("minimize\n obj: x\n"));
}

}  // namespace
}  // namespace deck
