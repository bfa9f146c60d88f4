#include "recio/float_digits.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "recio/field_out.h"
#include "tests/support/seed.h"

namespace recio {
namespace {

// ---------------------------------------------------------------------------
// The oracle: the exact decimal expansion of a double from plain big-integer
// arithmetic in base 10^9, sharing nothing with the code under test.
// |v| = f x 2^b with an odd integer f; for b >= 0 its digits are those of
// f x 2^b, for b < 0 those of f x 5^-b with the point moved -b places.
// ---------------------------------------------------------------------------

using Big = std::vector<std::uint32_t>;  // base 10^9, least significant first
constexpr std::uint64_t kBase = 1000000000;

Big times_small(const Big& a, std::uint32_t factor) {
  Big r;
  r.reserve(a.size() + 1);
  std::uint64_t carry = 0;
  for (const std::uint32_t limb : a) {
    const std::uint64_t x = std::uint64_t{limb} * factor + carry;
    r.push_back(static_cast<std::uint32_t>(x % kBase));
    carry = x / kBase;
  }
  if (carry != 0) {
    r.push_back(static_cast<std::uint32_t>(carry));
  }
  return r;
}

// powers[j] = base^j, built once.
const Big& power(std::uint32_t base, std::size_t j) {
  static std::vector<Big> fives{Big{1}};
  static std::vector<Big> twos{Big{1}};
  std::vector<Big>& table = base == 5 ? fives : twos;
  while (table.size() <= j) {
    table.push_back(times_small(table.back(), base));
  }
  return table[j];
}

class Expansion {
 public:
  // |value|, finite and not zero.
  explicit Expansion(double value) {
    int binary_exponent = 0;
    const double fraction = std::frexp(std::fabs(value), &binary_exponent);
    auto f = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
    int b = binary_exponent - 53;
    while ((f & 1) == 0) {
      f >>= 1;
      ++b;
    }
    const Big& p = b >= 0 ? power(2, static_cast<std::size_t>(b))
                          : power(5, static_cast<std::size_t>(-b));
    // p x f, with f = hi x 10^9 + lo, into base-10^9 limbs; every slot
    // stays below 2^63 because the carries move along as we go.
    const std::uint64_t lo = f % kBase;
    const std::uint64_t hi = f / kBase;
    std::array<std::uint64_t, kMaxLimbs> acc{};
    for (std::size_t i = 0; i < p.size(); ++i) {
      acc[i] += p[i] * lo;
      acc[i + 1] += p[i] * hi;
      acc[i + 1] += acc[i] / kBase;
      acc[i] %= kBase;
    }
    std::size_t limbs = p.size() + 2;
    for (std::size_t i = 0; i + 1 < limbs; ++i) {
      acc[i + 1] += acc[i] / kBase;
      acc[i] %= kBase;
    }
    // Nine digits per limb, most significant first.
    std::size_t n = 0;
    for (std::size_t i = limbs; i-- > 0;) {
      std::uint64_t limb = acc[i];
      for (std::size_t j = 9; j-- > 0;) {
        digits_[n + j] = static_cast<char>('0' + limb % 10);
        limb /= 10;
      }
      n += 9;
    }
    std::string_view all(digits_.data(), n);
    const std::size_t first = all.find_first_not_of('0');
    const std::size_t last = all.find_last_not_of('0');
    exponent_ = static_cast<int>(n - first) + (b < 0 ? b : 0);
    view_ = all.substr(first, last + 1 - first);
  }
  Expansion(const Expansion&) = delete;
  Expansion& operator=(const Expansion&) = delete;

  // Digit i of 0.d0 d1 d2 ... (zeros past the last significant one).
  char digit(std::int64_t i) const {
    return i >= 0 && i < static_cast<std::int64_t>(view_.size())
               ? view_[static_cast<std::size_t>(i)]
               : '0';
  }
  // |value| = 0.d0 d1 ... x 10^exponent.
  int exponent() const { return exponent_; }
  // Every significant digit.
  std::string_view digits() const { return view_; }

