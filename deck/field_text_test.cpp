#include "deck/field_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "recio/field_in.h"
#include "tests/support/seed.h"

namespace deck {
namespace {

struct Case {
  double value;
  const char* text;
};

// One line per case: the plainest text that reads back exactly.
TEST(RealFieldText, ExactValuesTakeThePlainestText) {
  const Case cases[] = {
      {0.0, "0.0"},
      {-0.0, "0.0"},
      {1.0, "1.0"},
      {-1.0, "-1.0"},
      {25.0, "25.0"},
      {80.0, "80.0"},
      {-1.06, "-1.06"},
      {0.5, "0.5"},
      {-0.5, "-0.5"},
      {0.001, "0.001"},
      {0.00001, "0.00001"},  // four filler zeros: still fixed
      {0.000001, "1.0E-6"},  // five: an exponent reads better
      {10000.0, "10000.0"},
      {100000.0, "1.0E+5"},
      {123456.0, "123456.0"},
      {12345678.0, "12345678.0"},   // exactly ten columns
      {123456789.0, "123456789."},  // the ".0" no longer fits
      {1234567890.0, "1234567890"},
      {-123456789.0, "-123456789"},
      {1.0e30, "1.0E+30"},
      {-2.5e-300, "-2.5E-300"},
      {0.333333, "0.333333"},
      {-0.33333333, "-.33333333"},  // the leading zero gives way
      {1.234567e-5, "1.234567-5"},  // "1.234567E-5" is eleven columns
  };
  for (const Case& c : cases) {
    const FieldText f = real_field_text(c.value);
    EXPECT_EQ(f.text, c.text) << c.value;
  }
}

TEST(RealFieldText, LessConventionalTextsWhenOnlyTheyFit) {
  EXPECT_EQ(real_field_text(1.2345e-15).text, "1.2345E-15");
  // "1.23456E-15" is eleven columns: the point goes after the digits.
  EXPECT_EQ(real_field_text(1.23456e-15).text, "123456E-20");
  // Only the bare sign leaves room for seven digits, or a minus sign.
  EXPECT_EQ(real_field_text(1.234567e-15).text, "1234567-21");
  EXPECT_EQ(real_field_text(-1.23456e-15).text, "-123456-20");
}

TEST(RealFieldText, ExtremeDoubles) {
  EXPECT_EQ(real_field_text(5e-324).text, "5.0E-324");
  EXPECT_EQ(real_field_text(-5e-324).text, "-5.0E-324");
  // Seventeen digits cannot be kept: the nearest text that fits. The
  // largest double rounded up would be infinite, so it is rounded down.
  EXPECT_EQ(real_field_text(2.2250738585072014e-308).text, "222507-313");
  EXPECT_EQ(real_field_text(1.7976931348623157e308).text, "179769E303");
  EXPECT_EQ(real_field_text(-1.7976931348623157e308).text, "-17976E304");
}

// What the driver reads back from the text is what the result says.
double read(const std::string& text) {
  double v = 0;
  EXPECT_TRUE(recio::parse_real(text, 0, v)) << text;
  return v;
}

// Any decimal of six digits or fewer has a ten-column text ("123456-300"),
// so it must come back exactly, near powers of two too.
TEST(RealFieldText, ShortDecimalsComeBackExactly) {
  test_support::SeededRng rng(12345);
  std::uniform_int_distribution<int> digits(1, 999999);
  std::uniform_int_distribution<int> power(-300, 300);
  for (int i = 0; i < 1000; ++i) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%de%d", digits(rng), power(rng));
    const double v = std::strtod(buf, nullptr);
    const FieldText f = real_field_text(v);
    ASSERT_LE(f.text.size(), kRealWidth) << buf;
    ASSERT_EQ(f.read_back, v) << buf << " -> " << f.text;
    ASSERT_EQ(read(f.text), v) << buf << " -> " << f.text;
  }
  // Decimals right beside powers of two, where the doubles' spacing halves.
  for (int e = -1070; e <= 1020; e += 5) {
    for (const double v :
         {std::ldexp(1.0, e), std::nextafter(std::ldexp(1.0, e), 0.0)}) {
      if (v == 0 || !std::isfinite(v)) continue;
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.5e", v);
      const double near = std::strtod(buf, nullptr);
      ASSERT_EQ(real_field_text(near).read_back, near) << buf;
    }
  }
}

// A value with no exact text comes back as near as the best fixed-notation
// text printf gives for it, and never farther than half a unit in the
// ninth significant digit.
TEST(RealFieldText, OtherValuesComeBackAsNearAsTenColumnsAllow) {
  test_support::SeededRng rng(2024);
  std::uniform_real_distribution<double> mantissa(100.0, 1000.0);
  for (int i = 0; i < 1000; ++i) {
    const double v = mantissa(rng) * (i % 2 == 0 ? 1 : -1);
    const FieldText f = real_field_text(v);
    ASSERT_LE(f.text.size(), kRealWidth);
    ASSERT_EQ(read(f.text), f.read_back) << f.text;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.*f", v < 0 ? 5 : 6,
                  v);  // "-123.45678", "123.456789"
    const double printf_value = std::strtod(buf, nullptr);
    ASSERT_LE(std::abs(f.read_back - v), std::abs(printf_value - v))
        << v << " " << f.text;
  }
  std::uniform_int_distribution<std::uint64_t> bits;
  for (int i = 0; i < 1000; ++i) {
    const double v = std::bit_cast<double>(bits(rng));
    if (!std::isfinite(v) || v == 0) continue;
    const FieldText f = real_field_text(v);
    ASSERT_LE(f.text.size(), kRealWidth);
    ASSERT_EQ(read(f.text), f.read_back) << f.text;
    // "-ddddd-ddd" keeps five digits even in the worst case.
    ASSERT_LE(std::abs(f.read_back - v), 0.5e-4 * std::abs(v))
        << v << " " << f.text;
  }
}

}  // namespace
}  // namespace deck
