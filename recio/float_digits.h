#pragma once
// Decimal digits of a double, taken from its exact binary value and rounded
// exactly once, half away from zero, with the carry included. Every real
// field draws its digits from here.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>

namespace recio {

namespace digits_detail {

__extension__ typedef unsigned __int128 Uint128;

template <std::size_t N>
constexpr std::array<std::uint64_t, N> powers_of(std::uint64_t base) {
  std::array<std::uint64_t, N> table{};
  std::uint64_t p = 1;
  for (std::uint64_t& entry : table) {
    entry = p;
    p *= base;
  }
  return table;
}

inline constexpr auto kPow10 = powers_of<20>(10);  // up to 10^19

// The two ASCII digits of each number below 100, tens first.
inline constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (std::size_t i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

// floor(log10 2^e) for |e| well beyond a double's exponents.
constexpr std::int32_t floor_log10_pow2(std::int32_t e) {
  return (e * 78913) >> 18;
}

}  // namespace digits_detail

// The `point` argument of significant_digits when no "." is wanted.
inline constexpr std::size_t kNoPoint = std::numeric_limits<std::size_t>::max();

// Writes the first n significant decimal digits of |value| to `out` as
// characters '0'..'9', rounded half away from zero at the last of them.
// Without a point n is out.size(); with point <= n, a "." follows the first
// `point` digits and n is out.size() - 1. `value` must be finite and not
// zero, and n at least 1.
// Returns the decimal exponent e of the rounded value:
// |value| ~ 0.d1 d2 ... dn x 10^e, so d1 is never '0'.
// 9.9996 to 4 digits with point 1 is "1.000" and e = 2: the carry adds a
// digit, so the exponent goes up.
[[nodiscard]] std::int32_t significant_digits(double value, std::span<char> out,
                                              std::size_t point = kNoPoint);

// Writes |value| rounded half away from zero to `decimals` (>= 0) digits
// after the point, right-aligned at the end of `out`: the integer digits
// (none when the integer part is 0), ".", then exactly `decimals` digits.
// No sign. `value` must be finite.
// Returns the length written, or -1 (out unspecified) when it is longer
// than out.size().
// 0.125 with 2 decimals is ".13"; 2.675 is "2.67" (the double lies below
// 2.675); 9.996 is "10.00"; -0.001 is ".00"; 0 is ".00".
[[nodiscard]] std::int32_t fixed_digits(double value, std::int32_t decimals,
                                        std::span<char> out);

// The first n <= 8 significant digits of |value| as r, 10^(n-1) <= r <
// 10^n, rounded half away from zero, and e with |value| ~ 0.r x 10^e, for
// values whose rounding point falls between their units and nineteen
// decimals below them (about 10^(n-20) <= |value| < 10^n, below 2^52). False,
// r and e untouched, for the others, zeros, subnormals and non-finite values.
//
// floor(log10 |value|) is L or L + 1 with L from the binary exponent alone,
// so X = |value| x 10^(n-1-L) has n or n + 1 digits before its point. The
// 53-bit significand times 10^(n-1-L) (below 2^64) is exact in 128 bits, so
// X's integer part and its first bit below the point are exact. Both
// roundings are formed and the right one picked without a branch (which way
// it goes is a coin toss): at the units for n digits, where one half or more
// is that first bit set; at the tens for n + 1, where the remainder is one
// half or more exactly when the units digit is 5 or more, since the fraction
// adds less than one. Exactly 10^n is the carry of 9.9996-like values.
inline constexpr std::size_t kShortSignificant = 8;

[[nodiscard, gnu::always_inline]] inline bool round_short_significant(
    double value, std::size_t n, std::uint64_t& r, std::int32_t& e) {
  using digits_detail::kPow10;
  const auto bits = std::bit_cast<std::uint64_t>(value);
  const auto biased = static_cast<std::int32_t>((bits >> 52) & 0x7FF);
  const std::int32_t log10 = digits_detail::floor_log10_pow2(biased - 1023);
  const std::int32_t q = static_cast<std::int32_t>(n) - 1 - log10;
  // value = m x 2^-shift, and 1 <= shift <= 127 keeps both shifts in range.
  const std::int32_t shift = 1075 - biased;
  if (biased == 0 || n < 1 || n > kShortSignificant || q < 0 || q > 19 ||
      shift < 1 || shift > 127) {
    return false;
  }
  const std::uint64_t m =
      (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
  const digits_detail::Uint128 x =
      digits_detail::Uint128{m} * kPow10[static_cast<std::size_t>(q)];
  // X's integer part with its first bit below the point: below 2 x 10^9.
  const auto halves = static_cast<std::uint64_t>(x >> (shift - 1));
  const std::uint64_t whole = halves >> 1;
  const std::uint64_t units_rounded = whole + (halves & 1);
  const std::uint64_t tens = whole / 10;
  const std::uint64_t tens_rounded = tens + (whole - tens * 10 >= 5 ? 1 : 0);
  // Picked with a mask: a compiler would otherwise branch on it.
  const std::uint64_t wide = whole >= kPow10[n] ? ~std::uint64_t{0} : 0;
  r = (tens_rounded & wide) | (units_rounded & ~wide);
  e = log10 + 1 + static_cast<std::int32_t>(wide & 1);
  if (r == kPow10[n]) {  // rare: no need to avoid the branch
    r = kPow10[n - 1];
    ++e;
  }
  return true;
}

// |value| x 10^decimals rounded half away from zero, for decimals <= 3 and
// |value| < 2^52, with 64-bit integers alone: the 53-bit significand times
// 10^decimals stays below 2^63 and is exact, and the binary point falls
// inside it or above it, so the bits below the point decide the rounding
// exactly (a tie is the bit just below the point set, and goes up). Zeros
// and subnormals give 0. False, `rounded` untouched, outside that range (and
// for infinities and NaNs).
inline constexpr std::size_t kMaxShortDecimals = 3;

[[nodiscard]] inline bool round_short_fixed(double value, std::size_t decimals,
                                            std::uint64_t& rounded) {
  static constexpr std::array<std::uint64_t, kMaxShortDecimals + 1> kScale = {
      1, 10, 100, 1000};
  const auto bits = std::bit_cast<std::uint64_t>(value);
  const auto biased = static_cast<std::int32_t>((bits >> 52) & 0x7FF);
  if (decimals > kMaxShortDecimals || biased >= 1075) {
    return false;
  }
  const std::uint64_t m =
      (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
  const std::uint64_t x = m * kScale[decimals];
  // The binary point lies `below` + 1 bits up in x (`below` 0 and up).
  const std::int32_t below = 1074 - biased;
  // From 63 on, x / 2^(below + 1) < 2^63 / 2^64 lies below one half; zeros
  // and subnormals (biased 0) are among those. Otherwise x with one bit
  // below the point kept, plus that bit's half, halved: the rounded quotient
  // in one shift (x < 2^63, so the sum does not overflow).
  rounded = below >= 63 ? 0 : ((x >> below) + 1) >> 1;
  return true;
}

}  // namespace recio
