#include "recio/layout.h"

#include <gtest/gtest.h>

namespace recio {
namespace {

using Kind = Descriptor::Kind;

// Layouts are constants: a malformed one would not compile.
constexpr auto kTableauRow = layout("(1X, 1P, 11E10.3)");
constexpr auto kLjCaption = layout("(\"    <--   LJ    |\", /, 2X, $)");
constexpr auto kSeparator = layout("(\"  +\", 8A)");

TEST(Layout, ParsesRepeatCountsScaleFactorsAndSkips) {
  ASSERT_EQ(kTableauRow.size(), 3u);
  EXPECT_EQ(kTableauRow[0].kind, Kind::kSkip);
  EXPECT_EQ(kTableauRow[0].width, 1);
  EXPECT_EQ(kTableauRow[1].kind, Kind::kScale);
  EXPECT_EQ(kTableauRow[1].scale, 1);
  EXPECT_EQ(kTableauRow[2].kind, Kind::kExp);
  EXPECT_EQ(kTableauRow[2].repeat, 11);
  EXPECT_EQ(kTableauRow[2].width, 10);
  EXPECT_EQ(kTableauRow[2].decimals, 3);
  EXPECT_TRUE(kTableauRow.has_data());
}

TEST(Layout, ParsesLiteralsSlashAndDollar) {
  ASSERT_EQ(kLjCaption.size(), 4u);
  EXPECT_EQ(kLjCaption[0].kind, Kind::kLiteral);
  EXPECT_EQ(kLjCaption[0].text, "    <--   LJ    |");
  EXPECT_EQ(kLjCaption[1].kind, Kind::kSlash);
  EXPECT_EQ(kLjCaption[2].kind, Kind::kSkip);
  EXPECT_EQ(kLjCaption[2].width, 2);
  EXPECT_EQ(kLjCaption[3].kind, Kind::kDollar);
  EXPECT_FALSE(kLjCaption.has_data());
  ASSERT_EQ(kSeparator.size(), 2u);
  EXPECT_EQ(kSeparator[1].kind, Kind::kChar);
  EXPECT_EQ(kSeparator[1].repeat, 8);
}

TEST(Layout, AcceptsSingleQuotesLowerCaseAndNegativeScale) {
  const Layout l = layout("('x', -2p, 3f9.2, i4)");
  ASSERT_EQ(l.size(), 4u);
  EXPECT_EQ(l[0].text, "x");
  EXPECT_EQ(l[1].scale, -2);
  EXPECT_EQ(l[2].kind, Kind::kFixed);
  EXPECT_EQ(l[3].kind, Kind::kInt);
}

TEST(Layout, RejectsMalformedText) {
  for (const char* bad : {"", "1X", "(I)", "(F10)", "(Z5)", "(\"open)", "(I5",
                          "(I5) x", "(0I5)", "(-I5)", "(I5 I5)"}) {
    EXPECT_THROW((void)layout(bad), std::exception) << bad;
  }
}

}  // namespace
}  // namespace recio
