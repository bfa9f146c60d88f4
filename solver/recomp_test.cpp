#include "solver/recomp.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <random>

#include "common/lp.h"
#include "recio/errors.h"
#include "recio/unformatted.h"
#include "recio/units.h"
#include "solver/scratch.h"
#include "tests/support/seed.h"
#include "tests/support/tableau_arrays.h"
#include "tests/support/unit_files.h"

namespace solver {
namespace {

namespace fs = std::filesystem;
using std::string_literals::operator""s;

constexpr std::int32_t kLda = 6;
constexpr std::int32_t kNcol = 5;
constexpr double kSentinel = 99.0;

// The arrays of one RECOMP call: a 3 x 3 tableau (2 constraints) over 4
// variables. The initial tableau goes into ASAVE (or the scratch file); A
// starts as garbage, which the reload must replace.
struct Recomp : test_support::TableauArrays<kLda, kNcol, 4, 4, 8> {
  std::int32_t M = 3;
  std::int32_t N = 3;
  std::int32_t NV = 4;

  Recomp() {
    a.fill(kSentinel);
    bound.fill(lp::kNoBoundFill);
  }
  void initial_row(std::int32_t i, std::initializer_list<double> values) {
    std::int32_t j = 1;
    for (const double v : values) ASAVE(i, j++) = v;
  }
  // The initial tableau, rows 1..3, its labels ROW0 and COL0, and the
  // labels of the basis reached since, ROW and COL.
  void set_up(std::initializer_list<std::initializer_list<double>> rows,
              std::array<std::int32_t, 4> initial_rows,
              std::array<std::int32_t, 4> initial_cols,
              std::array<std::int32_t, 4> rows_now,
              std::array<std::int32_t, 4> cols_now) {
    std::int32_t i = 1;
    for (const std::initializer_list<double> values : rows) {
      initial_row(i++, values);
    }
    row0 = initial_rows;
    col0 = initial_cols;
    row = rows_now;
    col = cols_now;
  }
  void run(std::int32_t iunit = -1) {
    RECOMP(A, ROW, COL, BOUND, M, N, NV, kLda, kNcol, ASAVE, ROW0, COL0, iunit);
  }
  void expect_row(std::int32_t i, std::initializer_list<double> values) {
    std::int32_t j = 1;
    for (const double v : values) {
      EXPECT_DOUBLE_EQ(A(i, j), v) << "A(" << i << "," << j << ")";
      ++j;
    }
  }
};

// The worked case: variable 1 has replaced variable 4 in row 2.
void worked_case(Recomp& r) {
  r.set_up({{1, 2, 4}, {3, 1, 6}, {-1, -1, 0}}, {3, 4}, {1, 2}, {3, 1}, {4, 2});
}

TEST(Recomp, RebuildsTheWorkedCase) {
  Recomp r;
  worked_case(r);
  r.run();
  r.expect_row(1, {-1.0 / 3, 5.0 / 3, 2});
  r.expect_row(2, {1.0 / 3, 1.0 / 3, 2});
  r.expect_row(3, {1.0 / 3, -2.0 / 3, 2});
  EXPECT_EQ(r.ROW(1), 3);
  EXPECT_EQ(r.ROW(2), 1);
  EXPECT_EQ(r.COL(1), 4);
  EXPECT_EQ(r.COL(2), 2);
  // The marks are gone again, and the phase-1 row was not reloaded.
  EXPECT_EQ(r.row0, (std::array<std::int32_t, 4>{3, 4}));
  EXPECT_EQ(r.col0, (std::array<std::int32_t, 4>{1, 2}));
  EXPECT_EQ(r.A(4, 1), kSentinel);
}

TEST(Recomp, ComplementsANonbasicVariableAtItsBoundInEveryRow) {
  Recomp r;
  worked_case(r);
  r.BOUND(2) = -5.0;
  r.run();
  r.expect_row(1, {-1.0 / 3, -5.0 / 3, -19.0 / 3});
  r.expect_row(2, {1.0 / 3, -1.0 / 3, 1.0 / 3});
  r.expect_row(3, {1.0 / 3, 2.0 / 3, 16.0 / 3});
  EXPECT_EQ(r.BOUND(2), -5.0);
}

TEST(Recomp, FlagsOnEntryChangeNothingAndBasicVariablesComeOutPlain) {
  Recomp plain;
  worked_case(plain);
  plain.run();
  Recomp flagged;
  worked_case(flagged);
  flagged.row = {-3, -1};
  flagged.col = {-4, 2};
  flagged.BOUND(1) = -7.0;  // basic: its complement mark goes
  flagged.BOUND(3) = -2.0;  // basic
  flagged.run();
  EXPECT_EQ(std::memcmp(plain.a.data(), flagged.a.data(), sizeof plain.a), 0);
  EXPECT_EQ(flagged.row, plain.row);
  EXPECT_EQ(flagged.col, plain.col);
  EXPECT_EQ(flagged.BOUND(1), 7.0);
  EXPECT_EQ(flagged.BOUND(3), 2.0);
}

TEST(Recomp, WithoutBasisChangeGivesTheInitialTableau) {
  // The same basic set, once in place and once with rows 1 and 2 swapped:
  // no leavers, no enterers, the initial tableau and the initial labels.
  for (const std::array<std::int32_t, 4>& row :
       {std::array<std::int32_t, 4>{3, 4}, std::array<std::int32_t, 4>{4, 3}}) {
    Recomp r;
    worked_case(r);
    r.row = row;
    r.col = {2, -1};
    r.BOUND(1) = -4.0;
    r.run();
    EXPECT_EQ(r.ROW(1), 3);
    EXPECT_EQ(r.ROW(2), 4);
    EXPECT_EQ(r.COL(1), 1);
    EXPECT_EQ(r.COL(2), 2);
    // Only the complement of variable 1 (column 1, bound 4) changes A.
    r.expect_row(1, {-1, 2, 4 - 4 * 1.0});
    r.expect_row(2, {-3, 1, 6 - 4 * 3.0});
    r.expect_row(3, {1, -1, 0 - 4 * -1.0});
  }
}

// Two leavers, two enterers; all four candidates are in play.
void two_by_two(Recomp& r, std::initializer_list<double> row1,
                std::initializer_list<double> row2) {
  r.set_up({row1, row2, {0, 0, 0}}, {3, 4}, {1, 2}, {1, 2}, {3, 4});
}

TEST(Recomp, EqualMagnitudesGoToTheLowerColumnThenTheLowerRow) {
  // Tie along row 1: column 1 first, so row 1 takes variable 1.
  Recomp by_column;
  two_by_two(by_column, {4, -4, 1}, {1, 2, 1});
  by_column.run();
  EXPECT_EQ(by_column.row, (std::array<std::int32_t, 4>{1, 2}));
  EXPECT_EQ(by_column.col, (std::array<std::int32_t, 4>{3, 4}));

  // Tie down column 1: row 1 first.
  Recomp by_row;
  two_by_two(by_row, {4, 1, 1}, {-4, 2, 1});
  by_row.run();
  EXPECT_EQ(by_row.row, (std::array<std::int32_t, 4>{1, 2}));

  // Pairs follow the sizes in the reloaded tableau, not the order of the
  // exchanges that led to the basis: here row 1 takes variable 2.
  Recomp by_size;
  two_by_two(by_size, {1, 5, 1}, {2, 1, 1});
  by_size.run();
  EXPECT_EQ(by_size.row, (std::array<std::int32_t, 4>{2, 1}));
  EXPECT_EQ(by_size.col, (std::array<std::int32_t, 4>{4, 3}));
}

TEST(Recomp, StopsRepivotingAtACandidateOfExactlyTheTolerance) {
  for (const double candidate : {1.0e-6, std::nextafter(1.0e-6, 1.0)}) {
    Recomp r;
    worked_case(r);
    r.ASAVE(2, 1) = candidate;
    r.ASAVE(1, 1) = 0.0;
    r.run();
    const bool pivoted = candidate > 1.0e-6;
    EXPECT_EQ(r.ROW(2), pivoted ? 1 : -4) << candidate;
    EXPECT_EQ(r.COL(1), pivoted ? 4 : -1) << candidate;
    EXPECT_EQ(r.A(2, 3), pivoted ? 6.0 / candidate : 6.0) << candidate;
    // The initial labels are whole again either way.
    EXPECT_EQ(r.row0, (std::array<std::int32_t, 4>{3, 4}));
    EXPECT_EQ(r.col0, (std::array<std::int32_t, 4>{1, 2}));
  }
}

TEST(Recomp, AnEarlyStopTakesLabelsByMagnitudeAndSkipsArtificials) {
  // Row 2 held artificial variable 5 initially; now variable 1 is basic
  // there, but the candidate is too small to pivot on. Both stay marked;
  // the column of variable 1 (complemented at entry) is still complemented
  // by its magnitude, the artificial label is passed over.
  Recomp r;
  worked_case(r);
  r.row0 = {3, 5};
  r.ASAVE(2, 1) = 0.0;
  r.ASAVE(1, 1) = 0.0;
  r.BOUND(1) = -2.0;
  r.run();
  EXPECT_EQ(r.ROW(2), -5);
  EXPECT_EQ(r.COL(1), -1);
  r.expect_row(1, {-0.0, 2, 4});
  r.expect_row(2, {-0.0, 1, 6});
  r.expect_row(3, {1, -1, 0 - 2 * -1.0});
}

TEST(Recomp, DifferentCountsOfLeaversAndEnterersStopTheRun) {
  // Variable 1 given twice: it counts as basic and nonbasic at once.
  Recomp r;
  worked_case(r);
  r.row = {3, 1};
  r.col = {1, 2};
  try {
    r.run();
    ADD_FAILURE() << "RECOMP returned";
  } catch (const recio::RunEnd& end) {
    EXPECT_EQ(end.kind(), recio::RunEnd::Kind::kNumericStop);
    EXPECT_EQ(end.status(), 2222u);
  }
}

// The scratch file: saved by one call, reloaded by RECOMP.
using ScratchFile = test_support::UnitFilesTest;

std::string little_endian(double v) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &v, sizeof bits);
  std::string out;
  for (int k = 0; k < 8; ++k) out += char((bits >> (8 * k)) & 0xFF);
  return out;
}

