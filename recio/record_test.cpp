// Formatted and unformatted records through real units and files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "recio/errors.h"
#include "recio/layout.h"
#include "recio/record_read.h"
#include "recio/record_write.h"
#include "recio/unformatted.h"
#include "recio/units.h"
#include "tests/support/unit_files.h"

namespace recio {
namespace {

namespace fs = std::filesystem;

// Each test runs in a private directory; units 7 and 8 are connected by
// their FORT variables to files there.
class Records : public test_support::UnitFilesTest {
 protected:
  Records() {
    connect(7, "out7.txt");
    connect(8, "in8.txt");
  }
  std::string written() { return UnitFilesTest::written("out7.txt"); }
  void input(const std::string& text) {
    std::ofstream(dir() / "in8.txt", std::ios::binary) << text;
  }
  static std::uint32_t status_of(const std::function<void()>& f) {
    try {
      f();
    } catch (const RunEnd& e) {
      return e.status();
    }
    return 0;
  }
};

constexpr auto kReals = layout("(1X, 1P, 11E10.3)");
constexpr auto kInts = layout("(1X, 11I5)");
constexpr auto kSeparator = layout("(\"  +\", 8A)");

TEST_F(Records, ItemsBeyondTheLayoutStartItAgainOnANewRecord) {
  WriteStatement w(7, kReals);
  for (int k = 1; k <= 12; ++k) w.put(double(k));
  w.finish();
  std::string first = " ";
  for (int k = 1; k <= 9; ++k) {
    char field[16];
    std::snprintf(field, sizeof field, " %d.000E+00", k);
    first.append(field);
  }
  first.append(" 1.000E+01 1.100E+01\r\n");
  EXPECT_EQ(written(), first + "  1.200E+01\r\n");
}

TEST_F(Records, ARecordHoldingOnlyASkipIsEmpty) {
  write_record(7, kInts);
  WriteStatement w(7, kInts);
  w.put(std::int32_t{3});
  w.put(std::int32_t{-4});
  w.finish();
  EXPECT_EQ(written(), "\r\n     3   -4\r\n");
}

TEST_F(Records, LeadingLiteralsRepeatOnEveryRecord) {
  WriteStatement w(7, kSeparator);
  for (int k = 0; k < 20; ++k) w.put(std::string_view("-"));
  w.finish();
  EXPECT_EQ(written(), "  +--------\r\n  +--------\r\n  +----\r\n");
}

TEST_F(Records, DollarJoinsStatementsIntoOneRecord) {
  constexpr auto kFirst = layout("(\"  |\", F7.2, $)");
  constexpr auto kMiddle = layout("(F9.2, $)");
  constexpr auto kLast = layout("(\"   |\", F8.2, \"   |\", I4)");
  {
    WriteStatement w(7, kFirst);
    w.put(1.0);
    w.finish();
  }
  {
    WriteStatement w(7, kMiddle);
    w.put(-2.5);
    w.finish();
  }
  WriteStatement w(7, kLast);
  w.put(4.0);
  w.put(std::int32_t{3});
  w.finish();
  EXPECT_EQ(written(), "  |   1.00    -2.50   |    4.00   |   3\r\n");
}

// write_each is a run of one-item statements: the same record whether the
// layout takes its short form (one descriptor and $, with or without a scale
// factor) or not, and the same error for an item of the wrong type.
TEST_F(Records, WriteEachIsOneStatementPerValue) {
  const std::vector<double> values = {1.0, -2.5, 0.0};
  const auto value = [&values](std::size_t i) { return values[i]; };
  const auto label = [](std::size_t i) { return std::int32_t(i) - 1; };
  write_each(7, layout("(F9.2, $)"), 3, value);
  write_each(7, layout("(1P, E10.2, $)"), 3, value);
  write_each(7, layout("(I4, $)"), 3, label);
  write_each(7, layout("(1X, F5.1)"), 2, value);
  EXPECT_EQ(written(),
            "     1.00    -2.50     0.00  1.00E+00 -2.50E+00  0.00E+00"
            "  -1   0   1   1.0\r\n  -2.5\r\n");
  EXPECT_EQ(status_of([&] { write_each(7, layout("(I4, $)"), 1, value); }),
            0xC000003Du);  // 61: type mismatch
}

// A span of reals is the same items put one by one: runs end at each
// descriptor's repeats, literals and scale factors between them, the layout
// starting again on a new record.
TEST_F(Records, ASpanOfRealsIsItsItemsInTurn) {
  constexpr auto kMixed = layout(R"((1X, 1P, 3E10.3, "|", 0P, 2F6.1))");
  const std::vector<double> values = {1.5,  -2.25, 0.0,    1e30, 7.0,
                                      -0.5, 3e-7,  123.25, 9.96, -1e5};
  {
    WriteStatement w(7, kMixed);
    for (const double v : values) w.put(v);
    w.finish();
  }
  {
    WriteStatement w(7, kMixed);
    w.put(values);
    w.finish();
  }
  const std::string text =
      "  1.500E+00-2.250E+00 0.000E+00|******   7.0\r\n"
      " -5.000E-01 3.000E-07 1.233E+02|  10.0******\r\n";
  EXPECT_EQ(written(), text + text);
  constexpr auto kRealThenInt = layout("(F5.1, I4)");
  EXPECT_EQ(status_of([&] {
              WriteStatement w(7, kRealThenInt);
              w.put(values);
            }),
            0xC000003Du);  // 61: type mismatch
}

TEST_F(Records, SlashEndsARecordAndSkipsBecomeBlanksOnlyBeforeText) {
  constexpr auto kCaption = layout("(\"    <--   LJ    |\", /, 2X, $)");
  constexpr auto kValue = layout("(1P, E9.2, $)");
  constexpr auto kEnd = layout("(\"   <--   DJ\", /)");
  write_record(7, kCaption);
  WriteStatement w(7, kValue);
  w.put(1.0e30);
  w.finish();
  write_record(7, kEnd);
  EXPECT_EQ(written(), "    <--   LJ    |\r\n   1.00E+30   <--   DJ\r\n\r\n");
}

TEST_F(Records, LiteralsAfterTheLastItemAreStillWritten) {
  constexpr auto kObjective = layout("(\" OBJECTIVE FUNCTION  =\", 1P, E15.8)");
  constexpr auto kRhs = layout("(\"   |\", F8.2, \"   |  LI\")");
  {
    WriteStatement w(7, kObjective);
    w.put(12.0);
    w.finish();
  }
  WriteStatement w(7, kRhs);
  w.put(0.0);
  w.finish();
  EXPECT_EQ(
      written(),
      " OBJECTIVE FUNCTION  = 1.20000000E+01\r\n   |    0.00   |  LI\r\n");
}

TEST_F(Records, ARecordHeldOpenAtTheEndIsWrittenWithItsLineEnd) {
  static constexpr auto kOpen = layout("(\" open\", $)");
  WriteStatement w(7, kOpen);
  w.finish();
  EXPECT_EQ(written(), " open\r\n");
}

TEST_F(Records, RecordsOfAnyLength) {
  static constexpr auto kWide = layout("(700A)");
  WriteStatement w(7, kWide);
  for (int k = 0; k < 700; ++k) w.put(std::string_view("x"));
  w.finish();
  EXPECT_EQ(written(), std::string(700, 'x') + "\r\n");
}

TEST_F(Records, WriteFailuresEndTheRunWithTheirErrors) {
  static constexpr auto kNoData = layout("(\"no data\")");
  static constexpr auto kInt = layout("(I5)");
  EXPECT_EQ(status_of([] {
              WriteStatement w(7, kNoData);
              w.put(1.0);
            }),
            0xC000003Cu);  // 60: infinite format loop
  EXPECT_EQ(status_of([] {
              WriteStatement w(7, kInt);
              w.put(1.0);
            }),
            0xC000003Du);  // 61: type mismatch
}

TEST_F(Records, ReadsIntegerFieldsAsTheGrammarSays) {
  input("    3    4\n3\n\n3,4\n  1.5\n");
  constexpr auto kIn = layout("(11I5)");
  std::int32_t a = -1;
  std::int32_t b = -1;
  for (auto [wa, wb] : {std::pair{3, 4}, {3, 0}, {0, 0}, {3, 4}}) {
    ReadStatement r(8, kIn);
    r.get(a);
    r.get(b);
    EXPECT_EQ(a, wa);
    EXPECT_EQ(b, wb);
  }
  EXPECT_EQ(status_of([&] {
              ReadStatement r(8, kIn);
              r.get(a);
            }),
            0xC0000040u);  // 64
}

TEST_F(Records, ReadsRealsAcrossRecordsAndToleratesCrLf) {
  std::string line1;
  for (int k = 1; k <= 11; ++k) {
    char field[16];
    std::snprintf(field, sizeof field, "%9d.5", k);
    line1.append(field + 1);  // ten columns: the value ends in the last one
  }
  input("       1.5      -2e3\r\n" + line1 + "\n12");
  constexpr auto kIn = layout("(11F10.0)");
  double x = 0;
  double y = 0;
  {
    ReadStatement r(8, kIn);
    r.get(x);
    r.get(y);
  }
  EXPECT_EQ(x, 1.5);
  EXPECT_EQ(y, -2000.0);
  std::vector<double> v(12);
  {
    ReadStatement r(8, kIn);  // a span of items, across the records
    r.get(v);
  }
  EXPECT_EQ(v[10], 11.5);
  EXPECT_EQ(v[11], 12.0);  // the last line has no line feed
  EXPECT_EQ(status_of([&] { ReadStatement r(8, kIn); }), 0xC0000018u);  // 24
}

TEST_F(Records, AReadWithNoItemsStillConsumesARecord) {
  input("skip me\n    7\n");
  constexpr auto kIn = layout("(11I5)");
  { ReadStatement r(8, kIn); }
  std::int32_t v = 0;
  ReadStatement r(8, kIn);
  r.get(v);
  EXPECT_EQ(v, 7);
}

TEST_F(Records, UnformattedRecordsAreLengthFramed) {
  open_new_unformatted(9, "LP.TMP");
  {
    UnformattedWrite w(9);
    w.put(1.0);
    w.put(2.0);
    w.finish();
  }
  const std::string want(
      "\x10\0\0\0\0\0\0\0\0\0\xF0\x3F\0\0\0\0\0\0\0\x40\x10\0\0\0", 24);
  EXPECT_EQ(test_support::read_file(dir() / "LP.TMP"), want);
  // After a rewind a shorter record becomes the whole file.
  rewind(9);
  {
    UnformattedWrite w(9);
    w.put(-0.0);
    w.finish();
  }
  EXPECT_EQ(fs::file_size(dir() / "LP.TMP"), 16u);
  rewind(9);
  UnformattedRead r(9);
  const double back = r.get_real();
  EXPECT_TRUE(std::signbit(back));
  EXPECT_EQ(status_of([&] { (void)r.get_real(); }), 0xC0000043u);       // 67
  EXPECT_EQ(status_of([] { UnformattedRead again(9); }), 0xC0000018u);  // 24
}

TEST_F(Records, AFileEndingInsideARecordIsAReadError) {
  open_new_unformatted(9, "LP.TMP");
  {
    UnformattedWrite w(9);
    w.put(1.0);
    w.finish();
  }
  fs::resize_file(dir() / "LP.TMP", 10);
  rewind(9);
  EXPECT_EQ(status_of([] { UnformattedRead r(9); }), 0xC0000027u);  // 39
}

TEST_F(Records, OpeningNewFiles) {
  open_new_unformatted(9, "LP.TMP");
  // The same file on the same unit: nothing happens, not even an error.
  open_new_unformatted(9, "  LP.TMP ");
  EXPECT_EQ(status_of([] { open_new_unformatted(10, "LP.TMP"); }),
            0xC0000259u);  // 601
  EXPECT_EQ(status_of([] { open_new_unformatted(11, "no/such/dir/LP.TMP"); }),
            0xC000002Bu);  // 43
  // A formatted write to the scratch unit.
  EXPECT_EQ(status_of([] { write_record(9, kInts); }), 0xC0000101u);  // 257
}

TEST_F(Records, UnformattedTransfersOnAFormattedUnitAreError256) {
  write_record(7, kInts);
  // Both directions: "Message not found", and a code that exits 255.
  for (const auto& transfer : std::vector<std::function<void()>>{
           [] { UnformattedWrite w(7); },
           [] { UnformattedRead r(7); },
       }) {
    try {
      transfer();
      ADD_FAILURE() << "no error";
    } catch (const RunEnd& e) {
      EXPECT_EQ(e.status(), 0xC0000100u);
      EXPECT_EQ(e.line(), "forrtl: severe (256): Message not found");
      EXPECT_EQ(e.exit_status(), 255);
    }
  }
}

TEST_F(Records, UnitFiveRefusesEveryWrite) {
  ::setenv("FORT5", (dir() / "in8.txt").c_str(), 1);
  input("    1\n");
  EXPECT_EQ(status_of([] { write_record(5, kInts); }), 0xC0000026u);  // 38
  ::unsetenv("FORT5");
}

TEST_F(Records, ACarriageReturnEndingTheInputStaysInTheRecord) {
  input("    1\r\n    2\r");
  FormattedInput& in = formatted_input(8);
  std::string_view record;
  ASSERT_TRUE(in.next_record(record));
  EXPECT_EQ(record, "    1");
  ASSERT_TRUE(in.next_record(record));
  EXPECT_EQ(record, "    2\r");
  EXPECT_FALSE(in.next_record(record));
}

}  // namespace
}  // namespace recio
