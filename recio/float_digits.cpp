#include "recio/float_digits.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>

// Method. A finite double is m x 2^b with an integer m < 2^53. Rounding it
// at some decimal position means rounding X = m x 2^b x 10^q to an integer
// for the right q. The fast path multiplies m by a 128-bit truncation of
// 10^q, which gives X from below with an error far smaller than the 64
// fraction bits it keeps; only when those bits sit next to one half can the
// truncation matter. That happens for exact ties (0.125 x 10^2 = 12.5) and,
// astronomically rarely, for values a hair from a tie. Ties are recognised
// with exact integer arithmetic; whatever is left goes to the slow path,
// which takes every significant digit from std::to_chars and rounds once.

namespace recio {
namespace {

static_assert(std::numeric_limits<double>::is_iec559);

// The product of a 64-bit and a 128-bit integer needs 192 bits.

// 10^q ~ (hi x 2^64 + lo) x 2^binary_exponent, the top bit of hi set, the
// low bits truncated, so the entry never exceeds the true power.
struct PowerOfTen {
  std::uint64_t hi;
  std::uint64_t lo;
  std::int32_t binary_exponent;
};

constexpr std::int32_t kMinPower = -350;
constexpr std::int32_t kMaxPower = 350;
// 10^q = 5^q x 2^q, and 5^55 < 2^128: up to here the entries are exact.
constexpr std::int32_t kMaxExactPower = 55;

// The table is built at compile time with exact integers, base 2^32, least
// significant limb first. 10^350 needs 1163 bits; 2^1376 / 10^350 still has
// more than the 128 bits an entry keeps.
constexpr std::size_t kLimbs = 45;
constexpr int kShift = 1376;
using Limbs = std::array<std::uint32_t, kLimbs>;

constexpr int bit_length(const Limbs& a) {
  for (std::size_t i = kLimbs; i-- > 0;) {
    if (a[i] != 0) {
      return static_cast<int>(i) * 32 + static_cast<int>(std::bit_width(a[i]));
    }
  }
  return 0;
}

constexpr void multiply_by_ten(Limbs& a) {
  std::uint64_t carry = 0;
  for (std::uint32_t& limb : a) {
    const std::uint64_t x = std::uint64_t{limb} * 10 + carry;
    limb = static_cast<std::uint32_t>(x);
    carry = x >> 32;
  }
}

// Exact floor division: floor(floor(a / 10) / 10) = floor(a / 100).
constexpr void divide_by_ten(Limbs& a) {
  std::uint64_t remainder = 0;
  for (std::size_t i = kLimbs; i-- > 0;) {
    const std::uint64_t x = (remainder << 32) | a[i];
    a[i] = static_cast<std::uint32_t>(x / 10);
    remainder = x % 10;
  }
}

// Bits pos .. pos + 31 of a; positions below 0 read as zero.
constexpr std::uint64_t chunk(const Limbs& a, int pos) {
  const int limb = pos >= 0 ? pos / 32 : -((31 - pos) / 32);  // floor
  const int shift = pos - 32 * limb;
  const auto at = [&a](int i) -> std::uint64_t {
    return i >= 0 && i < static_cast<int>(kLimbs)
               ? a[static_cast<std::size_t>(i)]
               : 0;
  };
  const std::uint64_t pair = at(limb) | (at(limb + 1) << 32);
  return (pair >> shift) & 0xFFFFFFFFu;
}

// Bits low .. low + 63 of a.
constexpr std::uint64_t bits_from(const Limbs& a, int low) {
  return chunk(a, low) | (chunk(a, low + 32) << 32);
}

constexpr PowerOfTen top_bits(const Limbs& a, int scale_exponent) {
  const int n = bit_length(a);
  return {bits_from(a, n - 64), bits_from(a, n - 128),
          n - 128 + scale_exponent};
}

using PowerTable = std::array<PowerOfTen, kMaxPower - kMinPower + 1>;

constexpr PowerTable make_powers() {
  PowerTable table{};
  Limbs power{};
  power[0] = 1;
  for (std::int32_t q = 0; q <= kMaxPower; ++q) {
    table[static_cast<std::size_t>(q - kMinPower)] = top_bits(power, 0);
    multiply_by_ten(power);
  }
  Limbs inverse{};  // floor(2^kShift / 10^j)
  inverse[kShift / 32] = std::uint32_t{1} << (kShift % 32);
  for (std::int32_t q = -1; q >= kMinPower; --q) {
    divide_by_ten(inverse);
    table[static_cast<std::size_t>(q - kMinPower)] = top_bits(inverse, -kShift);
  }
  return table;
}

constexpr PowerTable kPowers = make_powers();

static_assert(kPowers[-kMinPower].hi == std::uint64_t{1} << 63 &&
              kPowers[-kMinPower].lo == 0 &&
              kPowers[-kMinPower].binary_exponent == -127);
static_assert(kPowers[1 - kMinPower].hi == std::uint64_t{10} << 60 &&
              kPowers[1 - kMinPower].binary_exponent == -124);
// 10^-1 = 0.1100110011... in binary, truncated.
static_assert(kPowers[-1 - kMinPower].hi == 0xCCCCCCCCCCCCCCCCu &&
              kPowers[-1 - kMinPower].lo == 0xCCCCCCCCCCCCCCCCu &&
              kPowers[-1 - kMinPower].binary_exponent == -131);

// 5^j for j <= 22: a tie needs 5^j to divide a 53-bit mantissa.
constexpr auto kPow5 = digits_detail::powers_of<23>(5);
using digits_detail::kDigitPairs;
using digits_detail::kPow10;
using digits_detail::Uint128;

// Writes the digits of r into out, zeros on the left, two at a time from
// the right, each straight to its final place: digit j (from the left)
// lands at out[j], or at out[j + 1] once past the point at out[point].
// Nothing is moved afterwards, so the stores are never read back.
template <typename Unsigned>
[[gnu::always_inline]] inline void put_digits(Unsigned r, std::span<char> out,
                                              std::size_t point) {
  const bool has_point = point < out.size();
  const std::size_t n = out.size() - (has_point ? 1 : 0);
  if (has_point) {
    out[point] = '.';
  }
  const auto place = [point](std::size_t j) { return j < point ? j : j + 1; };
  std::size_t j = n;
  while (j >= 2) {
    const auto pair = static_cast<std::size_t>(r % 100) * 2;
    r = static_cast<Unsigned>(r / 100);
    j -= 2;
    out[place(j)] = kDigitPairs[pair];
    out[place(j + 1)] = kDigitPairs[pair + 1];
  }
  if (j == 1) {
    out[place(0)] = static_cast<char>('0' + r % 10);
  }
}

[[gnu::always_inline]] inline void put_digits(std::uint64_t r,
                                              std::span<char> out,
                                              std::size_t point) {
  if (r <= std::numeric_limits<std::uint32_t>::max()) {
    put_digits(static_cast<std::uint32_t>(r), out, point);  // cheaper division
  } else {
    put_digits<std::uint64_t>(r, out, point);
  }
}

// The number of decimal digits of r, none for 0. t, from the bit length
// (1233 / 4096 ~ log10 2), is floor(log10 r) or one more; checked for every
// bit length at its ends and at each power of ten.
std::size_t digit_count(std::uint64_t r) {
  const auto t = static_cast<std::size_t>(std::bit_width(r)) * 1233 >> 12;
  return t + 1 - (r < kPow10[t] ? 1 : 0);
}

// |value| = mantissa x 2^exponent with the mantissa's top bit set, so that
// floor(log2 |value|) = exponent + 63.
struct Binary {
  std::uint64_t mantissa;
  std::int32_t exponent;
};

Binary decompose(double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  const auto biased = static_cast<std::int32_t>((bits >> 52) & 0x7FF);
  if (biased == 0) {  // subnormal
    const int shift = std::countl_zero(fraction);
    return {fraction << shift, -1074 - shift};
  }
  return {(fraction | (std::uint64_t{1} << 52)) << 11, biased - 1075 - 11};
}

// Whether m x 2^b x 10^q is exactly an integer plus one half. Only asked
// for q < 0, where the table entry is inexact: 2X = (m / 5^j) x 2^(b+1-j)
// with j = -q must be an odd integer, so 5^j divides m (a 53-bit number
// shifted left, hence j <= 22) and the power of two cancels exactly.
bool is_tie(Binary x, std::int32_t q) {
  if (q >= 0 || -q >= static_cast<std::int32_t>(kPow5.size())) {
    return false;
  }
  const std::uint64_t five = kPow5[static_cast<std::size_t>(-q)];
  if (x.mantissa % five != 0) {
    return false;
  }
  const std::uint64_t u = x.mantissa / five;
  const std::int32_t s = x.exponent + 1 + q;
  if (s > 0 || s < -63) {
    return false;
  }
  const std::uint64_t odd = u >> -s;
  return (odd << -s) == u && (odd & 1) == 1;
}

enum class Scaled { kRounded, kTooLarge, kUndecided };

// X = x x 10^q from below: its integer part and the first 64 bits of its
// fraction, with the true fraction in [fraction, fraction + 2) units (see
// below), wrapping into the integer part at the top.
struct Product {
  std::uint64_t whole;
  std::uint64_t fraction;
};

// Whether the entry for q is exact, which leaves no error at all.
bool exact_power(std::int32_t q) { return q >= 0 && q <= kMaxExactPower; }

// kTooLarge when X may reach 2^63 (or more); kUndecided when q lies outside
// the table.
[[gnu::always_inline]] inline Scaled multiply(Binary x, std::int32_t q,
                                              Product& out) {
  if (q < kMinPower || q > kMaxPower) {
    return Scaled::kUndecided;
  }
  const PowerOfTen& p = kPowers[static_cast<std::size_t>(q - kMinPower)];
  const Uint128 low = Uint128{x.mantissa} * p.lo;
  const Uint128 high = Uint128{x.mantissa} * p.hi;
  const auto high_low = static_cast<std::uint64_t>(high);
  const std::uint64_t p1 = high_low + static_cast<std::uint64_t>(low >> 64);
  const std::uint64_t p2 =
      static_cast<std::uint64_t>(high >> 64) + (p1 < high_low ? 1 : 0);
  // The 192-bit product p2:p1:p0 lies in [2^190, 2^192) and
  // X = product / 2^(192 - t), so 2^(t-2) <= X < 2^t.
  // The truncated entry makes the product too small by less than the
  // mantissa's worth of units in its last bit, which is less than one unit
  // of the fraction word while t <= 64, and dropping p0 loses less than
  // another: hence the two units.
  const std::int32_t t = 192 + x.exponent + p.binary_exponent;
  if (t > 64) {
    return Scaled::kTooLarge;
  }
  if (t < -1) {  // X < 1/4, the error included
    out = {0, 0};
  } else if (t == -1) {
    out = {0, p2 >> 1};
  } else if (t == 0) {
    out = {0, p2};
  } else if (t == 64) {
    out = {p2, p1};
  } else {
    out = {p2 >> (64 - t), (p2 << t) | (p1 >> (64 - t))};
  }
  return Scaled::kRounded;
}

constexpr std::uint64_t kHalf = std::uint64_t{1} << 63;

// Whether the fraction word may hide a tie or a crossing of one half: just
// below one half, with an inexact entry.
bool near_half(std::uint64_t fraction, std::int32_t q) {
  return fraction - (kHalf - 2) < 2 && !exact_power(q);
}

// Rounds X = x x 10^q to an integer, half away from zero, when X < 2^64.
// kTooLarge means X >= 2^63; kUndecided means the fast arithmetic cannot
// tell (q outside the table, or a non-tie within a hair of a tie).
[[gnu::always_inline]] inline Scaled scale(Binary x, std::int32_t q,
                                           std::uint64_t& rounded) {
  Product product{};
  const Scaled outcome = multiply(x, q, product);
  if (outcome != Scaled::kRounded) {
    return outcome;
  }
  // When the true fraction wraps past an integer the rounded result is
  // still whole + 1. Just below one half only an exact tie is certain (and
  // goes away from zero).
  bool up = product.fraction >= kHalf;
  if (near_half(product.fraction, q)) {
    if (!is_tie(x, q)) {
      return Scaled::kUndecided;
    }
    up = true;
  }
  rounded = product.whole + (up ? 1u : 0u);
  if (rounded < product.whole) {  // 2^64: only when t = 64
    return Scaled::kTooLarge;
  }
  return Scaled::kRounded;
}

// floor(log10(2^e)), exact for |e| <= 1100 (checked against exact integer
// arithmetic over that whole range).
using digits_detail::floor_log10_pow2;

// The fast path stops where 10^n no longer leaves room below 2^64.
constexpr std::size_t kFastSignificant = 17;

// n significant digits of x as an integer r, 10^(n-1) <= r < 10^n, and the
// exponent of x rounded: x ~ 0.r x 10^e. False when undecided.
//
// floor(log10 x) is L or L + 1 with L from the binary exponent alone, so X
// = x x 10^(n-1-L) has n or n + 1 digits before its point. Both roundings
// are formed and the right one picked without a branch (which way it goes
// is a coin toss): at the units for n digits; at the tens for n + 1, where
// the remainder is one half or more exactly when the units digit is 5 or
// more, since the fraction adds less than one.
bool round_significant(Binary x, std::size_t n, std::uint64_t& r,
                       std::int32_t& e) {
  const std::int32_t log10 = floor_log10_pow2(x.exponent + 63);
  const std::int32_t q = static_cast<std::int32_t>(n) - 1 - log10;
  Product product{};
  if (multiply(x, q, product) != Scaled::kRounded) {
    return false;
  }
  const std::uint64_t whole = product.whole;
  const bool wide = whole >= kPow10[n];
  // The units rounding may meet a tie or a near-tie below one half; the
  // tens rounding needs the exact integer part, which a fraction within two
  // units of wrapping around leaves in doubt.
  // (Bitwise operators: `wide` is a coin toss, so no branch on it.)
  const bool near_wrap =
      wide & (product.fraction >= ~std::uint64_t{1}) & !exact_power(q);
  const bool half = !wide & near_half(product.fraction, q);
  if (near_wrap | half) [[unlikely]] {
    if (near_wrap || !is_tie(x, q)) {
      return false;
    }
  }
  const bool units_up = (product.fraction >= kHalf) | half;
  const std::uint64_t tens = whole / 10;
  const bool tens_up = whole - tens * 10 >= 5;
  r = wide ? tens + (tens_up ? 1u : 0u) : whole + (units_up ? 1u : 0u);
  e = log10 + (wide ? 2 : 1);
  if (r == kPow10[n]) {  // 9.9996 to 4 digits: 10000 becomes 1000, e + 1
    r = kPow10[n - 1];
    ++e;
  }
  return r >= kPow10[n - 1] && r < kPow10[n];
}

// Every significant digit of a double: 767 at most.
constexpr std::size_t kMaxSignificant = 767;

struct ExactDecimal {
  std::array<char, kMaxSignificant> digits;  // trailing zeros included
  std::int32_t exponent;  // |value| = 0.d1 d2 d3 ... x 10^exponent