TEST_F(ScratchFile, HoldsThePackedBlockColumnByColumn) {
  Recomp r;
  for (std::int32_t i = 1; i <= 4; ++i) {
    for (std::int32_t j = 1; j <= 2; ++j) r.A(i, j) = 10.0 * i + j;
  }
  recio::open_new_unformatted(9, "LP.TMP");
  save_initial_tableau(r.A, 3, 2, 9, r.ASAVE);
  // 48 data bytes framed by their length: stride 3 (M), not 6 (LDA), and
  // no phase-1 row.
  std::string expected = "\x30\0\0\0"s;
  for (const double v : {11.0, 21.0, 31.0, 12.0, 22.0, 32.0}) {
    expected += little_endian(v);
  }
  expected += "\x30\0\0\0"s;
  EXPECT_EQ(written("LP.TMP"), expected);
  for (const double v : r.asave) EXPECT_EQ(v, 0.0);  // ASAVE untouched
}

TEST_F(ScratchFile, ANewSaveReplacesTheEarlierRecord) {
  Recomp r;
  recio::open_new_unformatted(9, "LP.TMP");
  save_initial_tableau(r.A, 5, 4, 9, r.ASAVE);
  save_initial_tableau(r.A, 3, 2, 9, r.ASAVE);
  EXPECT_EQ(written("LP.TMP").size(), 56u);
}

