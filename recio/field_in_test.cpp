#include "recio/field_in.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include "recio/field_out.h"
#include "tests/support/seed.h"

namespace recio {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(ParseInt, BlanksSignsAndDigits) {
  struct Case {
    const char* text;
    std::int32_t value;
  };
  const Case cases[] = {
      {"    3", 3},
      {"3", 3},
      {"", 0},
      {"     ", 0},
      {"-", 0},
      {"  +  ", 0},
      {"-1234", -1234},
      {"+12", 12},
      {"- 5", -5},
      {"1 2", 12},
      {"12   ", 12},
      {"  0  ", 0},
      {"-0", 0},
      {"2147483647", 2147483647},
      {"-2147483648", std::numeric_limits<std::int32_t>::min()},
      {"00000000000000000000000042", 42},
      {" -00000000002147483648", std::numeric_limits<std::int32_t>::min()},
  };
  for (const Case& c : cases) {
    std::int32_t value = 99;
    EXPECT_TRUE(parse_int(c.text, value)) << '"' << c.text << '"';
    EXPECT_EQ(value, c.value) << '"' << c.text << '"';
  }
}

TEST(ParseInt, AnythingElseIsAConversionError) {
  const char* const cases[] = {
      "  1.5", "\t5",  "5\t",        "a",           "12a",
      "+-5",   "--5",  "5-",         "5+",          "1e3",
      "3,4",   "0x1F", "2147483648", "-2147483649", "99999999999999999999999",
      "1 -2",  ".",    "\x1a",
  };
  for (const char* text : cases) {
    std::int32_t value = 99;
    EXPECT_FALSE(parse_int(text, value)) << '"' << text << '"';
    EXPECT_EQ(value, 99) << "left alone on error: \"" << text << '"';
  }
}

TEST(ParseReal, TheGrammar) {
  struct Case {
    const char* text;
    std::int32_t d;
    double value;
  };
  const Case cases[] = {
      {"       1.5", 0, 1.5},
      {"      -2e3", 0, -2000.0},
      {"", 0, 0.0},
      {"          ", 0, 0.0},
      {"12", 0, 12.0},
      {"12.5", 0, 12.5},
      {"12.", 0, 12.0},
      {".5", 0, 0.5},
      {"-.5", 0, -0.5},
      {"+.5", 0, 0.5},
      // Without a point the last d digits are decimals, leading zeros and
      // all; a point overrides d.
      {"125", 2, 1.25},
      {"-125", 2, -1.25},
      {"00125", 2, 1.25},
      {"5", 3, 0.005},
      {"125.", 2, 125.0},
      {"1.25", 5, 1.25},
      {"125E1", 2, 12.5},
      {"  1 2 5", 2, 1.25},
      // Exponents: E, D, Q in either case, or a bare sign.
      {"1.5+3", 0, 1500.0},
      {"1.5-3", 0, 0.0015},
      {"1.5E3", 0, 1500.0},
      {"1.5e+3", 0, 1500.0},
      {"1.5E-3", 0, 0.0015},
      {"1.5D3", 0, 1500.0},
      {"1.5d3", 0, 1500.0},
      {"1.5Q3", 0, 1500.0},
      {"1.5q-3", 0, 0.0015},
      {"1.234-100", 0, 1.234e-100},  // as E fields print it
      {"1.234+100", 0, 1.234e100},
      {"1 . 5 E 3", 0, 1500.0},
      {"1.5E 3", 0, 1500.0},
      {"1.5E+ 3", 0, 1500.0},
      {"1.5E03  ", 0, 1500.0},
      {"0.1", 0, 0.1},
      {"0.3", 0, 0.3},
      {"123456789012345", 0, 123456789012345.0},
      {"1234567890123456789", 0, 1234567890123456789.0},
      {"0.000000000000000000000000000001", 0, 1e-30},
      {"1e22", 0, 1e22},
      {"1e23", 0, 1e23},
      {"9007199254740993", 0, 9007199254740992.0},  // a tie: to even
      {"9007199254740995", 0, 9007199254740996.0},
      // The ends of the range, correctly rounded.
      {"1.7976931348623157e308", 0, DBL_MAX},
      {"1.7976931348623158e308", 0, DBL_MAX},
      {"1.7976931348623159e308", 0, kInf},
      {"1e309", 0, kInf},
      {"-1E400", 0, -kInf},
      {"2.2250738585072014e-308", 0, DBL_MIN},
      {"4.9406564584124654e-324", 0, 4.9406564584124654e-324},
      {"2.4703282292062328e-324", 0, 4.9406564584124654e-324},
      {"2.4703282292062327e-324", 0, 0.0},
      {"1e-400", 0, 0.0},
      // Exponents far past any int are clamped, not overflowed.
      {"1E99999999999999999999", 0, kInf},
      {"1E-99999999999999999999", 0, 0.0},
      {"-1E+2147483648", 0, -kInf},
      {"0E99999999999999999999", 0, 0.0},
      {"0.0000000000001E2147483647", 0, kInf},
  };
  for (const Case& c : cases) {
    double value = 99;
    EXPECT_TRUE(parse_real(c.text, c.d, value)) << '"' << c.text << '"';
    EXPECT_EQ(value, c.value) << '"' << c.text << '"';
  }
}

TEST(ParseReal, SignsOfZero) {
  // A sign alone reads as zero, like an integer field; the sign is kept.
  double value = 99;
  ASSERT_TRUE(parse_real("-", 0, value));
  EXPECT_EQ(value, 0.0);
  EXPECT_TRUE(std::signbit(value));
  ASSERT_TRUE(parse_real("+", 0, value));
  EXPECT_EQ(value, 0.0);
  EXPECT_FALSE(std::signbit(value));
  ASSERT_TRUE(parse_real("  -0.0", 0, value));
  EXPECT_TRUE(std::signbit(value));
  ASSERT_TRUE(parse_real("", 0, value));
  EXPECT_FALSE(std::signbit(value));
}

TEST(ParseReal, AnythingElseIsAConversionError) {
  const char* const cases[] = {
      // No digit in the mantissa, or an exponent marker with no digits.
      ".",
      "-.",
      " + . ",
      "E5",
      ".E5",
      "-E5",
      "1.5E",
      "1.5E+",
      "1.5+",
      "1.5e-",
      "1.5D",
      "1.5 E ",
      // Out of the grammar.
      "1..5",
      "1.5.",
      "1.5E3.0",
      "1e5e5",
      "1.5E3+2",
      "+-1",
      "--1",
      "1-+2",
      "1,5",
      "0x10",
      "1.5x",
      "\t1.5",
      "1.5\t",
      "1/2",
      "1.5F3",
      // Words for infinity and not-a-number are not numbers here.
      "inf",
      "-inf",
      "Infinity",
      "nan",
      "NaN",
      "INF",
  };
  for (const char* text : cases) {
    double value = 99;
    EXPECT_FALSE(parse_real(text, 0, value)) << '"' << text << '"';
    EXPECT_EQ(value, 99) << "left alone on error: \"" << text << '"';
  }
}

TEST(ParseReal, DigitsPastWhatRoundingCanSee) {
  // 1 + 2^-53 is halfway between 1 and the next double: a tie, to even.
  const std::string half =
      "1.00000000000000011102230246251565404236316680908203125";
  double value = 0;
  ASSERT_TRUE(parse_real(half, 0, value));
  EXPECT_EQ(value, 1.0);
  // A 1 far beyond the 767th significant digit still breaks the tie.
  ASSERT_TRUE(parse_real(half + std::string(900, '0') + "1", 0, value));
  EXPECT_EQ(value, std::nextafter(1.0, 2.0));
  ASSERT_TRUE(parse_real(half + std::string(900, '0'), 0, value));
  EXPECT_EQ(value, 1.0);
  // Thousands of digits before the point and after it.
  ASSERT_TRUE(parse_real("1" + std::string(400, '0'), 0, value));
  EXPECT_EQ(value, kInf);
  ASSERT_TRUE(parse_real("1" + std::string(300, '0') + "E-290", 0, value));
  EXPECT_EQ(value, 1e10);
  ASSERT_TRUE(parse_real("0." + std::string(2000, '0') + "1E2010", 0, value));
  EXPECT_EQ(value, 1e9);
  ASSERT_TRUE(parse_real("1" + std::string(2000, '0'), 2010, value));
  EXPECT_EQ(value, 1e-10);
  // Implied decimals by the hundred thousand cancel exactly.
  ASSERT_TRUE(parse_real("1" + std::string(300000, '0'), 300000, value));
  EXPECT_EQ(value, 1.0);
  ASSERT_TRUE(
      parse_real("0." + std::string(300000, '0') + "1E300000", 0, value));
  EXPECT_EQ(value, 0.1);
}

// strtod of text in the C library's own grammar, for comparison.
double c_library(const std::string& text) {
  return std::strtod(text.c_str(), nullptr);
}

TEST(ParseReal, RandomDecimalsMatchTheCLibrary) {
  test_support::SeededRng rng(99);
  std::size_t failures = 0;
  for (int i = 0; i < 200000 && failures < 20; ++i) {
    // 1 to 25 digits, a point somewhere or nowhere, an exponent or none.
    std::string digits;
    const std::size_t count = 1 + rng() % 25;
    for (std::size_t j = 0; j < count; ++j) {
      digits += static_cast<char>('0' + rng() % 10);
    }
    const std::size_t point = rng() % (count + 2);
    std::string mantissa;
    for (std::size_t j = 0; j <= count; ++j) {
      if (j == point) {
        mantissa += '.';
      }
      if (j < count) {
        mantissa += digits[j];
      }
    }
    const int exponent = static_cast<int>(rng() % 661) - 330;
    const bool with_exponent = rng() % 2 == 0;
    const bool negative = rng() % 3 == 0;
    std::string text;
    if (negative) {
      text += '-';
    }
    text += mantissa;
    if (with_exponent) {
      text.append("e").append(std::to_string(exponent));
    }
    const std::int32_t d = static_cast<std::int32_t>(rng() % 4);
    // Without a point the d decimals are the same as an exponent less d.
    std::string reference = text;
    if (point > count) {
      reference.clear();
      if (negative) {
        reference += '-';
      }
      reference.append(digits).append("e").append(
          std::to_string((with_exponent ? exponent : 0) - d));
    }
    double value = 0;
    const bool ok = parse_real(text, d, value);
    const double expected = c_library(reference);
    if (!ok || std::bit_cast<std::uint64_t>(value) !=
                   std::bit_cast<std::uint64_t>(expected)) {
      ++failures;
      ADD_FAILURE() << '"' << text << "\" with d = " << d << ": " << value
                    << ", expected " << expected;
    }
  }
}

TEST(ParseReal, RandomDoublesRoundTrip) {
  test_support::SeededRng rng(5);
  std::size_t failures = 0;
  for (int i = 0; i < 100000 && failures < 20; ++i) {
    double v = 0;
    do {
      v = std::bit_cast<double>(rng());
    } while (!std::isfinite(v));
    // 17 significant digits identify every double; 1P,E26.17 prints 18,
    // with the letterless exponent from 100 on.
    std::string field(26, ' ');
    render_exp(field, 17, 1, v);
    std::array<char, 40> text{};
    std::snprintf(text.data(), text.size(), "%.17e", v);
    double from_field = 0;
    double from_text = 0;
    const bool ok = parse_real(field, 0, from_field) &&
                    parse_real(text.data(), 0, from_text);
    if (!ok || from_field != v || from_text != c_library(text.data())) {
      ++failures;
      ADD_FAILURE() << '"' << field << "\" / \"" << text.data() << "\" read "
                    << from_field << " / " << from_text;
    }
  }
}

TEST(ParseReal, TenColumnFieldsAsTheDriverReadsThem) {
  // (11F10.0): what the tableau rows look like.
  struct Case {
    const char* text;
    double value;
  };
  const Case cases[] = {
      {"       1.5", 1.5},   {"      -2e3", -2000.0}, {"        12", 12.0},
      {"     -0.25", -0.25}, {"1.0e10    ", 1.0e10},  {"  1.0E+30 ", 1.0e30},
      {"         0", 0.0},   {"    3.1416", 3.1416},
  };
  for (const Case& c : cases) {
    double value = 99;
    EXPECT_TRUE(parse_real(c.text, 0, value)) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
  }
}

}  // namespace
}  // namespace recio
