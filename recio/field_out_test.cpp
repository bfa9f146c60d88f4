#include "recio/field_out.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstdint>
#include <limits>
#include <string>

namespace recio {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr std::int32_t kMinInt = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMaxInt = std::numeric_limits<std::int32_t>::max();

std::string int_field(std::size_t w, std::int32_t v) {
  std::string out(w, '?');
  render_int(out, v);
  return out;
}

std::string fixed_field(std::size_t w, std::int32_t d, std::int32_t k,
                        double v) {
  std::string out(w, '?');
  render_fixed(out, d, k, v);
  return out;
}

std::string exp_field(std::size_t w, std::int32_t d, std::int32_t k, double v) {
  std::string out(w, '?');
  render_exp(out, d, k, v);
  return out;
}

TEST(RenderInt, RightJustifiedWithAsterisksWhenTooWide) {
  struct Case {
    std::size_t w;
    std::int32_t value;
    const char* field;
  };
  const Case cases[] = {
      {5, 0, "    0"},
      {5, -1234, "-1234"},
      {5, 12345, "12345"},
      {5, -12345, "*****"},
      {5, 123456, "*****"},
      {5, 7, "    7"},
      {5, -7, "   -7"},
      {4, kMinInt, "****"},
      {11, kMinInt, "-2147483648"},
      {12, kMinInt, " -2147483648"},
      {10, kMinInt, "**********"},
      {10, kMaxInt, "2147483647"},
      {9, kMaxInt, "*********"},
      {1, 0, "0"},
      {1, -1, "*"},
      {1, 9, "9"},
      {1, 10, "*"},
      {2, -9, "-9"},
      {6, 61, "    61"},
      {9, 110, "      110"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(int_field(c.w, c.value), c.field) << c.w << " " << c.value;
  }
}

TEST(RenderFixed, DigitsAndSignFromTheExactValue) {
  struct Case {
    std::size_t w;
    std::int32_t d;
    double value;
    const char* field;
  };
  const Case cases[] = {
      {7, 2, 3.14159, "   3.14"},
      {7, 2, -0.5, "  -0.50"},
      {7, 2, 0.0, "   0.00"},
      {7, 2, -0.0, "   0.00"},    // an exact zero never shows a sign
      {7, 2, -0.001, "  -0.00"},  // a negative value rounding to zero does
      {7, 2, 0.001, "   0.00"},
      {7, 2, 0.125, "   0.13"},  // exact tie: away from zero
      {7, 2, -0.125, "  -0.13"},
      {7, 2, 0.375, "   0.38"},
      {7, 2, 2.675, "   2.67"},  // stored just below 2.675
      {7, 2, 1.005, "   1.00"},  // stored just below 1.005
      {7, 2, 1.015, "   1.01"},  // stored just below 1.015
      {7, 2, 1.025, "   1.02"},  // stored just below 1.025
      {7, 2, 0.045, "   0.04"},  // 0.04499999999999999833...
      {7, 2, 0.005, "   0.01"},  // 0.00500000000000000010...
      {7, 2, 0.0049999999999999992, "   0.00"},
      {7, 2, 9999.99, "9999.99"},
      {7, 2, 9999.994, "9999.99"},
      {7, 2, 9999.995, "*******"},  // rounds to 10000.00: one column too many
      {7, 2, 9999.999, "*******"},
      {7, 2, 12345.678, "*******"},
      {7, 2, -999.99, "-999.99"},
      {7, 2, -999.995, "*******"},
      {7, 2, -999.994, "-999.99"},
      {7, 2, 99.995, " 100.00"},  // stored just above 99.995
      {7, 2, 1e300, "*******"},
      {7, 2, DBL_MAX, "*******"},
      {7, 2, 5e-324, "   0.00"},
      {7, 2, -5e-324, "  -0.00"},
      {7, 2, DBL_MIN, "   0.00"},
      {8, 2, 61.0, "   61.00"},
      {8, 2, -1.0e10, "********"},
      {9, 2, 123456.785, "123456.79"},  // stored above the tie
      {9, 2, -12345.675, "-12345.67"},  // stored below the tie
      {9, 2, 1.0e30, "*********"},
      {4, 2, 0.5, "0.50"},
      {4, 2, -0.5, "-.50"},  // no room for the 0 with the sign
      {5, 2, -0.5, "-0.50"},
      {3, 2, 0.5, ".50"},
      {3, 2, -0.5, "***"},
      {2, 2, 0.5, "**"},
      {6, 0, 2.5, "    3."},
      {6, 0, -2.5, "   -3."},
      {6, 0, 0.4, "    0."},
      {6, 0, 0.5, "    1."},
      {2, 0, 0.4, "0."},
      {1, 0, 0.4, "."},
      {10, 5, 0.000005, "   0.00001"},  // 5.00000000000000040902e-06
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fixed_field(c.w, c.d, 0, c.value), c.field)
        << "F" << c.w << "." << c.d << " of " << c.value;
  }
  // Wide fields, digits well past the shortest form.
  EXPECT_EQ(fixed_field(30, 10, 0, 1e15),
            std::string(3, ' ') + "1000000000000000.0000000000");
  EXPECT_EQ(fixed_field(40, 20, 0, 0.1),
            std::string(18, ' ') + "0.10000000000000000555");
  EXPECT_EQ(fixed_field(40, 20, 0, 1e-5),
            std::string(18, ' ') + "0.00001000000000000000");
  EXPECT_EQ(fixed_field(320, 2, 0, -DBL_MAX).substr(0, 28),
            std::string(7, ' ') + "-17976931348623157081");
}

TEST(RenderFixed, ScaleFactorMultipliesInDoubleArithmeticFirst) {
  // 1P: the value times 10.0; -1P: times 0.1; each product rounded as it
  // happens, so 0.1 x 10.0 is exactly 1.0 but 1.15 x 10.0 is 11.5 (rounded
  // product), and -2P of 12.5 is 12.5 x 0.1 x 0.1.
  EXPECT_EQ(fixed_field(7, 2, 1, 0.1), "   1.00");
  EXPECT_EQ(fixed_field(7, 2, 1, 1.15), "  11.50");
  EXPECT_EQ(fixed_field(7, 1, 1, 0.125), "    1.3");
  EXPECT_EQ(fixed_field(7, 2, 2, -1.5), "-150.00");
  EXPECT_EQ(fixed_field(7, 2, 3, 12.0), "*******");
  EXPECT_EQ(fixed_field(8, 4, -2, 12.5), "  0.1250");
  EXPECT_EQ(fixed_field(8, 4, -1, 0.0), "  0.0000");
  EXPECT_EQ(fixed_field(8, 4, -1, -0.0), "  0.0000");
  // Overflow to infinity on the way is shown as such.
  EXPECT_EQ(fixed_field(10, 2, 1, DBL_MAX), " Infinity ");
  EXPECT_EQ(fixed_field(10, 2, 1, -DBL_MAX), " -Infinity");
  // A huge k stops as soon as the value is zero or infinite.
  EXPECT_EQ(fixed_field(10, 2, kMaxInt, 1.0), " Infinity ");
  EXPECT_EQ(fixed_field(10, 2, kMinInt + 1, 1.0), "      0.00");
  EXPECT_EQ(fixed_field(10, 2, kMinInt + 1, -1.0), "      0.00");  // -0.0
  EXPECT_EQ(fixed_field(10, 2, kMinInt, 1.0), "      0.00");
  EXPECT_EQ(fixed_field(10, kMaxInt, 0, 1.0), "**********");
}

TEST(RenderExp, OneDigitBeforeThePointWithOneP) {
  struct Case {
    std::size_t w;
    std::int32_t d;
    double value;
    const char* field;
  };
  const Case cases[] = {
      {10, 3, 0.0, " 0.000E+00"},
      {10, 3, -0.0, " 0.000E+00"},
      {10, 3, 1.0, " 1.000E+00"},
      {10, 3, -1.0, "-1.000E+00"},
      {10, 3, 123.456, " 1.235E+02"},
      {10, 3, -0.000123456, "-1.235E-04"},
      {10, 3, 9.9996, " 1.000E+01"},  // the carry adds a digit
      {10, 3, 9.99951, " 1.000E+01"},
      {10, 3, 9.99949, " 9.999E+00"},
      {10, 3, 1.0625, " 1.063E+00"},  // exact tie: away from zero
      {10, 3, -1.0625, "-1.063E+00"},
      {10, 3, 12345.0, " 1.235E+04"},  // exact tie above the units
      {10, 3, 1.2345, " 1.234E+00"},   // stored below the tie
      {10, 3, 1.0e100, " 1.000+100"},
      {10, 3, 1.0e-100, " 1.000-100"},
      {10, 3, -1.0e-100, "-1.000-100"},
      {10, 3, 9.9996e99, " 1.000+100"},  // the carry crosses to 3 digits
      {10, 3, 9.9994e99, " 9.999E+99"},
      {10, 3, 1.0e99, " 1.000E+99"},
      {10, 3, 1.0e-99, " 1.000E-99"},
      {10, 3, 9.9996e-100, " 1.000E-99"},
      {10, 3, DBL_MAX, " 1.798+308"},
      {10, 3, -DBL_MAX, "-1.798+308"},
      {10, 3, DBL_MIN, " 2.225-308"},
      {10, 3, 5e-324, " 4.941-324"},
      {10, 3, -5e-324, "-4.941-324"},
      {10, 3, 1.0e30, " 1.000E+30"},
      {9, 2, 12.5, " 1.25E+01"},
      {9, 2, 0.125, " 1.25E-01"},
      {9, 2, 1.125, " 1.13E+00"},
      {9, 2, -1.125, "-1.13E+00"},
      {15, 8, 1234.5, " 1.23450000E+03"},
      {15, 8, 0.0, " 0.00000000E+00"},
      {15, 8, 0.1, " 1.00000000E-01"},
      {15, 8, 1.0 / 3.0, " 3.33333333E-01"},
      {15, 8, -2.0 / 3.0, "-6.66666667E-01"},
      {9, 3, -1.0, "*********"},  // needs 10 columns
      {9, 3, 1.0, "1.000E+00"},   // exactly fits, no leading blank
      {9, 3, 0.0, "0.000E+00"},
      {8, 3, 0.0, ".000E+00"},                     // no room for the 0
      {25, 17, 0.1, "  1.00000000000000006E-01"},  // 18 digits: exact path
      {30, 22, 0.1, "  1.0000000000000000555112E-01"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(exp_field(c.w, c.d, 1, c.value), c.field)
        << "1P,E" << c.w << "." << c.d << " of " << c.value;
  }
}

TEST(RenderExp, ZeroAndNegativeScaleFactors) {
  struct Case {
    std::size_t w;
    std::int32_t d;
    std::int32_t k;
    double value;
    const char* field;
  };
  const Case cases[] = {
      // k = 0: "0." then d significant digits; the exponent is one more.
      {10, 3, 0, 123.456, " 0.123E+03"},
      {10, 3, 0, -123.456, "-0.123E+03"},
      {9, 3, 0, -123.456, "-.123E+03"},  // the 0 gives way to the sign
      {10, 3, 0, 0.9996, " 0.100E+01"},
      {10, 3, 0, 1.0e-100, " 0.100E-99"},
      {10, 3, 0, 1.0e99, " 0.100+100"},
      {10, 3, 0, DBL_MAX, " 0.180+309"},
      {10, 3, 0, 5e-324, " 0.494-323"},
      // k < 0: -k zeros after the point, d + k significant digits.
      {12, 5, -2, 123.456, " 0.00123E+05"},
      {12, 5, -2, -0.0015, "-0.00150E+00"},
      {11, 5, -2, -0.0015, "-.00150E+00"},
      // k > 1: k digits before the point, d - k + 1 after it.
      {12, 4, 2, 123.456, "  12.346E+01"},
      {12, 4, 3, 123.456, "  123.46E+00"},
      {12, 4, 5, 123.456, "  12346.E-02"},  // k = d + 1: no digit after
      {10, 3, 2, 9.9996, " 10.00E+00"},
      // Outside -d < k <= d + 1 no digit fits its place.
      {12, 4, 6, 123.456, "************"},
      {12, 4, -4, 123.456, "************"},
      {12, 0, 0, 123.456, "************"},
      {12, 0, 1, 123.456, "      1.E+02"},
      // An exact zero takes k as 0 whatever it is.
      {10, 3, 2, 0.0, " 0.000E+00"},
      {10, 3, -2, -0.0, " 0.000E+00"},
      {12, 4, 6, 0.0, "  0.0000E+00"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(exp_field(c.w, c.d, c.k, c.value), c.field)
        << c.k << "P,E" << c.w << "." << c.d << " of " << c.value;
  }
}

TEST(RenderExp, HugeScaleFactorsGiveLongFieldsOrAsterisks) {
  // -400P with d = 405: the first of 5 significant digits stands 400 places
  // after the point, and the printed exponent is 400 more than the value's.
  EXPECT_EQ(exp_field(420, 405, -400, 1.0e300),
            std::string(9, ' ') + "0." + std::string(400, '0') + "10000+701");
  // A printed exponent beyond 999 does not fit its four columns.
  EXPECT_EQ(exp_field(720, 705, -700, 1.0e300), std::string(720, '*'));
  EXPECT_EQ(exp_field(999, 700, 700, 1.0e-305), std::string(999, '*'));
  // Extreme d and k neither overflow nor read past the field.
  EXPECT_EQ(exp_field(10, kMaxInt, 1, 1.0), std::string(10, '*'));
  EXPECT_EQ(exp_field(10, kMaxInt, kMinInt, 1.0), std::string(10, '*'));
  EXPECT_EQ(exp_field(10, kMaxInt, kMaxInt, 1.0), std::string(10, '*'));
  EXPECT_EQ(exp_field(10, 3, kMinInt, 1.0), std::string(10, '*'));
  EXPECT_EQ(exp_field(10, 3, kMaxInt, 1.0), std::string(10, '*'));
  EXPECT_EQ(exp_field(10, kMaxInt, 0, 0.0), std::string(10, '*'));
  const std::string fits = exp_field(999, 700, 700, 1.0e-300);
  EXPECT_EQ(fits.substr(fits.size() - 4), "-999");
}

TEST(RenderNonFinite, TextFromTheSecondColumn) {
  struct Case {
    std::size_t w;
    double value;
    const char* field;
  };
  const Case cases[] = {
      {10, kNaN, " NaN      "}, {10, -kNaN, " NaN      "},  // never a sign
      {10, kInf, " Infinity "}, {10, -kInf, " -Infinity"},
      {9, -kInf, "-Infinity"},  // exactly as wide: from the first column
      {8, -kInf, "********"},   {9, kInf, " Infinity"},
      {8, kInf, "Infinity"},    {7, kInf, "*******"},
      {4, kNaN, " NaN"},        {3, kNaN, "NaN"},
      {2, kNaN, "**"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fixed_field(c.w, 2, 0, c.value), c.field) << "F " << c.value;
    EXPECT_EQ(exp_field(c.w, 3, 1, c.value), c.field) << "E " << c.value;
  }
}

TEST(RenderReal, EmptyFieldsAndBadDecimals) {
  std::string empty;
  render_fixed(empty, 2, 0, 1.0);
  render_exp(empty, 3, 1, 1.0);
  render_int(empty, 5);
  EXPECT_TRUE(empty.empty());
  EXPECT_EQ(fixed_field(6, -1, 0, 1.0), "******");
  EXPECT_EQ(exp_field(10, -1, 1, 1.0), "**********");
}

}  // namespace
}  // namespace recio