TEST_F(ScratchFile, ReloadsEveryBitAgainAndAgain) {
  // Signed zeros, subnormals, infinities and NaNs with payloads all come
  // back as stored.
  test_support::SeededRng rng(3);
  Recomp saved;
  for (double& v : saved.a) {
    const std::uint64_t bits = rng();
    std::memcpy(&v, &bits, sizeof v);
  }
  saved.A(1, 1) = -0.0;
  saved.A(2, 1) = 4.9e-324;
  saved.A(3, 1) = -HUGE_VAL;
  recio::open_new_unformatted(9, "LP.TMP");
  save_initial_tableau(saved.A, 5, 5, 9, saved.ASAVE);
  for (int round = 0; round < 3; ++round) {
    Recomp loaded;
    reload_initial_tableau(loaded.A, 5, 5, 9, loaded.ASAVE);
    for (std::int32_t j = 1; j <= 5; ++j) {
      EXPECT_EQ(std::memcmp(&loaded.A(1, j), &saved.A(1, j), 5 * 8), 0);
      EXPECT_EQ(loaded.A(6, j), kSentinel);
    }
  }
}

TEST_F(ScratchFile, TheInMemoryCopyTakesOnlyTheBlock) {
  Recomp r;
  for (double& v : r.a) v = 1.5;
  r.asave.fill(-2.0);
  save_initial_tableau(r.A, 3, 2, -1, r.ASAVE);
  for (std::int32_t i = 1; i <= kLda; ++i) {
    for (std::int32_t j = 1; j <= kNcol; ++j) {
      EXPECT_EQ(r.ASAVE(i, j), i <= 3 && j <= 2 ? 1.5 : -2.0);
    }
  }
  EXPECT_EQ(recio::find_unit(-1), nullptr);
  EXPECT_FALSE(fs::exists(dir() / "LP.TMP"));
}

TEST_F(ScratchFile, UnitZeroKeepsNothing) {
  Recomp r;
  r.asave.fill(-2.0);
  save_initial_tableau(r.A, 3, 2, 0, r.ASAVE);
  reload_initial_tableau(r.A, 3, 2, 0, r.ASAVE);
  for (const double v : r.asave) EXPECT_EQ(v, -2.0);
  for (const double v : r.a) EXPECT_EQ(v, kSentinel);
  EXPECT_EQ(recio::find_unit(0), nullptr);
}

TEST_F(ScratchFile, RecompFromTheFileMatchesRecompFromMemory) {
  Recomp memory;
  worked_case(memory);
  memory.BOUND(2) = -5.0;
  memory.run(-1);

  Recomp file;
  worked_case(file);
  file.BOUND(2) = -5.0;
  recio::open_new_unformatted(9, "LP.TMP");
  save_initial_tableau(file.ASAVE, 3, 3, 9, file.ASAVE);
  file.asave.fill(0.0);  // must not be used
  file.run(9);
  EXPECT_EQ(std::memcmp(memory.a.data(), file.a.data(), sizeof memory.a), 0);
  EXPECT_EQ(memory.row, file.row);
  EXPECT_EQ(memory.col, file.col);
}

}  // namespace
}  // namespace solver