 private:
  // 5^1074 has 751 digits, times a 53-bit f: at most 767 digits.
  static constexpr std::size_t kMaxLimbs = 96;
  std::array<char, 9 * kMaxLimbs> digits_{};
  std::string_view view_;
  int exponent_ = 0;
};

// Expansions of the few values one test case needs (the value, and the
// value times 10.0 for 1P in F), each made once.
class ExpansionCache {
 public:
  const Expansion& of(double v) {
    const auto bits = std::bit_cast<std::uint64_t>(std::fabs(v));
    for (std::size_t i = 0; i < used_; ++i) {
      if (keys_[i] == bits) {
        return *entries_[i];
      }
    }
    if (used_ == entries_.size()) {
      used_ = 0;
    }
    keys_[used_] = bits;
    entries_[used_].emplace(v);
    return *entries_[used_++];
  }
  void clear() { used_ = 0; }

 private:
  std::array<std::uint64_t, 2> keys_{};
  std::array<std::optional<Expansion>, 2> entries_;
  std::size_t used_ = 0;
};

// The first `count` digits, rounded half away from zero at the last of
// them. Returns true when a carry ran out of the front (the result then
// has count + 1 digits).
bool rounded_prefix(const Expansion& x, std::int64_t count, std::string& out) {
  out.clear();
  if (count > 0) {
    const auto n = static_cast<std::size_t>(count);
    out.assign(x.digits().substr(0, n));
    out.resize(n, '0');
  }
  if (count < 0 || x.digit(count) < '5') {
    return false;
  }
  for (std::size_t i = out.size(); i-- > 0;) {
    if (out[i] != '9') {
      ++out[i];
      return false;
    }
    out[i] = '0';
  }
  out.insert(out.begin(), '1');
  return true;
}

// ---------------------------------------------------------------------------
// Reference fields, written from the rules in the plainest way.
// ---------------------------------------------------------------------------

std::string stars(std::size_t w) { return std::string(w, '*'); }

std::string right_justify(std::size_t w, const std::string& body) {
  return body.size() > w ? stars(w) : std::string(w - body.size(), ' ') + body;
}

std::string reference_non_finite(std::size_t w, double v) {
  const std::string text =
      std::isnan(v) ? "NaN" : (std::signbit(v) ? "-Infinity" : "Infinity");
  if (w < text.size()) {
    return stars(w);
  }
  if (w == text.size()) {
    return text;
  }
  return " " + text + std::string(w - text.size() - 1, ' ');
}

// |v| with d decimals: integer digits (none for 0), ".", d digits.
std::string reference_fixed_text(int d, double v, ExpansionCache& cache) {
  const auto decimals = static_cast<std::size_t>(d);
  std::string r;  // digits of round(|v| x 10^d), no leading zeros
  if (v != 0) {
    const Expansion& x = cache.of(v);
    rounded_prefix(x, x.exponent() + d, r);
    if (r.empty() && x.exponent() + d == 0 && x.digit(0) >= '5') {
      r = "1";
    }
  }
  const std::string whole =
      r.size() > decimals ? r.substr(0, r.size() - decimals) : "";
  const std::string fraction = r.size() > decimals
                                   ? r.substr(r.size() - decimals)
                                   : std::string(decimals - r.size(), '0') + r;
  return whole + "." + fraction;
}

std::string reference_fixed(std::size_t w, int d, int k, double v,
                            ExpansionCache& cache) {
  for (int i = 0; i < std::abs(k); ++i) {
    v *= k > 0 ? 10.0 : 0.1;
  }
  if (!std::isfinite(v)) {
    return reference_non_finite(w, v);
  }
  if (v != 0 && cache.of(v).exponent() > static_cast<int>(w)) {
    return stars(w);  // more integer digits than columns
  }
  const bool negative = std::signbit(v) && v != 0;
  std::string body = reference_fixed_text(d, v, cache);
  if (body[0] == '.' && body.size() + (negative ? 1 : 0) + 1 <= w) {
    body = "0" + body;
  }
  if (negative) {
    body = "-" + body;
  }
  return right_justify(w, body);
}

std::string reference_exp(std::size_t w, int d, int k, double v,
                          ExpansionCache& cache) {
  if (!std::isfinite(v)) {
    return reference_non_finite(w, v);
  }
  if (v == 0) {
    std::string body =
        "." + std::string(static_cast<std::size_t>(d), '0') + "E+00";
    if (body.size() + 1 <= w) {
      body = "0" + body;
    }
    return right_justify(w, body);
  }
  if ((k > 0 && k > d + 1) || (k <= 0 && k <= -d)) {
    return stars(w);
  }
  const int n = k > 0 ? d + 1 : d + k;
  const Expansion& x = cache.of(v);
  int e = x.exponent();
  std::string digits;
  if (rounded_prefix(x, n, digits)) {
    digits.pop_back();
    ++e;
  }
  std::string mantissa =
      k > 0 ? digits.substr(0, static_cast<std::size_t>(k)) + "." +
                  digits.substr(static_cast<std::size_t>(k))
            : "." + std::string(static_cast<std::size_t>(-k), '0') + digits;
  const int shown = e - k;
  const int magnitude = std::abs(shown);
  if (magnitude > 999) {
    return stars(w);
  }
  std::string exponent = shown < 0 ? "-" : "+";
  const std::string number = std::to_string(magnitude);
  if (magnitude <= 99) {
    exponent = "E" + exponent + std::string(2 - number.size(), '0') + number;
  } else {
    exponent += number;
  }
  const bool negative = std::signbit(v);
  if (k <= 0 && mantissa.size() + 4 + (negative ? 1 : 0) + 1 <= w) {
    mantissa = "0" + mantissa;
  }
  return right_justify(w, (negative ? "-" : "") + mantissa + exponent);
}

// A field alone, and checked against the same value in a run of fields
// (where the width is fixed for the whole run).
std::string fixed_field(std::size_t w, int d, int k, double v) {
  std::string out(w, '?');
  render_fixed(out, d, k, v);
  const std::array<double, 3> values = {v, -v, v};
  std::string run(3 * w, '?');
  render_fixed_each(run, d, k, values);
  if (run.substr(0, w) != out || run.substr(2 * w) != out) {
    return "in a run: \"" + run + "\"";
  }
  return out;
}

std::string exp_field(std::size_t w, int d, int k, double v) {
  std::string out(w, '?');
  render_exp(out, d, k, v);
  const std::array<double, 3> values = {v, -v, v};
  std::string run(3 * w, '?');
  render_exp_each(run, d, k, values);
  if (run.substr(0, w) != out || run.substr(2 * w) != out) {
    return "in a run: \"" + run + "\"";
  }
  return out;
}

// The oracle itself, on values whose expansions are known by heart.
TEST(ExactExpansion, KnownValues) {
  struct Case {
    double value;
    const char* digits;
    int exponent;
  };
  const Case cases[] = {
      {1.0, "1", 1},
      {0.125, "125", 0},
      {2.675, "267499999999999982236431605997495353221893310546875", 1},
      {1e23, "99999999999999991611392", 23},
      {0.1, "1000000000000000055511151231257827021181583404541015625", 0},
  };
  for (const Case& c : cases) {
    const Expansion x(c.value);
    EXPECT_EQ(x.exponent(), c.exponent) << c.value;
    EXPECT_EQ(x.digits(), c.digits) << c.value;
  }
  // The smallest subnormal: 4.940656458412465441765687928682213723651e-324
  // and 751 significant digits in all.
  const Expansion tiny(std::numeric_limits<double>::denorm_min());
  EXPECT_EQ(tiny.exponent(), -323);
  EXPECT_EQ(tiny.digit(0), '4');
  EXPECT_EQ(tiny.digit(1), '9');
  EXPECT_EQ(tiny.digits().size(), 751u);
  EXPECT_EQ(tiny.digits().back(), '5');
}

// ---------------------------------------------------------------------------
// float_digits itself.
// ---------------------------------------------------------------------------

std::string significant(double v, std::size_t n, std::int32_t& e,
                        std::size_t point = kNoPoint) {
  std::string out(n + (point == kNoPoint ? 0 : 1), '?');
  e = significant_digits(v, out, point);
  return out;
}

std::string fixed(double v, std::int32_t decimals, std::size_t room) {
  std::string out(room, '?');
  const std::int32_t length = fixed_digits(v, decimals, out);
  if (length < 0) {
    return "overflow";
  }
  return out.substr(room - static_cast<std::size_t>(length));
}

TEST(FloatDigits, SignificantDigitsRoundOnceHalfAwayFromZero) {
  struct Case {
    double value;
    std::size_t n;
    std::size_t point;
    const char* digits;
    std::int32_t exponent;
  };
  const Case cases[] = {
      {123.456, 4, 1, "1.235", 3},
      {-0.000123456, 4, 1, "1.235", -3},
      {9.9996, 4, 1, "1.000", 2},  // the carry adds a digit
      {9.99951, 4, 1, "1.000", 2},
      {9.9994, 4, 1, "9.999", 1},
      {0.125, 2, kNoPoint, "13", 0},  // an exact tie goes up
      {-0.125, 2, kNoPoint, "13", 0},
      {2.675, 3, kNoPoint, "267", 1},     // stored below 2.675
      {12345.0, 4, kNoPoint, "1235", 5},  // tie above the units
      {1.0625, 4, 1, "1.063", 1},
      {1e100, 4, 1, "1.000", 101},
      {1e-100, 4, 1, "1.000", -99},
      {5e-324, 4, 1, "4.941", -323},
      {DBL_MAX, 4, 1, "1.798", 309},
      {DBL_MAX, 17, kNoPoint, "17976931348623157", 309},
      {DBL_MIN, 17, kNoPoint, "22250738585072014", -307},
      {0.3, 17, kNoPoint, "29999999999999999", 0},
      {0.3, 20, kNoPoint, "29999999999999998890", 0},  // the exact path
      {1.0, 1, kNoPoint, "1", 1},
      {9.5, 1, kNoPoint, "1", 2},
      {1234.5, 9, 1, "1.23450000", 4},
  };
  for (const Case& c : cases) {
    std::int32_t e = 0;
    EXPECT_EQ(significant(c.value, c.n, e, c.point), c.digits) << c.value;
    EXPECT_EQ(e, c.exponent) << c.value;
  }
}

TEST(FloatDigits, FixedDigitsRoundOnceHalfAwayFromZero) {
  struct Case {
    double value;
    std::int32_t decimals;
    std::size_t room;
    const char* text;
  };
  const Case cases[] = {
      {0.125, 2, 8, ".13"},
      {-0.125, 2, 8, ".13"},
      {2.675, 2, 8, "2.67"},
      {0.005, 2, 8, ".01"},  // 0.005000000000000000104...
      {0.015, 2, 8, ".01"},  // 0.01499999999999999944...
      {-0.001, 2, 8, ".00"},
      {0.0, 2, 8, ".00"},
      {9.996, 2, 8, "10.00"},
      {9999.999, 2, 8, "10000.00"},
      {9999.999, 2, 7, "overflow"},
      {0.5, 0, 4, "1."},
      {0.49999999999999994, 0, 4, "."},
      {1e22, 0, 30, "10000000000000000000000."},
      {1e23, 0, 30, "99999999999999991611392."},
      {1e23, 0, 20, "overflow"},
      {DBL_MAX, 0, 20, "overflow"},
      {5e-324, 2, 8, ".00"},
      {0.5, 1, 8, ".5"},
      {12345.5, 0, 8, "12346."},
      {1.5, -1, 8, "overflow"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fixed(c.value, c.decimals, c.room), c.text) << c.value;
  }
  // The exact path past the table and past 767 digits.
  EXPECT_EQ(fixed(5e-324, 400, 410).substr(320, 10), "0000494065");
  EXPECT_EQ(fixed(DBL_MAX, 2, 320).substr(0, 20), "17976931348623157081");
}

// ---------------------------------------------------------------------------
// A million random doubles against the oracle: whole F and E fields, and
// the digits alone for a quarter as many. KARVON_RANDOM_CASES sets the
// count. By default a sanitizer build, where everything runs many times
// slower, takes 100000.
// ---------------------------------------------------------------------------

}  // namespace
}  // namespace recio