  char digit(std::size_t i) const {
    return i < kMaxSignificant ? digits[i] : '0';
  }
};

// The exact expansion of |value| (finite, not zero). std::to_chars with
// 766 digits after the first has nothing left to round, so the library's
// own rounding rule never comes into play.
ExactDecimal exact_decimal(double value) {
  std::array<char, kMaxSignificant + 16> text{};
  const auto result =
      std::to_chars(text.data(), text.data() + text.size(), std::fabs(value),
                    std::chars_format::scientific, kMaxSignificant - 1);
  // text is "d.ddd...de+xx": one digit, the point, 766 digits, the exponent.
  ExactDecimal x{};
  x.digits[0] = text[0];
  for (std::size_t i = 1; i < kMaxSignificant; ++i) {
    x.digits[i] = text[i + 1];
  }
  const char* p = text.data() + kMaxSignificant + 1;  // at 'e'
  ++p;
  const bool negative = *p == '-';
  ++p;
  std::int32_t magnitude = 0;
  for (; p != result.ptr; ++p) {
    magnitude = magnitude * 10 + (*p - '0');
  }
  x.exponent = (negative ? -magnitude : magnitude) + 1;
  return x;
}

// Copies the first out.size() digits of x and rounds at the last one, half
// away from zero. The exact remainder is one half or more of a unit exactly
// when the next digit is 5 or more. Returns true when the carry ran out of
// the leading digit: out then holds 1 followed by zeros and the value has
// one digit more than out holds.
bool round_exact(const ExactDecimal& x, std::span<char> out) {
  const std::size_t n = out.size();
  for (std::size_t i = 0; i < n; ++i) {
    out[i] = x.digit(i);
  }
  if (x.digit(n) < '5') {
    return false;
  }
  for (std::size_t i = n; i-- > 0;) {
    if (out[i] != '9') {
      ++out[i];
      return false;
    }
    out[i] = '0';
  }
  if (n > 0) {
    out[0] = '1';
  }
  return true;
}

std::int32_t exact_significant_digits(double value, std::span<char> out,
                                      std::size_t point) {
  const ExactDecimal x = exact_decimal(value);
  if (point >= out.size()) {
    return round_exact(x, out) ? x.exponent + 1 : x.exponent;
  }
  // Round the digits in place, then open the gap for the point.
  const std::span<char> digits = out.first(out.size() - 1);
  const bool carry = round_exact(x, digits);
  std::copy_backward(digits.begin() + static_cast<std::ptrdiff_t>(point),
                     digits.end(), out.end());
  out[point] = '.';
  return carry ? x.exponent + 1 : x.exponent;
}

// The slow path of fixed_digits: the same result from the exact expansion.
std::int32_t exact_fixed_digits(double value, std::size_t decimals,
                                std::span<char> out) {
  const ExactDecimal x = exact_decimal(value);
  if (out.size() < decimals + 1) {
    return -1;
  }
  // The digits of round(|value| x 10^decimals) go to the front of out
  // first; there is room for at most out.size() - 1 of them.
  const std::size_t room = out.size() - 1;
  std::size_t count = 0;
  const std::int64_t keep =  // digits of |value| x 10^decimals before its point
      std::int64_t{x.exponent} + static_cast<std::int64_t>(decimals);
  if (keep == 0 && x.digit(0) >= '5') {
    out[0] = '1';  // 0.5 <= |value| x 10^decimals < 1
    count = 1;
  } else if (keep > 0) {
    if (static_cast<std::uint64_t>(keep) > room) {
      return -1;
    }
    count = static_cast<std::size_t>(keep);
    if (round_exact(x, out.first(count))) {
      if (count + 1 > room) {
        return -1;
      }
      out[count++] = '0';
    }
  }
  // Then right-aligned with the point: "III.FFF", zeros after the point
  // where the value has fewer digits than decimals. Every move goes right,
  // so copying from the right end never overwrites a digit still to move.
  const std::size_t whole = count > decimals ? count - decimals : 0;
  const std::size_t fraction = count - whole;
  const std::size_t length = whole + 1 + decimals;
  const std::size_t w = out.size();
  std::copy_backward(out.begin() + static_cast<std::ptrdiff_t>(whole),
                     out.begin() + static_cast<std::ptrdiff_t>(count),
                     out.end());
  std::fill(out.end() - static_cast<std::ptrdiff_t>(decimals),
            out.end() - static_cast<std::ptrdiff_t>(fraction), '0');
  out[w - decimals - 1] = '.';
  std::copy_backward(
      out.begin(), out.begin() + static_cast<std::ptrdiff_t>(whole),
      out.begin() + static_cast<std::ptrdiff_t>(w - decimals - 1));
  return static_cast<std::int32_t>(length);
}

}  // namespace

std::int32_t significant_digits(double value, std::span<char> out,
                                std::size_t point) {
  const std::size_t n = out.size() - (point < out.size() ? 1 : 0);
  if (n >= 1 && n <= kFastSignificant) {
    std::uint64_t r = 0;
    std::int32_t e = 0;
    if (round_short_significant(value, n, r, e) ||
        round_significant(decompose(value), n, r, e)) {
      put_digits(r, out, point);
      return e;
    }
  }
  return exact_significant_digits(value, out, point);
}

std::int32_t fixed_digits(double value, std::int32_t decimals,
                          std::span<char> out) {
  if (decimals < 0) {
    return -1;
  }
  const auto d = static_cast<std::size_t>(decimals);
  std::uint64_t rounded = 0;
  const Scaled outcome = round_short_fixed(value, d, rounded) || value == 0
                             ? Scaled::kRounded
                             : scale(decompose(value), decimals, rounded);
  if (outcome == Scaled::kRounded) {
    const std::size_t count = digit_count(rounded);
    const std::size_t whole = count > d ? count - d : 0;
    const std::size_t length = whole + 1 + d;
    if (length > out.size()) {
      return -1;
    }
    put_digits(rounded, out.last(length), whole);
    return static_cast<std::int32_t>(length);
  }
  // X >= 2^63 has at least 19 digits, so the text is at least that long
  // plus the point.
  if (outcome == Scaled::kTooLarge &&
      out.size() < std::max<std::size_t>(19, d) + 1) {
    return -1;
  }
  return exact_fixed_digits(value, d, out);
}

}  // namespace recio