// The sanitizer runtimes define this; in a plain build the weak reference
// stays null.
extern "C" [[gnu::weak]] void __sanitizer_print_stack_trace();

namespace recio {
namespace {

std::size_t random_case_count() {
  const char* text = std::getenv("KARVON_RANDOM_CASES");
  if (text != nullptr && *text != '\0') {
    return static_cast<std::size_t>(std::strtoull(text, nullptr, 10));
  }
  return &__sanitizer_print_stack_trace != nullptr ? 100000 : 1000000;
}

// Doubles of every kind the fields meet, and the hard ones.
class ValueSource {
 public:
  double next() {
    switch (pick(10)) {
      case 0:
      case 1: {  // any finite bit pattern
        double v = 0;
        do {
          v = std::bit_cast<double>(rng_());
        } while (!std::isfinite(v));
        return v;
      }
      case 2: {  // a short decimal, nearest double: 2.675, 0.015, ...
        const double digits = static_cast<double>(pick(10000000));
        return with_random_sign(digits /
                                std::pow(10.0, static_cast<double>(pick(9))));
      }
      case 3: {  // exact binary fractions: ties such as 0.125 and 2.5
        const double k = static_cast<double>(pick(1 << 20));
        return with_random_sign(std::ldexp(k, -static_cast<int>(1 + pick(20))));
      }
      case 4: {  // subnormals
        return with_random_sign(
            std::bit_cast<double>(rng_() & ((std::uint64_t{1} << 52) - 1)));
      }
      case 5: {  // huge
        const std::uint64_t exponent = 1900 + pick(146);
        return with_random_sign(std::bit_cast<double>(
            (exponent << 52) | (rng_() & ((std::uint64_t{1} << 52) - 1))));
      }
      case 6: {  // tableau-like: 1e-6 to 1e7
        std::uniform_real_distribution<double> u(-6.0, 7.0);
        return with_random_sign(std::pow(10.0, u(rng_)));
      }
      case 7: {  // within a few ulps of a decimal halfway point
        const double k = static_cast<double>(pick(100000)) + 0.5;
        const double mid =
            k * std::pow(10.0, static_cast<double>(pick(16)) - 10.0);
        return with_random_sign(nudge(mid));
      }
      case 8: {  // within a few ulps of a power of ten, or 9.9995-like
        const double p = std::pow(10.0, static_cast<double>(pick(633)) - 324.0);
        const double v = nudge(pick(2) == 0 ? p : p * 9.9995);
        return with_random_sign(std::isfinite(v) ? v : DBL_MAX);
      }
      default: {  // zeros, small integers and halves
        const double k = static_cast<double>(pick(2001)) - 1000.0;
        return pick(2) == 0 ? k : k / 2.0;
      }
    }
  }

 private:
  std::uint64_t pick(std::uint64_t n) { return rng_() % n; }
  double with_random_sign(double v) { return pick(2) == 0 ? v : -v; }
  double nudge(double v) {
    const auto steps = static_cast<int>(pick(5)) - 2;
    for (int i = 0; i < std::abs(steps); ++i) {
      v = std::nextafter(v, steps > 0 ? DBL_MAX : 0.0);
    }
    return v;
  }

  test_support::SeededRng rng_{20240611};
};

TEST(FloatDigits, RandomDoublesMatchTheExactExpansion) {
  ValueSource source;
  test_support::SeededRng rng(7);
  const std::size_t count = random_case_count() / 4;
  std::string expected;
  ExpansionCache cache;
  std::size_t failures = 0;
  for (std::size_t i = 0; i < count && failures < 20; ++i) {
    const double v = source.next();
    if (v == 0) {
      continue;
    }
    const Expansion x(v);
    const std::size_t n = 1 + rng() % 19;
    std::int32_t e = 0;
    const std::string got = significant(v, n, e);
    const bool carried =
        rounded_prefix(x, static_cast<std::int64_t>(n), expected);
    if (carried) {
      expected.pop_back();
    }
    const std::int32_t expected_e = x.exponent() + (carried ? 1 : 0);
    if (got != expected || e != expected_e) {
      ++failures;
      ADD_FAILURE() << "significant_digits(" << std::hexfloat << v
                    << std::defaultfloat << ", " << n << ") = " << got << " e"
                    << e << ", expected " << expected << " e" << expected_e;
    }
    const auto decimals = static_cast<std::int32_t>(rng() % 25);
    const std::string fixed_got = fixed(v, decimals, 40);
    cache.clear();
    std::string fixed_expected = x.exponent() > 40
                                     ? "overflow"
                                     : reference_fixed_text(decimals, v, cache);
    if (fixed_expected.size() > 40) {
      fixed_expected = "overflow";
    }
    if (fixed_got != fixed_expected) {
      ++failures;
      ADD_FAILURE() << "fixed_digits(" << std::hexfloat << v
                    << std::defaultfloat << ", " << decimals
                    << ") = " << fixed_got << ", expected " << fixed_expected;
    }
  }
  EXPECT_EQ(failures, 0u);
}

// The short fixed-point path (up to three decimals, magnitudes below 2^52,
// integer arithmetic on the significand) at every binary exponent it takes
// and a few past each of its limits: random significands, dyadic values with
// few bits (exact ties such as 0.625 to two decimals), and their neighbours.
TEST(FloatDigits, ShortFixedValuesAtEveryBinaryExponent) {
  test_support::SeededRng rng(11);
  ExpansionCache cache;
  std::size_t failures = 0;
  for (int e = -1074; e <= 56 && failures < 20; ++e) {
    // Far below the rounding point only a few exponents need a look.
    if (e < -80 && e % 97 != 0 && e != -1074) {
      continue;
    }
    for (std::int32_t d = 0; d <= 4; ++d) {
      for (int trial = 0; trial < 64; ++trial) {
        const double significand =
            trial % 2 == 0
                ? 1.0 + static_cast<double>(rng() >> 12) / 4503599627370496.0
                : static_cast<double>(2 * (rng() % 64) + 1);
        double v = std::ldexp(significand, e);
        if (trial % 8 >= 6) {
          v = std::nextafter(v, trial % 8 == 6 ? 0.0 : DBL_MAX);
        }
        if (v == 0 || !std::isfinite(v)) {
          continue;
        }
        v = rng() % 2 == 0 ? v : -v;
        cache.clear();
        std::string expected = reference_fixed_text(d, v, cache);
        if (expected.size() > 40) {
          expected = "overflow";
        }
        const std::string got = fixed(v, d, 40);
        if (got != expected) {
          ++failures;
          ADD_FAILURE() << "fixed_digits(" << std::hexfloat << v
                        << std::defaultfloat << ", " << d << ") = " << got
                        << ", expected " << expected;
        }
      }
    }
  }
  EXPECT_EQ(failures, 0u);
}

// The short path of significant_digits (up to eight digits, the rounding
// point at most three decimals below the units) at every binary exponent
// around it: random significands, dyadic values with few bits (exact ties),
// their neighbours, and values just below powers of ten (the carry).
TEST(FloatDigits, ShortSignificantDigitsAtEveryBinaryExponent) {
  test_support::SeededRng rng(13);
  std::string expected;
  std::size_t failures = 0;
  for (int e = -16; e <= 56 && failures < 20; ++e) {
    for (std::size_t n = 1; n <= 9; ++n) {
      for (int trial = 0; trial < 64; ++trial) {
        double v = 0;
        switch (trial % 4) {
          case 0:
            v = std::ldexp(
                1.0 + static_cast<double>(rng() >> 12) / 4503599627370496.0, e);
            break;
          case 1:
            v = std::ldexp(static_cast<double>(2 * (rng() % 64) + 1), e);
            break;
          case 2:
            v = std::nextafter(
                std::ldexp(static_cast<double>(2 * (rng() % 64) + 1), e),
                rng() % 2 == 0 ? 0.0 : DBL_MAX);
            break;
          default:
            v = std::pow(10.0, static_cast<double>(e % 12)) *
                (1.0 - std::ldexp(static_cast<double>(rng() % 64), -14));
            break;
        }
        if (v == 0 || !std::isfinite(v)) {
          continue;
        }
        v = rng() % 2 == 0 ? v : -v;
        const Expansion x(v);
        std::int32_t got_e = 0;
        const std::string got = significant(v, n, got_e);
        const bool carried =
            rounded_prefix(x, static_cast<std::int64_t>(n), expected);
        if (carried) {
          expected.pop_back();
        }
        const std::int32_t expected_e = x.exponent() + (carried ? 1 : 0);
        if (got != expected || got_e != expected_e) {
          ++failures;
          ADD_FAILURE() << "significant_digits(" << std::hexfloat << v
                        << std::defaultfloat << ", " << n << ") = " << got
                        << " e" << got_e << ", expected " << expected << " e"
                        << expected_e;
        }
      }
    }
  }
  EXPECT_EQ(failures, 0u);
}

TEST(FieldsAgainstExactExpansion, RandomDoublesInFAndEFields) {
  struct Format {
    bool exponent_form;
    std::size_t w;
    int d;
    int k;
  };
  const Format formats[] = {
      {false, 7, 2, 0},   {false, 8, 2, 0},  {false, 9, 2, 0},
      {false, 7, 2, 1},   {false, 9, 2, 1},  {false, 12, 5, 0},
      {false, 40, 20, 0}, {false, 3, 2, 0},  {false, 4, 2, 0},
      {false, 2, 0, 0},   {false, 5, 3, 0},  {false, 10, 0, 0},
      {false, 22, 3, 0},  {false, 16, 3, 0}, {false, 11, 1, 0},
      {false, 13, 0, 0},  {true, 9, 2, 1},   {true, 10, 3, 1},
      {true, 15, 8, 1},   {true, 9, 2, 0},   {true, 10, 3, 0},
      {true, 15, 8, 0},   {true, 24, 16, 1}, {true, 30, 20, 1},
      {true, 12, 4, 2},   {true, 12, 5, -2}, {true, 16, 3, 1},
      {true, 8, 1, 1},    {true, 11, 0, 1},  {true, 13, 2, 1},
  };
  ValueSource source;
  const std::size_t count = random_case_count();
  std::size_t failures = 0;
  ExpansionCache cache;
  for (std::size_t i = 0; i < count && failures < 20; ++i) {
    const double v = source.next();
    cache.clear();
    for (const Format& f : formats) {
      const std::string got = f.exponent_form ? exp_field(f.w, f.d, f.k, v)
                                              : fixed_field(f.w, f.d, f.k, v);
      const std::string expected =
          f.exponent_form ? reference_exp(f.w, f.d, f.k, v, cache)
                          : reference_fixed(f.w, f.d, f.k, v, cache);
      if (got != expected) {
        ++failures;
        ADD_FAILURE() << (f.exponent_form ? "E" : "F") << f.w << "." << f.d
                      << " with " << f.k << "P of " << std::hexfloat << v
                      << std::defaultfloat << " (" << v << "): \"" << got
                      << "\", expected \"" << expected << "\"";
      }
    }
  }
  EXPECT_EQ(failures, 0u);
}

// Every field of `values` in Fw.d or Ew.d, once as one run and once field by
// field, the run's text then the single fields' text.
std::string all_fields(bool exponent_form, std::size_t w, int d, int k,
                       const std::vector<double>& values) {
  std::string run(w * values.size(), '?');
  std::string one(w * values.size(), '?');
  const auto field = [&](std::size_t i) {
    return std::span<char>(one).subspan(i * w, w);
  };
  if (exponent_form) {
    render_exp_each(run, d, k, values);
    for (std::size_t i = 0; i < values.size(); ++i) {
      render_exp(field(i), d, k, values[i]);
    }
  } else {
    render_fixed_each(run, d, k, values);
    for (std::size_t i = 0; i < values.size(); ++i) {
      render_fixed(field(i), d, k, values[i]);
    }
  }
  return run + one;
}

// The fast paths against the reference definitions that
// force_reference_fields puts in their place: every cell of the run tables
// (F, and E with 1P, 0 to 3 decimals, 8 to 16 columns), the widths and
// decimals just outside them, and the scale factors they leave alone.
TEST(FastFieldPaths, GiveTheReferenceText) {
  ValueSource source;
  std::vector<double> values(random_case_count() / 100 + 1);
  for (double& v : values) {
    v = source.next();
  }
  values.insert(values.end(),
                {0.0, -0.0, std::numeric_limits<double>::infinity(),
                 -std::numeric_limits<double>::quiet_NaN()});
  std::size_t failures = 0;
  for (const bool exponent_form : {false, true}) {
    for (std::size_t w = 1; w <= 20; ++w) {
      for (int d = 0; d <= 4; ++d) {
        for (const int k : {0, 1, -1}) {
          force_reference_fields(false);
          const std::string fast = all_fields(exponent_form, w, d, k, values);
          force_reference_fields(true);
          const std::string reference =
              all_fields(exponent_form, w, d, k, values);
          force_reference_fields(false);
          for (std::size_t i = 0; i < 2 * values.size() && failures < 20; ++i) {
            if (fast.compare(i * w, w, reference, i * w, w) != 0) {
              ++failures;
              ADD_FAILURE()
                  << (exponent_form ? "E" : "F") << w << "." << d << " with "
                  << k << "P of " << std::hexfloat << values[i % values.size()]
                  << std::defaultfloat
                  << (i < values.size() ? " in a run" : " alone") << ": \""
                  << fast.substr(i * w, w) << "\", the reference \""
                  << reference.substr(i * w, w) << "\"";
            }
          }
        }
      }
    }
  }
  EXPECT_EQ(failures, 0u);
}

TEST(FieldsAgainstExactExpansion, NonFiniteValues) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const double v : {inf, -inf, nan, -nan}) {
    for (std::size_t w = 1; w < 14; ++w) {
      EXPECT_EQ(fixed_field(w, 2, 0, v), reference_non_finite(w, v)) << w;
      EXPECT_EQ(exp_field(w, 3, 1, v), reference_non_finite(w, v)) << w;
    }
  }
}

}  // namespace
}  // namespace recio
